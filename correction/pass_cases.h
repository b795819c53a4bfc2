// A word rule runs as three passes, counted from 0, and each asks the host's
// case option once: these are the three answers.
#pragma once

#include <type_traits>

#include "shell/element_ids.h"
#include "shell/host_services.h"

namespace qmx {

constexpr int kWordRulePasses = 3;

// Where the passes get the case option: the plug-in asks the host anew for
// every pass (hostOption()); tests and tools give stand-ins, which must
// outlive the call they are given to. Three of these reads are made for
// every word rule of every message, so the host's own is read inline, with
// no call between the loop and the host's operation: a std::function, or
// a call or two of the plug-in's own, cost as much as the host's answer.
class CaseSource {
 public:
  // The host's column "Rewordix/CaseSensitive", as caseSensitiveOption reads it.
  static CaseSource hostOption() { return CaseSource(); }

  // A lambda without captures is kept as the function it converts to, so a
  // temporary one may be passed like a function.
  template <typename Callable>
  CaseSource(const Callable& read) {
    if constexpr (std::is_convertible_v<const Callable&, bool (*)()>) {
      target_.function = read;
      call_ = [](Target target) { return target.function(); };
    } else {
      target_.object = &read;
      call_ = [](Target target) {
        return static_cast<bool>((*static_cast<const Callable*>(target.object))());
      };
    }
  }

  bool operator()() const {
    return call_ ? call_(target_) : getConfigInt(kColumnCaseSensitive) != 0;
  }

 private:
  CaseSource() = default;

  union Target {
    const void* object;
    bool (*function)();
  };
  Target target_{};
  bool (*call_)(Target target) = nullptr;
};

class PassCases {
 public:
  // Answers given: pass 0 first. True: the pass matches letter case exactly.
  constexpr PassCases(bool pass0, bool pass1, bool pass2)
      : sensitive_(static_cast<unsigned char>(pass0 | pass1 << 1 | pass2 << 2)) {}

  // Asks `caseSensitive` once for each pass, in pass order. Nothing calls the
  // host between the passes, so asking three times up front shows the host
  // the same calls as asking before each pass.
  static PassCases ask(CaseSource caseSensitive) {
    const bool pass0 = caseSensitive();
    const bool pass1 = caseSensitive();
    const bool pass2 = caseSensitive();
    return PassCases(pass0, pass1, pass2);
  }

  bool sensitive(int pass) const { return (sensitive_ >> pass & 1) != 0; }
  bool allSensitive() const { return sensitive_ == kAll; }
  bool anySensitive() const { return sensitive_ != 0; }
  bool anyIgnoring() const { return sensitive_ != kAll; }

 private:
  static constexpr unsigned char kAll = 7;
  unsigned char sensitive_;  // bit k: pass k matches case exactly
};

}  // namespace qmx
