// How a call into emulated code fails: the kinds of fault, the error that
// ends the call, and the hex forms in which fault reports write addresses.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qmxpe {

// An emulated address as fault reports write it: "0x0040a1b2".
std::string hex32(uint32_t value);
// An offset or a size as fault reports write it: "0x1b3".
std::string hexOffset(uint32_t value);

enum class FaultKind {
  kAccessViolation,      // a read, write or fetch outside mapped memory or against its protection
  kUnimplementedImport,  // a call of (or an access to the data of) an import nobody serves
  kInvalidInstruction,
  kCpuException,      // divide error, breakpoint, general protection...
  kStackImbalance,    // ESP after the return is not where the caller's arguments ended
  kInstructionLimit,  // no return within the instruction budget: an endless loop
  kAbort,             // the program gave up: abort(), _amsg_exit(), a deadlock
  kHeapMisuse,        // free or realloc of an address the heap never gave out
  kHostError,         // a C++ handler failed for another reason
};

// The reason a call into emulated code did not return normally. what() is
// one line: the call that was running, what happened, the faulting address
// and the nearest known symbol.
class EmulationError : public std::runtime_error {
 public:
  EmulationError(FaultKind kind, uint32_t address, const std::string& message)
      : std::runtime_error(message), kind_(kind), address_(address) {}

  FaultKind kind() const { return kind_; }
  // The accessed address for an access violation, the instruction's address
  // otherwise.
  uint32_t address() const { return address_; }

 private:
  FaultKind kind_;
  uint32_t address_;
};

}  // namespace qmxpe
