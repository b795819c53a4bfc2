#include "rules/rule_store.h"

#include <climits>
#include <cstddef>

#include "shell/element_ids.h"
#include "shell/host_services.h"

namespace {

// Lives as long as the module; empty until the first load.
RuleStore g_store;
// The store holds every rule of the configuration: the last load finished.
bool g_loaded = false;

constexpr size_t kSeparatorLength = sizeof RULE_SEPARATOR - 1;

// The stored form ends an entry at the first CR LF, so an entry holding one
// would end early and push every later To and Type onto the wrong rule. A run
// of CRs before an LF collapses to the LF: the fixed point of replacing CR LF
// by LF, so "\r\r\n" gives "\n" and no CR LF is left. Lone CRs and LFs stay.
std::string storableEntry(const std::string& entry) {
  std::string stored;
  stored.reserve(entry.size());
  for (char c : entry) {
    if (c == '\n') {
      while (!stored.empty() && stored.back() == '\r') stored.pop_back();
    }
    stored += c;
  }
  return stored;
}

}  // namespace

std::string joinColumn(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    text += storableEntry(entry);
    text += RULE_SEPARATOR;
  }
  return text;
}

namespace {

// The C locale's white space, spelt out: std::isspace depends on the current
// locale and is undefined for the negative chars of Polish letters.
bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

RuleStore parseRuleColumns(const std::string& fromText, const std::string& toText,
                           const std::string& typeText) {
  RuleStore store;
  store.From = splitColumn(fromText);
  store.To = splitColumn(toText);
  store.Type = splitColumn(typeText);
  // From decides the number of rules. A short To or Type column (an old
  // configuration without types, say) is padded, a rule without a stored type
  // being a word rule; surplus entries of a column edited by hand belong to
  // no rule and are dropped.
  const size_t count = store.From.size();
  store.To.resize(count, "");
  store.Type.resize(count, "0");
  return store;
}

const RuleStore& ruleStore() {
  return g_store;
}

void loadRuleBase() {
  // "Ładuję bazę zmian"
  hostLog(
      "\xa3"
      "aduj\xea baz\xea zmian");
  g_store = RuleStore();
  g_loaded = false;
  // "Wczytuję dane z konfiguracji"
  hostLog("Wczytuj\xea dane z konfiguracji");

  try {
    // Each text is copied before the next read: the host may reuse its
    // buffer.
    const std::string fromText = readConfigText(COLUMN_FROM);
    const std::string toText = readConfigText(COLUMN_TO);
    const std::string typeText = readConfigText(COLUMN_TYPE);
    g_store = parseRuleColumns(fromText, toText, typeText);
  } catch (...) {
    // Out of memory for a huge rule base, say. The plug-in goes on without
    // rules, and since g_loaded stays false the end of the session leaves
    // the stored rules as they are instead of writing this empty store
    // over them. "Nie udało się załadować bazy zmian"
    g_store = RuleStore();
    hostLog(
        "Nie uda\xb3o si\xea za\xb3"
        "adowa\xe6 bazy zmian");
    return;
  }
  g_loaded = true;
  const size_t count = g_store.From.size();

  // "Baza załadowana %d wpisów"
  hostLog(
      "Baza za\xb3"
      "adowana %d wpis\xf3w",
      static_cast<int>(count));
}

bool ruleBaseLoaded() {
  return g_loaded;
}

void resetRuleBaseLoaded() {
  g_loaded = false;
}

void saveRuleBase() {
  const std::string fromText = joinColumn(g_store.From);
  const std::string toText = joinColumn(g_store.To);
  const std::string typeText = joinColumn(g_store.Type);
  setConfigString(COLUMN_FROM, fromText.c_str());
  setConfigString(COLUMN_TO, toText.c_str());
  setConfigString(COLUMN_TYPE, typeText.c_str());
}

std::vector<std::string> splitColumn(const std::string& text) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (;;) {
    const size_t separator = text.find(RULE_SEPARATOR, start);
    if (separator == std::string::npos) break;
    entries.push_back(text.substr(start, separator - start));
    start = separator + kSeparatorLength;
  }
  // A last entry whose separator was lost by hand-editing still counts; an
  // empty tail is no entry, so the stored form never gains a rule at load.
  if (start < text.size()) entries.push_back(text.substr(start));
  return entries;
}

size_t ruleCount() {
  return g_store.From.size();
}

const std::string& ruleFrom(size_t index) {
  return g_store.From.at(index);
}

const std::string& ruleTo(size_t index) {
  return g_store.To.at(index);
}

const std::string& ruleType(size_t index) {
  return g_store.Type.at(index);
}

int ruleTypeNumber(size_t index) {
  return readTypeNumber(ruleType(index));
}

void appendRule(const std::string& from, const std::string& to, int type) {
  g_store.From.push_back(from);
  g_store.To.push_back(to);
  g_store.Type.push_back(std::to_string(type));
}

void removeRule(size_t index) {
  if (index >= ruleCount()) return;
  const auto offset = static_cast<std::ptrdiff_t>(index);
  g_store.From.erase(g_store.From.begin() + offset);
  g_store.To.erase(g_store.To.begin() + offset);
  g_store.Type.erase(g_store.Type.begin() + offset);
}

int readTypeNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The magnitude stops growing one past INT_MAX, which is enough to tell
  // INT_MIN from an overflow and never overflows itself.
  const unsigned long long limit = static_cast<unsigned long long>(INT_MAX) + 1;
  unsigned long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + static_cast<unsigned long long>(text[i] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  if (negative) {
    return magnitude >= limit ? INT_MIN : -static_cast<int>(magnitude);
  }
  return magnitude > static_cast<unsigned long long>(INT_MAX) ? INT_MAX
                                                              : static_cast<int>(magnitude);
}
