// Fuzzes the substitution with hostile patterns, templates and subjects.
//
// Input: one byte choosing a small limit, then the pattern, a NUL byte, the
// template, a NUL byte and the subject (which may hold NUL bytes itself).
// Missing parts are empty. Besides crashes, leaks and hangs it checks two
// promises every caller relies on: a negative limit and a refused pattern
// both give back the subject unchanged.
//
// Linked with replay_main.cpp it is a plain program that runs the files
// named on its command line through the same code, without libFuzzer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "regex/regex_replacer.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const uint8_t* end = data + size;
  const int32_t smallLimit = 1 + data[0] % 4;
  ++data;
  const std::string pattern = takePart(data, end);
  const std::string replacement = takePart(data, end);
  const std::string subject(reinterpret_cast<const char*>(data), static_cast<size_t>(end - data));

  // One object for all calls, as a word rule uses it: the later calls come
  // through the cache.
  RegexReplacer replacer;
  const std::string all = replacer.substitute(pattern, replacement, subject, 0);
  if (replacer.lastErrorText() != nullptr) check(all == subject, "refused pattern changed text");
  replacer.substitute(pattern, replacement, subject, smallLimit);
  check(replacer.substitute(pattern, replacement, subject, -1) == subject,
        "negative limit changed text");
  return 0;
}
