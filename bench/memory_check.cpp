// A long run of messages through Quillmax.so, loaded as the messenger loads
// it, with a rule base of 100 rules: the resident size after a warm-up and
// at the end. Whatever the plug-in keeps from one message to the next shows
// up as growth.
//
//   quillmax_memory [--messages N] [--seconds S] [--plugin PATH]
// Stops after N messages (default 1,000,000) or S seconds (default 120),
// whichever comes first, and says which.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_host.h"
#include "bench/workload.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "tests/support/plugin_library.h"

using namespace qmx;

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kRules = 100;
constexpr size_t kWarmUpMessages = 20000;
constexpr int kLeftAlone = 0;
constexpr int kReplaced = 2;

long residentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long sizePages = 0;
  long residentPages = 0;
  statm >> sizePages >> residentPages;
  return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

bool readCount(const char* text, long long& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && value > 0;
}

int usage() {
  std::fprintf(stderr, "usage: quillmax_memory [--messages N] [--seconds S] [--plugin PATH]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long long messageLimit = 1000000;
  long long secondLimit = 120;
  std::string pluginPath = qmxtest::kPluginPath;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return usage();
    const char* value = argv[++i];
    if (option == "--messages") {
      if (!readCount(value, messageLimit)) return usage();
    } else if (option == "--seconds") {
      if (!readCount(value, secondLimit)) return usage();
    } else if (option == "--plugin") {
      pluginPath = value;
    } else {
      return usage();
    }
  }

  const qmxtest::PluginLibrary library(pluginPath);
  if (!library.loaded()) {
    std::fprintf(stderr, "quillmax_memory: cannot load %s\n", pluginPath.c_str());
    return 1;
  }
  const qmxbench::MessageProc proc = library.proc();

  const std::vector<qmxbench::Rule> rules = qmxbench::makeRuleBase(kRules);
  const qmxbench::RuleColumns columns = qmxbench::storedColumns(rules);
  qmxbench::BenchHost host;
  host.setRuleColumns(columns.from, columns.to, columns.type);
  host.keepCopies = true;
  qmxbench::startPlugin(proc, host);

  // Chat-sized messages of several lengths, each holding a few rule words.
  std::vector<std::string> messages;
  for (size_t bytes : {20, 45, 80, 120, 160, 200, 260, 400}) {
    messages.push_back(qmxbench::makeMessage(bytes, rules, qmxbench::Mix::kTypical));
  }

  const Clock::time_point start = Clock::now();
  const Clock::duration budget = std::chrono::seconds(secondLimit);
  long warmKilobytes = 0;
  long long sent = 0;
  while (sent < messageLimit) {
    if (sent == static_cast<long long>(kWarmUpMessages)) warmKilobytes = residentKilobytes();
    // Checking the clock every message would cost more than a short message.
    if (sent % 256 == 0 && Clock::now() - start > budget) break;
    const std::string& body = messages[static_cast<size_t>(sent) % messages.size()];
    // Alternate directions: incoming messages are left alone (the option is
    // off), outgoing ones are replaced, and their copy comes back marked.
    const bool outgoing = sent % 4 != 3;
    const intptr_t answer =
        qmxbench::sendMessage(proc, body, "", outgoing ? static_cast<uint32_t>(kMsgOutgoing) : 0);
    if (answer != (outgoing ? kReplaced : kLeftAlone)) {
      std::fprintf(stderr, "quillmax_memory: message %lld answered %ld\n", sent,
                   static_cast<long>(answer));
      return 1;
    }
    if (outgoing &&
        qmxbench::sendMessage(proc, host.copyBody, host.copyExt, host.copyFlags) != kLeftAlone) {
      std::fprintf(stderr, "quillmax_memory: the copy of message %lld was corrected again\n", sent);
      return 1;
    }
    ++sent;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long endKilobytes = residentKilobytes();
  qmxbench::sendCall(proc, CALL_END);
  qmxbench::sendCall(proc, CALL_DEINIT);

  if (sent <= static_cast<long long>(kWarmUpMessages)) {
    std::printf("memory: only %lld messages in %.0f s, fewer than the warm-up of %zu\n", sent,
                seconds, kWarmUpMessages);
    return 1;
  }
  const long growth = endKilobytes - warmKilobytes;
  // Flat: what a page or two of allocator slack amounts to, nothing that
  // scales with the number of messages.
  const bool flat = growth <= 256;
  std::printf(
      "memory: %lld messages (%s) with %zu rules in %.1f s, %.1f us a message\n"
      "memory: resident %ld KB after %zu warm-up messages, %ld KB at the end: growth %ld KB "
      "(%s)\n",
      sent, sent >= messageLimit ? "all" : "stopped at the time limit", kRules, seconds,
      seconds * 1e6 / static_cast<double>(sent), warmKilobytes, kWarmUpMessages, endKilobytes,
      growth, flat ? "flat" : "GROWING");
  return 0;
}
