// The emulated msvcrt and kernel32 as compiled code reaches them, through
// the calls fixture's stdcall wrappers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "emulator/emulated_dll.h"
#include "emulator/kernel32.h"
#include "emulator/msvcrt.h"
#include "tests/emulator/fixture_support.h"

namespace {

using qmxpe::EmulationError;
using qmxpe::FaultKind;
using qmxpe::Kernel32;
using qmxpe::Msvcrt;
using qmxpetest::Fixture;

class RuntimeImports : public ::testing::Test {
 protected:
  uint32_t call(const std::string& name, const std::vector<uint32_t>& args = {}) {
    return fixture.call(name, args);
  }
  uint32_t text(const std::string& value) { return fixture.text(value); }
  std::string textAt(uint32_t address) { return fixture->readString(address); }
  uint32_t bytes(const std::vector<uint8_t>& value) {
    const uint32_t address = fixture->allocate(static_cast<uint32_t>(value.size()));
    fixture->write(address, value.data(), value.size());
    return address;
  }

  Fixture fixture{"calls"};
};

// --- msvcrt ---

TEST_F(RuntimeImports, atoi_follows_msvcrt) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"", 0},
      {"42", 42},
      {" \t\n\v\f\r-17xyz", -17},
      {"+8", 8},
      {"- 5", 0},
      {"+-5", 0},
      {"0x1A", 0},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      // No clamping: the digits wrap around in 32 bits.
      {"2147483648", INT32_MIN},
      {"4294967297", 1},
      {"\xa0"
       "5",
       0},  // a no-break space is not white space in the C locale
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<int32_t>(call("crt_atoi", {text(c.text)})), c.value) << c.text;
  }
  EXPECT_EQ(call("crt_atoi", {0}), 0u) << "null";
}

TEST_F(RuntimeImports, realloc_keeps_the_contents_when_it_moves_the_block) {
  const uint32_t block = call("crt_malloc", {24});
  const uint32_t neighbour = call("crt_malloc", {16});  // keeps the block from growing in place
  ASSERT_NE(block, 0u);
  ASSERT_NE(neighbour, 0u);
  const std::string content = "twenty-three characters";
  fixture->write(block, content.c_str(), content.size() + 1);

  const uint32_t grown = call("crt_realloc", {block, 4000});
  ASSERT_NE(grown, 0u);
  EXPECT_NE(grown, block);
  EXPECT_EQ(textAt(grown), content);
  EXPECT_THROW(fixture->release(block), std::invalid_argument) << "the old block was not freed";

  // The last block grows where it is.
  const uint32_t last = call("crt_realloc", {grown, 8000});
  EXPECT_EQ(last, grown);
  EXPECT_EQ(textAt(last), content);
  // Shrinking keeps the start.
  const uint32_t shrunk = call("crt_realloc", {last, 8});
  EXPECT_EQ(shrunk, last);
  EXPECT_EQ(fixture->read(shrunk, 8), std::vector<uint8_t>(content.begin(), content.begin() + 8));
}

TEST_F(RuntimeImports, realloc_and_free_edge_cases) {
  const uint32_t fresh = call("crt_realloc", {0, 10});
  EXPECT_NE(fresh, 0u) << "realloc(NULL, n) allocates";
  EXPECT_EQ(call("crt_realloc", {fresh, 0}), 0u) << "realloc(p, 0) frees";
  EXPECT_THROW(fixture->release(fresh), std::invalid_argument);
  EXPECT_NO_THROW(call("crt_free", {0}));
  try {
    call("crt_realloc", {0x01000008, 10});
    FAIL() << "realloc of an address inside no block returned";
  } catch (const EmulationError& e) {
    EXPECT_EQ(e.kind(), FaultKind::kHeapMisuse) << e.what();
  }
}

TEST_F(RuntimeImports, failed_allocations_answer_null_and_set_errno) {
  const struct {
    const char* function;
    std::vector<uint32_t> args;
  } cases[] = {
      {"crt_malloc", {0xfffffff0}},
      {"crt_calloc", {0x10000, 0x10001}},  // the product overflows 32 bits
      {"crt_calloc", {1, 0x7fffffff}},
      {"crt_realloc", {0, 0xfffffff0}},
  };
  for (const auto& c : cases) {
    call("crt_set_errno", {0});
    EXPECT_EQ(call(c.function, c.args), 0u) << c.function;
    EXPECT_EQ(call("crt_errno"), Msvcrt::kEnomem) << c.function;
  }
}

TEST_F(RuntimeImports, calloc_zeroes_recycled_memory) {
  const uint32_t dirty = call("crt_malloc", {64});
  call("crt_memset", {dirty, 0xaa, 64});
  call("crt_free", {dirty});
  const uint32_t clean = call("crt_calloc", {8, 8});
  EXPECT_EQ(clean, dirty) << "first fit should reuse the block";
  EXPECT_EQ(fixture->read(clean, 64), std::vector<uint8_t>(64, 0));
}

int sign(uint32_t value) {
  const auto signedValue = static_cast<int32_t>(value);
  return signedValue < 0 ? -1 : signedValue > 0 ? 1 : 0;
}

TEST_F(RuntimeImports, comparisons_order_bytes_as_unsigned) {
  using namespace std::string_literals;
  const struct {
    const char* function;
    std::string a;  // copied with a terminator after it
    std::string b;
    uint32_t n;
    int expected;
  } cases[] = {
      {"crt_strcmp", "", "", 0, 0},
      {"crt_strcmp", "abc", "abc", 0, 0},
      {"crt_strcmp", "abc", "abd", 0, -1},
      {"crt_strcmp", "ab", "abc", 0, -1},
      {"crt_strcmp", "\xb3", "z", 0, 1},  // Windows-1250 letters sort above ASCII
      {"crt_strncmp", "abcX", "abcY", 3, 0},
      {"crt_strncmp", "abcX", "abcY", 4, -1},
      {"crt_strncmp", "ab", "ab", 100, 0},  // stops at the terminator
      {"crt_strncmp", "x", "y", 0, 0},
      {"crt_memcmp", "a\0b"s, "a\0c"s, 3, -1},  // goes on past a NUL
      {"crt_memcmp", "\xff", "\x01", 1, 1},
      {"crt_memcmp", "abc", "xyz", 0, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> args = {text(c.a), text(c.b)};
    if (std::string(c.function) != "crt_strcmp") args.push_back(c.n);
    EXPECT_EQ(sign(call(c.function, args)), c.expected) << c.function << " " << c.a << " " << c.b;
  }
}

TEST_F(RuntimeImports, searches_find_the_first_match_within_bounds) {
  const uint32_t s = text("kot, pies");
  EXPECT_EQ(call("crt_strchr", {s, ','}), s + 3);
  EXPECT_EQ(call("crt_strchr", {s, 'x'}), 0u);
  EXPECT_EQ(call("crt_strchr", {s, 0}), s + 9) << "the terminator itself";
  EXPECT_EQ(call("crt_strchr", {s, 0x100 + 'k'}), s) << "the character is converted to char";
  EXPECT_EQ(call("crt_memchr", {s, 'p', 9}), s + 5);
  EXPECT_EQ(call("crt_memchr", {s, 'p', 5}), 0u);
  EXPECT_EQ(call("crt_memchr", {s, 0, 10}), s + 9);
  EXPECT_EQ(call("crt_strlen", {s}), 9u);
  EXPECT_EQ(call("crt_strlen", {text("")}), 0u);
  const uint32_t wide = bytes({'a', 0, 0x42, 0x01, 'c', 0, 0, 0});
  EXPECT_EQ(call("crt_wcslen", {wide}), 3u);
}

TEST_F(RuntimeImports, copies_handle_overlap_in_both_directions) {
  for (const char* function : {"crt_memmove", "crt_memcpy"}) {
    const uint32_t s = text("0123456789");
    EXPECT_EQ(call(function, {s + 2, s, 6}), s + 2);
    EXPECT_EQ(textAt(s), "0101234589") << function << " forwards";
    const uint32_t t = text("0123456789");
    call(function, {t, t + 3, 7});
    EXPECT_EQ(textAt(t), "3456789789") << function << " backwards";
  }
  const uint32_t u = text("abcdef");
  EXPECT_EQ(call("crt_memset", {u + 1, 0x100 + 'z', 3}), u + 1);
  EXPECT_EQ(textAt(u), "azzzef");
}

TEST_F(RuntimeImports, console_output_collects_every_write) {
  EXPECT_EQ(call("crt_print", {2, text("%s=%04d;"), text("n"), 42, 0, 0}), 7u);
  EXPECT_EQ(call("crt_print", {1, text("[%-3x|%c]"), 0xab, 'q', 0, 0}), 7u);
  EXPECT_EQ(call("crt_print_double", {text("%.3f;"), 0, 0x3ff80000}), 6u);  // 1.5
  EXPECT_EQ(call("crt_puts", {2, text("line\n")}), 0u);
  EXPECT_EQ(call("crt_putc", {1, 0x100 + '!'}), static_cast<uint32_t>('!'));
  EXPECT_EQ(call("crt_write", {2, text("abcdef"), 2, 2}), 2u);
  EXPECT_EQ(fixture->consoleOutput(), "n=0042;[ab |q]1.500;line\n!abcd");
}

// The format comes from emulated memory; a directive the formatter treats
// as data must neither write memory nor reach the host's printf.
TEST_F(RuntimeImports, print_never_writes_through_percent_n) {
  const uint32_t target = fixture->allocate(4);
  fixture->write32(target, 0x5a5a5a5a);
  EXPECT_EQ(call("crt_print", {2, text("ab%ncd"), target, 0, 0, 0}), 4u);
  EXPECT_EQ(fixture->read32(target), 0x5a5a5a5au);
}

TEST_F(RuntimeImports, writing_to_a_file_that_is_not_open_fails_with_ebadf) {
  call("crt_set_errno", {0});
  EXPECT_EQ(call("crt_print", {5, text("x"), 0, 0, 0, 0}), 0xffffffffu);
  EXPECT_EQ(call("crt_errno"), Msvcrt::kEbadf);
  EXPECT_EQ(call("crt_puts", {0, text("x")}), 0xffffffffu) << "stdin";
  EXPECT_EQ(call("crt_write", {4, text("x"), 1, 1}), 0u);
  EXPECT_EQ(fixture->consoleOutput(), "");
}

TEST_F(RuntimeImports, locale_and_error_texts_of_the_c_locale) {
  EXPECT_EQ(textAt(call("crt_strerror", {12})), "Not enough space");
  EXPECT_EQ(textAt(call("crt_strerror", {0})), "No error");
  EXPECT_EQ(textAt(call("crt_strerror", {999})), "Unknown error");
  EXPECT_EQ(textAt(call("crt_strerror", {0xffffffff})), "Unknown error");
  EXPECT_EQ(textAt(call("crt_setlocale", {0, 0})), "C");
  EXPECT_EQ(textAt(call("crt_setlocale", {2, text("C")})), "C");
  EXPECT_EQ(textAt(call("crt_setlocale", {0, text("")})), "C");
  EXPECT_EQ(call("crt_setlocale", {0, text("Polish_Poland.1250")}), 0u);
  EXPECT_EQ(call("crt_setlocale", {6, 0}), 0u) << "no such category";
  EXPECT_EQ(textAt(call("crt_decimal_point")), ".");
}

// --- kernel32 ---

TEST_F(RuntimeImports, tls_slots_keep_values_and_clear_the_last_error) {
  const uint32_t lastError = fixture->allocate(4);
  EXPECT_EQ(call("tls_round_trip", {0xcafe, lastError}), 0xcafeu);
  EXPECT_EQ(fixture->read32(lastError), 0u) << "TlsGetValue must clear the last error";
}

TEST_F(RuntimeImports, critical_sections_track_owner_and_recursion) {
  const uint32_t states = call("critical_section_states");
  EXPECT_EQ(states & 0xff, 2u) << "recursion inside";
  EXPECT_EQ(states >> 8 & 0xff, 1u) << "owned by this thread";
  EXPECT_EQ(states >> 16 & 0xff, 0u) << "recursion after";
  EXPECT_EQ(states >> 24 & 0xff, 1u) << "released";
}

TEST_F(RuntimeImports, semaphores_count_on_one_thread) {
  constexpr uint32_t kTimeout = 0x102;
  EXPECT_EQ(call("semaphore_create", {3, 2}), 0u) << "initial above maximum";
  const uint32_t semaphore = call("semaphore_create", {1, 2});
  ASSERT_NE(semaphore, 0u);
  EXPECT_EQ(call("semaphore_wait", {semaphore, 0}), 0u);
  EXPECT_EQ(call("semaphore_wait", {semaphore, 1000}), kTimeout) << "nobody else can release it";
  const uint32_t previous = fixture->allocate(4);
  EXPECT_EQ(call("semaphore_release", {semaphore, 2, previous}), 1u);
  EXPECT_EQ(fixture->read32(previous), 0u);
  EXPECT_EQ(call("semaphore_release", {semaphore, 1, 0}), 0u) << "above the maximum";
  EXPECT_EQ(call("last_error"), Kernel32::kErrorTooManyPosts);
  EXPECT_EQ(call("semaphore_wait", {semaphore, 0xffffffff}), 0u);
  EXPECT_EQ(call("semaphore_wait", {semaphore, 0xffffffff}), 0u);
  try {
    call("semaphore_wait", {semaphore, 0xffffffff});
    FAIL() << "an infinite wait on an empty semaphore returned";
  } catch (const EmulationError& e) {
    EXPECT_EQ(e.kind(), FaultKind::kAbort);
    EXPECT_NE(std::string(e.what()).find("deadlock"), std::string::npos) << e.what();
  }
  EXPECT_EQ(call("handle_close", {semaphore}), 1u);
  EXPECT_EQ(call("handle_close", {semaphore}), 0u);
  EXPECT_EQ(call("last_error"), Kernel32::kErrorInvalidHandle);
  EXPECT_EQ(call("semaphore_wait", {semaphore, 0}), 0xffffffffu);
}

TEST_F(RuntimeImports, module_lookups_know_only_the_dll_itself) {
  const uint32_t base = fixture->base();
  const struct {
    const char* name;  // null: GetModuleHandle(NULL)
    uint32_t handle;
  } cases[] = {
      {nullptr, base},     {"calls.dll", base},        {"CALLS.DLL", base},
      {"calls", base},     {"C:\\x\\calls.dll", base}, {"calls.", 0},
      {"kernel32.dll", 0}, {"libgcc_s_dw2-1.dll", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(call("module_a", {c.name ? text(c.name) : 0}), c.handle)
        << (c.name ? c.name : "null");
  }
  EXPECT_EQ(call("module_a", {text("kernel32.dll")}), 0u);
  EXPECT_EQ(call("last_error"), Kernel32::kErrorModNotFound);
  const uint32_t wide = bytes({'C', 0, 'a', 0, 'l', 0, 'l', 0, 's', 0, 0, 0});
  EXPECT_EQ(call("module_w", {wide}), base);
  EXPECT_EQ(call("library_a", {text("calls.dll")}), base);
  EXPECT_EQ(call("library_a", {text("user32.dll")}), 0u);
}

TEST_F(RuntimeImports, get_proc_address_finds_exports_by_name_and_ordinal) {
  const uint32_t base = fixture->base();
  const uint32_t atoi = fixture.address("crt_atoi");
  EXPECT_EQ(call("proc_address", {base, text("crt_atoi")}), atoi);
  EXPECT_EQ(call("proc_address", {base, fixture->image().findExport("crt_atoi")->ordinal}), atoi);
  EXPECT_EQ(call("proc_address", {base, text("__register_frame_info")}), 0u);
  EXPECT_EQ(call("last_error"), Kernel32::kErrorProcNotFound);
  EXPECT_EQ(call("proc_address", {0, text("crt_atoi")}), 0u);
  EXPECT_EQ(call("proc_address", {0x7c800000, text("GetTickCount")}), 0u);
}

// MEMORY_BASIC_INFORMATION as the 32-bit structure.
struct MemoryInfo {
  uint32_t base;
  uint32_t allocationBase;
  uint32_t allocationProtect;
  uint32_t regionSize;
  uint32_t state;
  uint32_t protect;
  uint32_t type;
};

TEST_F(RuntimeImports, virtual_query_describes_image_heap_and_free_memory) {
  const uint32_t info = fixture->allocate(sizeof(MemoryInfo));
  auto query = [&](uint32_t address) {
    EXPECT_EQ(call("query", {address, info}), sizeof(MemoryInfo));
    MemoryInfo result;
    const std::vector<uint8_t> raw = fixture->read(info, sizeof result);
    std::memcpy(&result, raw.data(), sizeof result);
    return result;
  };
  const uint32_t base = fixture->base();
  const MemoryInfo headers = query(base + 10);
  EXPECT_EQ(headers.base, base);
  EXPECT_EQ(headers.allocationBase, base);
  EXPECT_EQ(headers.protect, 0x02u);    // PAGE_READONLY
  EXPECT_EQ(headers.state, 0x1000u);    // MEM_COMMIT
  EXPECT_EQ(headers.type, 0x1000000u);  // MEM_IMAGE
  EXPECT_EQ(headers.regionSize, 0x1000u);

  const MemoryInfo code = query(fixture.address("crt_atoi"));
  EXPECT_EQ(code.protect, 0x20u);  // PAGE_EXECUTE_READ
  EXPECT_EQ(code.allocationBase, base);

  const MemoryInfo heap = query(info);
  EXPECT_EQ(heap.protect, 0x04u);  // PAGE_READWRITE
  EXPECT_EQ(heap.type, 0x20000u);  // MEM_PRIVATE

  const MemoryInfo nothing = query(0x100);
  EXPECT_EQ(nothing.state, 0x10000u);  // MEM_FREE
  EXPECT_EQ(nothing.allocationBase, 0u);
}

TEST_F(RuntimeImports, virtual_protect_changes_what_the_cpu_allows) {
  const uint32_t old = fixture->allocate(4);
  const uint32_t code = fixture.address("crt_atoi") & ~0xfffu;
  EXPECT_THROW(fixture->write32(code, 0), EmulationError);
  EXPECT_EQ(call("protect", {code, 0x1000, 0x40 /* PAGE_EXECUTE_READWRITE */, old}), 1u);
  EXPECT_EQ(fixture->read32(old), 0x20u);
  EXPECT_NO_THROW(fixture->write32(code, fixture->read32(code)));
  EXPECT_EQ(call("protect", {0x100, 0x1000, 0x04, old}), 0u);
  EXPECT_EQ(call("last_error"), Kernel32::kErrorInvalidAddress);
  EXPECT_EQ(call("protect", {code, 0x1000, 0x03, old}), 0u) << "not a protection";
  EXPECT_EQ(call("last_error"), Kernel32::kErrorInvalidParameter);
}

TEST_F(RuntimeImports, multi_byte_to_wide_char) {
  const uint32_t out = fixture->allocate(64);
  // "Łódź" in Windows-1250, with its terminator.
  const uint32_t lodz = text(
      "\xa3\xf3"
      "d\x9f");
  EXPECT_EQ(call("to_wide", {1250, 0, lodz, 0xffffffff, 0, 0}), 5u) << "size query";
  EXPECT_EQ(call("to_wide", {0, 0, lodz, 0xffffffff, out, 32}), 5u);
  EXPECT_EQ(fixture->read(out, 10),
            (std::vector<uint8_t>{0x41, 0x01, 0xf3, 0x00, 'd', 0x00, 0x7a, 0x01, 0, 0}));
  EXPECT_EQ(call("to_wide", {1250, 0, lodz, 4, out, 3}), 0u) << "buffer too small";
  EXPECT_EQ(call("last_error"), Kernel32::kErrorInsufficientBuffer);
  EXPECT_EQ(call("to_wide", {65001, 8 /* MB_ERR_INVALID_CHARS */, lodz, 4, out, 32}), 0u);
  EXPECT_EQ(call("last_error"), Kernel32::kErrorNoUnicodeTranslation);
  EXPECT_EQ(call("to_wide", {65001, 0, lodz, 4, out, 32}), 4u) << "replaced, not refused";
  EXPECT_EQ(call("to_wide", {1252, 0, lodz, 4, out, 32}), 0u) << "code page not installed";
  EXPECT_EQ(call("last_error"), Kernel32::kErrorInvalidParameter);
}

TEST_F(RuntimeImports, wide_char_to_multi_byte) {
  const uint32_t out = fixture->allocate(16);
  const uint32_t used = fixture->allocate(4);
  const uint32_t source = bytes({0x42, 0x01, 0xac, 0x20, 0x03, 0x26, 'a', 0, 0, 0});  // ł € ☃ a
  EXPECT_EQ(call("to_narrow", {1250, source, 0xffffffff, out, 16, 0, used}), 5u);
  EXPECT_EQ(textAt(out), "\xb3\x80?a");
  EXPECT_EQ(fixture->read32(used), 1u);
  EXPECT_EQ(call("to_narrow", {1250, source, 4, out, 16, text("#"), used}), 4u);
  EXPECT_EQ(fixture->read(out, 4), (std::vector<uint8_t>{0xb3, 0x80, '#', 'a'}));
  EXPECT_EQ(call("to_narrow", {65001, source, 4, 0, 0, 0, 0}), 9u) << "2 + 3 + 3 + 1 bytes";
  EXPECT_EQ(call("to_narrow", {65001, source, 4, out, 16, 0, used}), 0u)
      << "UTF-8 takes no default character";
  EXPECT_EQ(call("last_error"), Kernel32::kErrorInvalidParameter);
}

}  // namespace
