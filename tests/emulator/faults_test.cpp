// Faults inside the emulated DLL: each ends the call with an EmulationError
// naming what happened, where (address and nearest symbol) and during which
// call; the host carries on, and so can the DLL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/emulated_dll.h"
#include "tests/emulator/fixture_support.h"

namespace {

using qmxpe::EmulationError;
using qmxpe::FaultKind;
using qmxpetest::Fixture;

struct FaultCase {
  const char* name;
  const char* exportName;
  std::vector<uint32_t> args;
  FaultKind kind;
  std::vector<std::string> mentions;  // parts the message must contain
  uint32_t address;                   // the fault's address, when fixed (0: not checked)
};

const FaultCase kFaults[] = {
    {"null_read",
     "read_null",
     {},
     FaultKind::kAccessViolation,
     {"faults.dll!read_null()", "access violation reading 0x00000010", "faults.dll!read_null"},
     0x10},
    {"write_to_read_only_data",
     "write_read_only",
     {},
     FaultKind::kAccessViolation,
     {"access violation writing", "protection r--", "faults.dll!write_read_only"},
     0},
    {"unimplemented_function",
     "call_unimplemented",
     {},
     FaultKind::kUnimplementedImport,
     {"call of unimplemented import KERNEL32.dll!Beep", "from 0x", "faults.dll!call_unimplemented"},
     0},
    {"unimplemented_variable",
     "read_unimplemented_data",
     {},
     FaultKind::kUnimplementedImport,
     {"read of the data of unimplemented import msvcrt.dll!_acmdln",
      "faults.dll!read_unimplemented_data"},
     0},
    {"invalid_instruction",
     "invalid_instruction",
     {},
     FaultKind::kInvalidInstruction,
     {"invalid instruction", "faults.dll!invalid_instruction"},
     0},
    {"division_by_zero",
     "divide",
     {1, 0},
     FaultKind::kCpuException,
     {"faults.dll!divide(0x00000001, 0x00000000)", "divide error", "faults.dll!divide"},
     0},
    {"jump_to_unmapped_memory",
     "jump_to",
     {0x100},
     FaultKind::kAccessViolation,
     {"access violation executing 0x00000100", "faults.dll!jump_to"},
     0x100},
    {"jump_into_the_heap",
     "jump_to",
     {qmxpe::Emulator::kHeapBase},
     FaultKind::kAccessViolation,
     {"access violation executing 0x01000000", "protection rw-"},
     qmxpe::Emulator::kHeapBase},
    {"endless_loop",
     "spin",
     {},
     FaultKind::kInstructionLimit,
     {"no return within", "faults.dll!spin"},
     0},
    {"abort",
     "call_abort",
     {},
     FaultKind::kAbort,
     {"abort() was called in import stub msvcrt.dll!abort, called from 0x",
      "(faults.dll!call_abort+"},
     0},
    {"double_free",
     "free_twice",
     {},
     FaultKind::kHeapMisuse,
     {"freed twice", "import stub msvcrt.dll!free", "faults.dll!free_twice"},
     0},
    {"stack_overflow",
     "recurse",
     {100000},
     FaultKind::kAccessViolation,
     {"stack overflow", "faults.dll!recurse"},
     0},
    {"cdecl_called_as_stdcall",
     "cdecl_add",
     {2, 3},
     FaultKind::kStackImbalance,
     {"stack unbalanced", "8 bytes of arguments were left"},
     0},
};

class Fault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Fault, is_reported_and_leaves_the_dll_usable) {
  const FaultCase& c = GetParam();
  qmxpe::LoadOptions options = qmxpetest::quietOptions();
  options.instructionLimit = 2'000'000;
  Fixture fixture("faults", options);
  try {
    fixture.call(c.exportName, c.args);
    FAIL() << c.exportName << " returned";
  } catch (const EmulationError& e) {
    const std::string message = e.what();
    EXPECT_EQ(e.kind(), c.kind) << message;
    for (const std::string& part : c.mentions) {
      EXPECT_NE(message.find(part), std::string::npos) << "no \"" << part << "\" in: " << message;
    }
    if (c.address != 0) {
      EXPECT_EQ(e.address(), c.address) << message;
    }
  }
  EXPECT_EQ(fixture.call("divide", {12, 4}), 3u);
}

INSTANTIATE_TEST_SUITE_P(Faults, Fault, ::testing::ValuesIn(kFaults),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Faults, a_caller_chosen_label_names_the_call) {
  Fixture fixture("faults");
  try {
    fixture->callStdcall(fixture.address("read_null"), {}, "IMessageProc(record 0x01000010)");
    FAIL() << "returned";
  } catch (const EmulationError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("IMessageProc(record 0x01000010): ", 0), 0u) << e.what();
  }
}

// An exception that leaves the DLL ends in std::terminate and abort(); the
// report quotes what the runtime printed about it.
TEST(Faults, escaping_cxx_exception_reports_the_runtimes_last_words) {
  Fixture fixture("exceptions");
  try {
    fixture.call("let_escape", {3});
    FAIL() << "returned";
  } catch (const EmulationError& e) {
    const std::string message = e.what();
    EXPECT_EQ(e.kind(), FaultKind::kAbort);
    EXPECT_NE(message.find("terminate called after throwing an instance of 'std::logic_error'"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("escaped with code 3"), std::string::npos) << message;
  }
}

}  // namespace
