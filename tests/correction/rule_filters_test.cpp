// Passing over the rules that cannot change a message must change nothing
// the host sees. Random sessions (rule bases of every kind of rule, both
// case settings, reloads, messages whose rules make and break each other's
// Froms) go through the entry point with the rule loop's filters and
// without them, and through Quillmax.so as it ships: every call into the
// host, in order, every copy and every answer must be the same.
#include <gtest/gtest.h>

#include <random>

#include "correction/correct_message.h"
#include "correction/test_switches.h"
#include "shell/entry_point.h"
#include "tests/support/plugin_library.h"
#include "tests/support/rule_sessions.h"

using namespace qmx;
using qmxtest::HostTranscript;
using qmxtest::RuleSession;

namespace {

class RuleFilters : public ::testing::Test {
 protected:
  void TearDown() override { setRuleFilters(qmx::RuleFilters::kOn); }
};

TEST_F(RuleFilters, change_nothing_the_host_sees) {
  qmxtest::PluginLibrary shipped;
  ASSERT_TRUE(shipped.loaded()) << shipped.error();
  std::mt19937 random(20261214);
  size_t changed = 0;
  for (int round = 0; round < 400; ++round) {
    const RuleSession session = qmxtest::randomRuleSession(random);
    setRuleFilters(qmx::RuleFilters::kOff);
    const HostTranscript unfiltered = qmxtest::runRuleSession(&IMessageProc, session);
    setRuleFilters(qmx::RuleFilters::kOn);
    const HostTranscript filtered = qmxtest::runRuleSession(&IMessageProc, session);
    const HostTranscript library = qmxtest::runRuleSession(shipped.proc(), session);
    for (const HostTranscript* run : {&filtered, &library}) {
      const char* road = run == &filtered ? "filtered" : "Quillmax.so";
      ASSERT_EQ(run->copies, unfiltered.copies) << road << "\n" << describe(session);
      ASSERT_EQ(run->calls, unfiltered.calls) << road << "\n" << describe(session);
      ASSERT_EQ(run->answers, unfiltered.answers) << road << "\n" << describe(session);
    }
    // Each message the plug-in corrects gets its copy, in order.
    size_t copy = 0;
    for (const qmxtest::SessionStep& step : session.steps) {
      if (step.kind != qmxtest::SessionStep::Kind::kMessage) continue;
      if (!(step.flags & kMsgOutgoing) && session.incomingOption == 0) continue;
      ASSERT_LT(copy, unfiltered.copies.size());
      changed += unfiltered.copies[copy++] !=
                 qmxtest::transcriptCopy(step.body, "\x1aquillmax=1", step.flags);
    }
  }
  // A proof only if the rules often changed the messages they were sent.
  EXPECT_GT(changed, 300u);
}

}  // namespace
