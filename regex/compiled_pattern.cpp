#include "regex/compiled_pattern.h"

#include "regex/step_budget.h"

namespace qmx {

namespace {

// True when `expression` may call a subroutine. Errs on the side of yes: a
// false yes only makes that pattern's steps count more.
bool maySubroutineCall(const std::string& expression) {
  for (size_t at = expression.find("(?"); at != std::string::npos;
       at = expression.find("(?", at + 1)) {
    const char next = at + 2 < expression.size() ? expression[at + 2] : '\0';
    if (next == 'R' || next == '&' || next == '+' || next == '-' || next == 'P' ||
        (next >= '0' && next <= '9')) {
      return true;
    }
  }
  return expression.find("\\g") != std::string::npos;
}

}  // namespace

CompiledPattern::CompiledPattern(std::string expression, uint32_t compileOptions)
    : expression_(std::move(expression)), compileOptions_(compileOptions) {
  // Built-in character tables only: a locale's tables would make "i", \w
  // and \b treat the code page's national letters differently per machine.
  // Auto-possessification changes no match, but its pass over the compiled
  // pattern takes time that grows with the square of nested repeats
  // («(a{0,65535}){0,65535}»: five seconds for every message), so it is
  // left out along with what the step count needs.
  code_ =
      pcre_compile(expression_.c_str(), static_cast<int>(compileOptions_ | kStepCountingOptions),
                   &errorText_, &errorOffset_, nullptr);
  if (code_ && errorText_) {
    pcre_free(code_);
    code_ = nullptr;
  }
  if (!code_) return;
  errorText_ = nullptr;
  errorOffset_ = 0;
  pcre_fullinfo(code_, nullptr, PCRE_INFO_CAPTURECOUNT, &groupCount_);
  callsSubroutines_ = maySubroutineCall(expression_);
}

CompiledPattern::~CompiledPattern() {
  if (code_) pcre_free(code_);
}

bool CompiledPattern::canMatchEmpty() const {
  if (canMatchEmpty_ < 0) {
    // Studying gives the length every match consumes at least. It is a
    // lower bound, so 0 (which PCRE reports as none) covers every pattern
    // that can match nothing, and a length above 0 proves that none can.
    // The answer errs only towards yes, where PCRE gives up on a tighter
    // bound: (*ACCEPT), a recursion, a back reference into its own group, a
    // pattern too complex to study. Trying the pattern on sample texts
    // instead could never cover every context a lookaround or an anchor may
    // need.
    const char* error = nullptr;
    pcre_extra* study = code_ ? pcre_study(code_, 0, &error) : nullptr;
    int least = -1;
    if (study) pcre_fullinfo(code_, study, PCRE_INFO_MINLENGTH, &least);
    pcre_free_study(study);
    canMatchEmpty_ = least <= 0 ? 1 : 0;
  }
  return canMatchEmpty_ != 0;
}

size_t CompiledPattern::compiledBytes() const {
  size_t size = 0;
  if (code_ && pcre_fullinfo(code_, nullptr, PCRE_INFO_SIZE, &size) != 0) size = 0;
  return size;
}

}  // namespace qmx
