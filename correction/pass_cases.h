// A word rule runs as three passes, counted from 0, and each asks the host's
// case option once: these are the three answers.
#pragma once

#include <functional>

namespace qmx {

constexpr int kWordRulePasses = 3;

class PassCases {
 public:
  // Answers given: pass 0 first. True: the pass matches letter case exactly.
  constexpr PassCases(bool pass0, bool pass1, bool pass2) : sensitive_{pass0, pass1, pass2} {}

  // Asks `caseSensitive` once for each pass, in pass order. Nothing calls the
  // host between the passes, so asking three times up front shows the host
  // the same calls as asking before each pass.
  static PassCases ask(const std::function<bool()>& caseSensitive) {
    const bool pass0 = caseSensitive();
    const bool pass1 = caseSensitive();
    const bool pass2 = caseSensitive();
    return PassCases(pass0, pass1, pass2);
  }

  bool sensitive(int pass) const { return sensitive_[pass]; }
  bool allSensitive() const { return sensitive_[0] && sensitive_[1] && sensitive_[2]; }
  bool anySensitive() const { return sensitive_[0] || sensitive_[1] || sensitive_[2]; }
  bool anyIgnoring() const { return !allSensitive(); }

 private:
  bool sensitive_[kWordRulePasses];
};

}  // namespace qmx
