// Rule lists as files a person or another tool reads and writes: one rule
// a line as tab-separated text, or a JSON array. Texts are UTF-8 here; the
// commands convert them to and from the plug-in's encoding.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace qmxhost {

// A file of rules that cannot be read; what() names the place.
class TransferError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TransferredRule {
  std::string from;  // UTF-8
  std::string to;    // UTF-8
  // "word", "perl", or the number of a type the plug-in keeps but never
  // applies, so that such a rule survives an export and an import.
  std::string type;
  std::string place;  // where it was read: "line 3", "entry 3"
};

// One rule a line: From, To and type, separated by tabs, each line ended
// by a line feed. A tab, line feed, carriage return or backslash inside a
// text is written \t, \n, \r, \\.
std::string writeTsv(const std::vector<TransferredRule>& rules);
// Reads what writeTsv writes; also a line of From and To alone (a word
// rule), a CR LF line end, and blank lines, which are passed over. Throws
// TransferError naming the line for anything else.
std::vector<TransferredRule> readTsv(const std::string& text);

// An array of {"from", "to", "type"} objects.
std::string writeJson(const std::vector<TransferredRule>& rules);
// Reads what writeJson writes; "type" may be left out (a word rule).
// Throws TransferError naming the entry, for an unknown key too.
std::vector<TransferredRule> readJson(const std::string& text);

}  // namespace qmxhost
