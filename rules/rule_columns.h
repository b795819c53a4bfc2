// The rules as three aligned lists, and their stored form: one column text a
// list, each entry ended by kRuleSeparator. Pure functions over texts, so the
// tools outside the plug-in read stored rules exactly as it does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qmx {

// Type numbers of the two kinds of rule; any other number makes a rule that
// is kept and saved but never applied.
constexpr int kTypeWord = 0;
constexpr int kTypePerl = 1;

// Ends every entry of a stored column, the last one included.
constexpr char kRuleSeparator[] = "\r\n";

// A number no rule list has had before in this process.
uint64_t newRuleRevision();

// Rule i is (From[i], To[i], Type[i]); the list order is the order in which
// rules are applied and shown. The three lists are always of one length:
// everything that reads a rule indexes all three by the same number. Code
// that fills the lists by hand keeps them so; append and remove keep them so
// even when they fail.
struct RuleStore {
  std::vector<std::string> From;  // the text or pattern to find
  std::vector<std::string> To;    // the replacement text or template
  std::vector<std::string> Type;  // the type number as decimal text
  // Names these lists as they stand, for whatever is worked out from them
  // once and kept (the rule loop's filters): a new store takes a new
  // number, a copy keeps its original's, and code that changes the lists in
  // place gives the store a new one (newRuleRevision) before they are used
  // again.
  uint64_t revision = newRuleRevision();

  // True when the three lists are of one length.
  bool aligned() const { return To.size() == From.size() && Type.size() == From.size(); }
  // Adds a rule at the end and takes a new revision. When anything throws
  // (out of memory), the store is left exactly as it was.
  void append(std::string from, std::string to, std::string type);
  // Removes rule `index`; later rules move up by one. Never throws. An index
  // not below the number of rules changes nothing.
  void remove(size_t index);
};

// Cuts one stored column into its entries, in order. Each kRuleSeparator ends
// one entry; an entry may be empty (a separator at the start, or two in a
// row). Non-empty text after the last separator is one more entry. The empty
// text yields no entries.
std::vector<std::string> splitColumn(const std::string& text);

// The rules held by three stored column texts: From decides the number of
// rules, a short To or Type column is padded with "" and "0" (a rule without
// a stored type is a word rule), a longer one is cut.
RuleStore parseRuleColumns(const std::string& fromText, const std::string& toText,
                           const std::string& typeText);

// The stored text of one column: each entry made storable (a CR LF inside
// becomes a lone LF, repeatedly: "\r\r\n" becomes "\n") and followed by
// kRuleSeparator.
std::string joinColumn(const std::vector<std::string>& entries);

// Reads a Type text as the C library's atoi reads it in the C locale: optional
// white space (space, \t, \n, \v, \f, \r), an optional sign, then decimal
// digits up to the first other character. A text that does not begin that way
// (the empty text included) gives 0. Beyond the range of int the result
// saturates to INT_MIN or INT_MAX, so every build gives the same number.
int readTypeNumber(const std::string& text);

}  // namespace qmx
