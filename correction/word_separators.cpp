#include "correction/word_separators.h"

namespace qmx {

// Declared extern in the header, so it keeps external linkage.
constexpr char kWordSeparatorGroup[] = "([.,!?-]+| |\r|\n)";

namespace {

// The group's class holds exactly the run bytes, and its other branches
// exactly the single ones, so the roads without the pattern engine split
// words where the patterns do.
constexpr bool groupAgreesWithByteTests() {
  int runBytes = 0;
  int singleBytes = 0;
  size_t i = 2;  // behind "(["
  for (; kWordSeparatorGroup[i] != ']'; ++i) {
    if (!isRunSeparator(kWordSeparatorGroup[i])) return false;
    ++runBytes;
  }
  // "]+" then "|x" for each single separator, then ")".
  for (i += 2; kWordSeparatorGroup[i] == '|'; i += 2) {
    if (!isSingleSeparator(kWordSeparatorGroup[i + 1])) return false;
    ++singleBytes;
  }
  int runTotal = 0;
  int singleTotal = 0;
  for (int c = -128; c < 128; ++c) {
    runTotal += isRunSeparator(static_cast<char>(c)) ? 1 : 0;
    singleTotal += isSingleSeparator(static_cast<char>(c)) ? 1 : 0;
  }
  return kWordSeparatorGroup[i] == ')' && kWordSeparatorGroup[i + 1] == '\0' &&
         runBytes == runTotal && singleBytes == singleTotal;
}

static_assert(groupAgreesWithByteTests(), "the separator group and the byte tests disagree");

}  // namespace

size_t nextSeparatorStart(const std::string& text, size_t from) {
  for (size_t at = from; at < text.size(); ++at) {
    const char c = text[at];
    if (isSingleSeparator(c)) return at;
    if (isRunSeparator(c) && (at == 0 || !isRunSeparator(text[at - 1]))) return at;
  }
  return std::string::npos;
}

}  // namespace qmx
