// Fuzzes the substitution with hostile patterns, templates and subjects.
//
// Input: one byte choosing a small limit and how the pattern is read, then
// the pattern, a NUL byte, the template, a NUL byte and the subject (which
// may hold NUL bytes itself). Missing parts are empty. Half of the inputs
// spell the pattern as it stands; the other half build it from pieces of
// the engine's syntax, one byte choosing each piece, so that rare
// combinations (a keep-out inside a lookaround, a verb inside a repeat) come
// up in minutes rather than never. Besides crashes, leaks and hangs it checks what
// every caller relies on, whatever the pattern:
// - the work stays within the step budget of one substitution;
// - replacing every match by itself ("$&") gives the subject back, so no
//   match or group ever reaches outside the text or runs backwards;
// - replacing every match by nothing leaves bytes of the subject, in order;
// - the result is never longer than the subject plus one expansion of the
//   template per match;
// - a negative limit and a refused pattern both give the subject unchanged.
//
// Linked with replay_main.cpp it is a plain program that runs the files
// named on its command line through the same code, without libFuzzer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "regex/regex_replacer.h"
#include "tests/support/pcre_syntax.h"

using namespace qmx;

namespace {

// Rule texts and messages are short; longer inputs only slow the search down.
constexpr size_t kMaxInput = 4096;

std::string takePart(const uint8_t*& data, const uint8_t* end) {
  const uint8_t* start = data;
  while (data < end && *data != 0) ++data;
  std::string part(reinterpret_cast<const char*>(start), static_cast<size_t>(data - start));
  if (data < end) ++data;
  return part;
}

void check(bool holds, const char* promise) {
  if (holds) return;
  std::fputs(promise, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

constexpr char kLetters[] = "imsxADXBNUE8";

// The pattern text spelt from pieces: a delimiter, one piece per byte, the
// delimiter again, and the option letter `letter` chooses, if any.
std::string patternFromPieces(const std::string& choices, unsigned letter) {
  const std::vector<std::string>& pieces = qmxtest::pcreSyntaxPieces();
  std::string pattern = "/";
  for (unsigned char choice : choices) pattern += pieces[choice % pieces.size()];
  pattern += '/';
  if (letter + 1 < sizeof kLetters) pattern += kLetters[letter];
  return pattern;
}

bool isSubsequence(const std::string& part, const std::string& whole) {
  size_t at = 0;
  for (char c : part) {
    at = whole.find(c, at);
    if (at == std::string::npos) return false;
    ++at;
  }
  return true;
}

// The longest text one expansion of `replacementTemplate` can give when no
// group is longer than `subjectSize`.
size_t longestExpansion(const std::string& replacementTemplate, size_t subjectSize) {
  size_t longest = 0;
  for (size_t i = 0; i < replacementTemplate.size(); ++i) {
    const char next = i + 1 < replacementTemplate.size() ? replacementTemplate[i + 1] : 0;
    if (replacementTemplate[i] == '$' && ((next >= '0' && next <= '9') || next == '&')) {
      longest += subjectSize;
      ++i;
    } else {
      ++longest;
    }
  }
  return longest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const uint8_t* end = data + size;
  const int32_t smallLimit = 1 + data[0] % 4;
  const bool fromPieces = data[0] & 4;
  const unsigned letter = data[0] >> 3;  // 0 to 31; most choose none
  ++data;
  const std::string spelt = takePart(data, end);
  const std::string pattern = fromPieces ? patternFromPieces(spelt, letter) : spelt;
  const std::string replacement = takePart(data, end);
  const std::string subject(reinterpret_cast<const char*>(data), static_cast<size_t>(end - data));

  // One object for all calls, as a word rule uses it: the later calls come
  // through the cache.
  RegexReplacer replacer;
  const std::string all = replacer.substitute(pattern, replacement, subject, 0);
  check(replacer.stepsTaken() <=
            RegexReplacer::stepBudget(subject.size()) + RegexReplacer::largestStep(subject.size()),
        "substitution went on past its step budget");
  if (replacer.lastErrorText() != nullptr) check(all == subject, "refused pattern changed text");

  check(replacer.substitute(pattern, "$&", subject, 0) == subject,
        "replacing matches by themselves changed the text");
  // Matching does not depend on the template, so these find the same
  // matches: with a one-byte template the result grows by one per match.
  const std::string removed = replacer.substitute(pattern, "", subject, 0);
  check(isSubsequence(removed, subject), "removing matches left bytes not in the subject");
  const size_t matches = replacer.substitute(pattern, "#", subject, 0).size() - removed.size();
  check(all.size() <= subject.size() + matches * longestExpansion(replacement, subject.size()),
        "result longer than the subject and one expansion per match");

  replacer.substitute(pattern, replacement, subject, smallLimit);
  check(replacer.substitute(pattern, replacement, subject, -1) == subject,
        "negative limit changed text");
  return 0;
}
