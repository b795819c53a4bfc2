// The loop over the rule list: the plug-in runs it over every message it
// corrects, and quillmax-host runs the same code to trace and check rules,
// so that the tools see the rules exactly as the plug-in applies them.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "correction/rule_application.h"
#include "rules/rule_columns.h"

namespace qmx {

using RuleVisitor =
    std::function<void(size_t rule, RuleKind kind, const std::string& from, const std::string& to)>;

// Visits the rules of `rules` in list order with copies of their From and
// To. The bound is read anew before each rule: the plug-in walks the store
// the editor changes, and a host may call back into the plug-in while a rule
// runs, so the list may change under a visit without the walk running past
// its end.
void walkRules(const RuleStore& rules, const RuleVisitor& visit);

using RuleObserver =
    std::function<void(size_t rule, const std::string& before, const std::string& after)>;

// Applies the rules of `rules` to `text` in list order, every rule in full:
// each word rule asks `caseSensitive` once for each of its three passes,
// each Perl rule runs its own pattern, compiled for the occasion; rules of
// neither kind are passed over. `observer`, when set, is called after each
// rule that ran, with the text before and after it (the same text when the
// rule changed nothing).
void applyRules(const RuleStore& rules, std::string& text, CaseSource caseSensitive,
                const RuleObserver& observer = nullptr);

// Whether a rule that cannot change the message is passed over: on in the
// plug-in; off only in the tests and benchmarks that hold the filtered loop
// to the one that runs every rule (test_switches.h).
enum class RuleFilters { kOn, kOff };

// The rule loop as the plug-in runs it, with what it keeps from one message
// to the next: the rule base prepared (which literals each rule needs, found
// in a message in one pass), and the patterns its rules compiled. Both are
// made again when the rule base's revision changes.
//
// With filters on, it gives every text exactly as applyRules does and asks
// `caseSensitive` the same number of times in the same order (three times
// for every word rule, however soon it is seen to have nothing to find),
// but passes over each rule that cannot change the text and runs the others
// with patterns compiled once. The observer sees only the rules that ran.
// With filters off it is applyRules.
class RuleLoop {
 public:
  RuleLoop();
  ~RuleLoop();
  RuleLoop(const RuleLoop&) = delete;
  RuleLoop& operator=(const RuleLoop&) = delete;

  void apply(const RuleStore& rules, std::string& text, CaseSource caseSensitive,
             const RuleObserver& observer = nullptr);

  // Forgets the prepared rule base and the compiled patterns (once the
  // message being corrected, if any, is done).
  void release();

  // Heap bytes kept between messages: the prepared rule base and the
  // compiled patterns.
  size_t keptBytes() const;

 private:
  struct Kept;
  Kept& keptFor(const RuleStore& rules);
  friend void setRuleLoopFilters(RuleLoop& loop, RuleFilters filters);

  RuleFilters filters_ = RuleFilters::kOn;
  std::unique_ptr<Kept> kept_;
  // A message is being corrected: a host that calls back into the plug-in
  // from a configuration read must not pull what the loop holds from under
  // it.
  bool running_ = false;
  bool releasePending_ = false;
};

}  // namespace qmx
