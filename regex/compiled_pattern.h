// One expression compiled by PCRE, and what is known of it. Immutable once
// made: every fact is found when it is compiled (whether it can match the
// empty text on first being asked, as it costs a study of the pattern that
// most callers never need).
#pragma once

#include <pcre.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qmx {

class CompiledPattern {
 public:
  // Compiles `expression` (it ends at its first NUL byte, as PCRE reads it)
  // under the compile option bits `compileOptions`, with the built-in
  // character tables and step counting (see step_budget.h). A pattern PCRE
  // refuses is kept as a refusal, with PCRE's reason.
  CompiledPattern(std::string expression, uint32_t compileOptions);
  ~CompiledPattern();
  // Owns its compiled form: a copy would release it twice.
  CompiledPattern(const CompiledPattern&) = delete;
  CompiledPattern& operator=(const CompiledPattern&) = delete;

  // False when PCRE refused the pattern; errorText() and errorOffset() say
  // why, and no other fact is known.
  bool compiled() const { return code_ != nullptr; }
  const pcre* code() const { return code_; }
  // PCRE's static message for a refusal; null for a compiled pattern.
  const char* errorText() const { return errorText_; }
  // Byte offset in the expression where compilation failed; 0 when it did not.
  int errorOffset() const { return errorOffset_; }

  const std::string& expression() const { return expression_; }
  uint32_t compileOptions() const { return compileOptions_; }

  // The capturing groups the expression holds.
  int groupCount() const { return groupCount_; }
  // True when the expression may call a subroutine ((?R), (?1), (?&name),
  // \g...); errs towards yes, which only makes its steps count more.
  bool callsSubroutines() const { return callsSubroutines_; }
  // False only when every match, whatever the search options, consumes at
  // least one byte (a match whose start \K moved to its end consumed it).
  bool canMatchEmpty() const;
  // Bytes PCRE holds for the compiled form.
  size_t compiledBytes() const;

 private:
  std::string expression_;
  uint32_t compileOptions_;
  pcre* code_ = nullptr;
  const char* errorText_ = nullptr;
  int errorOffset_ = 0;
  int groupCount_ = 0;
  bool callsSubroutines_ = false;
  // Found on first being asked; a pattern is used by one thread at a time.
  mutable signed char canMatchEmpty_ = -1;
};

}  // namespace qmx
