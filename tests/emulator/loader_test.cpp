// Loading and calling DLLs: relocation, the attach and detach notifications,
// implicit TLS, stub clean-up for both calling conventions, C++ exceptions
// inside the DLL, callbacks into the host and the memory helpers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulator/emulated_dll.h"
#include "emulator/pe_image.h"
#include "tests/emulator/fixture_support.h"

namespace {

using qmxpe::EmulatedDll;
using qmxpe::EmulationError;
using qmxpe::FaultKind;
using qmxpe::LoadOptions;
using qmxpe::PeImage;
using qmxpetest::Fixture;
using qmxpetest::fixturePath;
using qmxpetest::quietOptions;

// The globals fixture's functions answer addresses of its own globals; they
// are right only if every relocation was applied for the base it got.
struct Placement {
  const char* name;
  bool reservePreferredBase;
};

class Relocation : public ::testing::TestWithParam<Placement> {};

TEST_P(Relocation, code_and_data_addresses_follow_the_base) {
  const PeImage image = PeImage::fromFile(fixturePath("globals"));
  LoadOptions options = quietOptions();
  if (GetParam().reservePreferredBase) {
    options.reservedRanges.push_back({image.imageBase(), 0x10000});
  }
  Fixture fixture("globals", options);
  EmulatedDll& dll = fixture.dll();
  EXPECT_EQ(dll.relocated(), GetParam().reservePreferredBase);
  EXPECT_EQ(dll.base() % 0x10000, 0u);
  EXPECT_EQ(dll.preferredBase(), image.imageBase());

  const uint32_t value = fixture.address("g_value");
  EXPECT_EQ(value, dll.base() + image.findExport("g_value")->rva);
  EXPECT_EQ(fixture.call("global_address"), value);
  EXPECT_EQ(dll.read32(fixture.address("g_pointer")), value);
  EXPECT_EQ(fixture.call("read_through_pointer"), 42u);
}

INSTANTIATE_TEST_SUITE_P(Loader, Relocation,
                         ::testing::Values(Placement{"at_its_preferred_base", false},
                                           Placement{"elsewhere", true}),
                         [](const auto& test) { return std::string(test.param.name); });

std::string temporaryCopy(const std::string& from,
                          const std::function<void(std::vector<char>&)>& edit) {
  std::ifstream in(from, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  edit(bytes);
  char path[] = "/tmp/quillmax-pe-XXXXXX";
  const int descriptor = mkstemp(path);
  EXPECT_GE(descriptor, 0);
  close(descriptor);
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

TEST(Loader, image_without_relocations_is_refused_when_its_base_is_taken) {
  // The same DLL, marked IMAGE_FILE_RELOCS_STRIPPED.
  const std::string path = temporaryCopy(fixturePath("globals"), [](std::vector<char>& bytes) {
    uint32_t nt;
    std::memcpy(&nt, bytes.data() + 0x3c, 4);
    bytes[nt + 4 + 18] = static_cast<char>(bytes[nt + 4 + 18] | 0x01);
  });
  const PeImage image = PeImage::fromFile(path);
  EXPECT_FALSE(image.relocatable());
  EXPECT_NO_THROW(EmulatedDll::load(path, quietOptions())) << "its base is free";

  LoadOptions options = quietOptions();
  options.reservedRanges.push_back({image.imageBase(), 0x10000});
  try {
    EmulatedDll::load(path, options);
    ADD_FAILURE() << "loaded";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("no base relocations"), std::string::npos) << e.what();
  }
  std::remove(path.c_str());
}

TEST(Loader, malformed_file_is_refused_before_anything_runs) {
  const std::string path = temporaryCopy(
      fixturePath("globals"), [](std::vector<char>& bytes) { bytes.resize(bytes.size() / 2); });
  EXPECT_THROW(EmulatedDll::load(path, quietOptions()), qmxpe::PeError);
  std::remove(path.c_str());
  EXPECT_THROW(EmulatedDll::load("/nonexistent/x.dll", quietOptions()), qmxpe::PeError);
}

TEST(Loader, tls_callbacks_run_before_the_entry_point_and_detach_comes_last) {
  Fixture fixture("lifecycle");
  EmulatedDll& dll = fixture.dll();
  const uint32_t log = fixture.call("attach_log");
  EXPECT_EQ(dll.readString(log), "T1D1");
  EXPECT_EQ(fixture.call("attached_instance"), dll.base());
  // Calls in between send nothing.
  fixture.call("tls_read");
  EXPECT_EQ(dll.readString(log), "T1D1");

  dll.unload();
  EXPECT_EQ(dll.readString(log), "T1D1T0D0");
  EXPECT_FALSE(dll.attached());
  EXPECT_THROW(fixture.call("attach_log"), std::logic_error);
  dll.unload();
  EXPECT_EQ(dll.readString(log), "T1D1T0D0") << "a second unload notified again";
}

// Destruction is the host's FreeLibrary, unless a fault has, as on Windows,
// ended the process first: a DLL in a broken state is not run again.
TEST(Loader, destruction_detaches_unless_a_call_faulted) {
  for (const bool fault : {false, true}) {
    int detaches = 0;
    {
      Fixture fixture("lifecycle");
      const uint32_t hook = fixture->makeCallback(1, "detach hook", [&](const uint32_t* args) {
        EXPECT_EQ(args[0], 0u) << "DLL_PROCESS_DETACH";
        ++detaches;
        return 0u;
      });
      fixture.call("set_detach_hook", {hook});
      if (fault) {
        EXPECT_THROW(fixture->callStdcall(0x100, {}), EmulationError);
        EXPECT_TRUE(fixture->faulted());
      }
      EXPECT_EQ(detaches, 0);
    }
    EXPECT_EQ(detaches, fault ? 0 : 1) << (fault ? "after a fault" : "after clean calls");
  }
}

// The loader gives the thread a copy of the TLS template behind
// fs:[0x2c][_tls_index]; writes go to the copy, not the template.
TEST(Loader, implicit_tls_reaches_the_threads_own_copy) {
  Fixture fixture("lifecycle");
  EXPECT_EQ(fixture.call("tls_read"), 1234u);
  fixture.call("tls_write", {99});
  EXPECT_EQ(fixture.call("tls_read"), 99u);
  EXPECT_EQ(fixture.call("tls_template"), 1234u);
}

TEST(Loader, entry_point_refusing_to_attach_fails_the_load) {
  try {
    EmulatedDll::load(fixturePath("refuses_attach"), quietOptions());
    ADD_FAILURE() << "loaded";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("DLL_PROCESS_ATTACH, 0) returned FALSE"),
              std::string::npos)
        << e.what();
  }
}

// A stub with the wrong `ret` would move ESP by its argument bytes on every
// call; a thousand rounds of stdcall and cdecl imports must leave it where
// it was.
TEST(Loader, import_stubs_leave_the_stack_balanced) {
  Fixture fixture("calls");
  EXPECT_EQ(fixture.call("stack_drift", {1000}), 0u);
}

TEST(Loader, imports_by_ordinal_reach_their_function) {
  Fixture fixture("calls");
  EXPECT_EQ(fixture->windows().initCommonControlsCount(), 0);
  fixture.call("init_common_controls");
  EXPECT_EQ(fixture->windows().initCommonControlsCount(), 1);
  EXPECT_EQ(fixture->stubCallCounts()["import stub COMCTL32.dll!#17 (InitCommonControls)"], 1u);
}

// The C++ fixture keeps mingw's start-up code: DWARF unwind tables
// registered at attach, libstdc++'s allocator over msvcrt's heap.
TEST(Loader, cxx_exception_unwinds_inside_the_dll_to_its_handler) {
  Fixture fixture("exceptions");
  EXPECT_EQ(fixture.call("throw_and_catch", {5}), std::strlen("thrown at depth 6"));
  EXPECT_EQ(fixture.call("destroyed_count"), 6u) << "destructors of the unwound frames";
  EXPECT_EQ(fixture.call("throw_and_catch", {0}), std::strlen("thrown at depth 1"));
  EXPECT_EQ(fixture.call("destroyed_count"), 7u);
}

TEST(Loader, callbacks_receive_their_arguments_and_return_to_the_dll) {
  Fixture fixture("calls");
  std::vector<std::vector<uint32_t>> seen;
  const uint32_t callback = fixture->makeCallback(2, "subtract", [&](const uint32_t* args) {
    seen.push_back({args[0], args[1]});
    return args[0] - args[1];
  });
  // invoke_twice answers f(a, b) * 1000 + f(b, a), and how far ESP moved.
  const uint32_t drift = fixture->allocate(4);
  EXPECT_EQ(fixture.call("invoke_twice", {callback, 9, 4, drift}),
            5u * 1000u + static_cast<uint32_t>(-5));
  EXPECT_EQ(fixture->read32(drift), 0u);
  EXPECT_EQ(seen, (std::vector<std::vector<uint32_t>>{{9, 4}, {4, 9}}));
  EXPECT_EQ(fixture->stubCallCounts()["callback subtract"], 2u);
}

TEST(Loader, callback_handlers_may_use_emulated_memory) {
  Fixture fixture("calls");
  const uint32_t text = fixture.text("abc");
  std::vector<std::string> seen;
  // Reads the text it is given and flips its letters' case in place.
  const uint32_t callback = fixture->makeCallback(2, "flip", [&](const uint32_t* args) {
    const uint32_t address = args[0] != 0 ? args[0] : args[1];
    std::string value = fixture->readString(address);
    seen.push_back(value);
    for (char& c : value) c = static_cast<char>(c ^ 0x20);
    fixture->write(address, value.data(), value.size());
    return static_cast<uint32_t>(value.size());
  });
  EXPECT_EQ(fixture.call("invoke_twice", {callback, text, 0, fixture->allocate(4)}), 3003u);
  EXPECT_EQ(seen, (std::vector<std::string>{"abc", "ABC"}));
  EXPECT_EQ(fixture->readString(text), "abc");
}

TEST(Loader, failing_callback_ends_the_call_naming_it) {
  Fixture fixture("calls");
  const uint32_t callback = fixture->makeCallback(
      2, "refuser", [](const uint32_t*) -> uint32_t { throw std::runtime_error("not today"); });
  try {
    fixture.call("invoke_twice", {callback, 1, 2, fixture->allocate(4)});
    ADD_FAILURE() << "returned";
  } catch (const EmulationError& e) {
    EXPECT_EQ(e.kind(), FaultKind::kHostError);
    const std::string message = e.what();
    EXPECT_NE(message.find("not today"), std::string::npos) << message;
    EXPECT_NE(message.find("callback refuser"), std::string::npos) << message;
    EXPECT_NE(message.find("calls.dll!invoke_twice"), std::string::npos) << message;
  }
  // The DLL is still usable.
  EXPECT_EQ(fixture.call("crt_strlen", {fixture.text("four")}), 4u);
}

TEST(Loader, a_callback_cannot_call_back_into_the_dll) {
  Fixture fixture("calls");
  const uint32_t strlenAddress = fixture.address("crt_strlen");
  const uint32_t text = fixture.text("x");
  const uint32_t callback = fixture->makeCallback(
      2, "reentrant", [&](const uint32_t*) { return fixture->callStdcall(strlenAddress, {text}); });
  try {
    fixture.call("invoke_twice", {callback, 1, 2, fixture->allocate(4)});
    ADD_FAILURE() << "returned";
  } catch (const EmulationError& e) {
    EXPECT_NE(std::string(e.what()).find("already running"), std::string::npos) << e.what();
  }
}

TEST(Loader, memory_helpers_share_the_dlls_heap) {
  Fixture fixture("calls");
  EmulatedDll& dll = fixture.dll();
  const uint32_t block = dll.allocate(100);
  EXPECT_EQ(dll.read(block, 100), std::vector<uint8_t>(100, 0));
  dll.write32(block, 0x64636261);
  dll.write16(block + 4, 0x0065);
  EXPECT_EQ(dll.readString(block), "abcde");
  EXPECT_EQ(dll.read16(block + 1), 0x6362);
  // The DLL frees what the host allocated, and the host what the DLL did.
  fixture.call("crt_free", {block});
  EXPECT_THROW(dll.release(block), std::invalid_argument);
  const uint32_t fromDll = fixture.call("crt_malloc", {32});
  EXPECT_NO_THROW(dll.release(fromDll));
  EXPECT_NO_THROW(dll.release(0));
  EXPECT_THROW(dll.allocate(0x7fffffff), std::bad_alloc);
  EXPECT_EQ(dll.exportAddress("no_such_export"), std::nullopt);
}

TEST(Loader, host_access_to_unmapped_or_read_only_memory_throws) {
  Fixture fixture("calls");
  EmulatedDll& dll = fixture.dll();
  EXPECT_THROW(dll.read32(0x10), EmulationError);
  EXPECT_THROW(dll.write32(dll.base(), 1), EmulationError) << "the headers are read-only";
  EXPECT_THROW(dll.readString(0x7ff00000), EmulationError);
  EXPECT_EQ(dll.read(dll.base(), 2), (std::vector<uint8_t>{'M', 'Z'}));
}

}  // namespace
