#include "rules/rule_columns.h"

#include <atomic>
#include <cassert>
#include <climits>
#include <utility>

namespace qmx {

uint64_t newRuleRevision() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

namespace {

constexpr size_t kSeparatorLength = sizeof kRuleSeparator - 1;

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

// The C locale's white space, spelt out: std::isspace depends on the current
// locale and is undefined for the negative chars of Polish letters.
bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Makes room for one more entry, growing as push_back would, so that the
// push_back after it cannot throw.
void reserveOneMore(std::vector<std::string>& list) {
  if (list.size() < list.capacity()) return;
  list.reserve(list.empty() ? 1 : 2 * list.size());
}

}  // namespace

// Every change of a store ends with assert(aligned()): a list one entry short
// would silently give each later rule its neighbour's replacement or type,
// and the readers index the three lists without checking each other. Debug
// builds stop at the change that broke it instead of at a wrong correction
// later.

void RuleStore::append(std::string from, std::string to, std::string type) {
  // Every step that can throw comes first: the texts were copied by the
  // caller, and a reserve that fails leaves its list as it was. After them
  // nothing can throw (a push_back into reserved room moves a string), so
  // the three lists grow together or not at all.
  reserveOneMore(From);
  reserveOneMore(To);
  reserveOneMore(Type);
  From.push_back(std::move(from));
  To.push_back(std::move(to));
  Type.push_back(std::move(type));
  revision = newRuleRevision();
  assert(aligned());
}

void RuleStore::remove(size_t index) {
  if (index >= From.size()) return;
  // Erasing moves the later strings up, which cannot throw, so the three
  // erases all happen.
  const auto offset = static_cast<std::ptrdiff_t>(index);
  From.erase(From.begin() + offset);
  To.erase(To.begin() + offset);
  Type.erase(Type.begin() + offset);
  revision = newRuleRevision();
  assert(aligned());
}

std::vector<std::string> splitColumn(const std::string& text) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (;;) {
    const size_t separator = text.find(kRuleSeparator, start);
    if (separator == std::string::npos) break;
    entries.push_back(text.substr(start, separator - start));
    start = separator + kSeparatorLength;
  }
  // A last entry whose separator was lost by hand-editing still counts; an
  // empty tail is no entry, so the stored form never gains a rule at load.
  if (start < text.size()) entries.push_back(text.substr(start));
  return entries;
}

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
  assert(store.aligned());
  return store;
}

std::string joinColumn(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    text += storableEntry(entry);
    text += kRuleSeparator;
  }
  return text;
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

}  // namespace qmx
