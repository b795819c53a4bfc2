#include "regex/required_literals.h"

#include <pcre.h>

#include <cstring>
#include <exception>
#include <utility>

#include "regex/ascii_case.h"
#include "regex/match_facts.h"

namespace qmx {

namespace {

// Groups nested deeper are not modelled: the bound keeps the recursion
// shallow and the facts held at one time few (see the header).
constexpr int kMaxDepth = kMaxModelledNesting;
constexpr unsigned kMaxRepeat = 65535;
constexpr unsigned kUnbounded = kMaxRepeat + 1;

// Options that do not change which strings the constructs below match (only
// where a match may start or end, or which of several is preferred).
constexpr uint32_t kModelledOptions = PCRE_CASELESS | PCRE_MULTILINE | PCRE_DOTALL | PCRE_ANCHORED |
                                      PCRE_DOLLAR_ENDONLY | PCRE_EXTRA | PCRE_UNGREEDY |
                                      PCRE_NOTBOL | PCRE_NOTEOL | PCRE_NOTEMPTY;

// A class listing more bytes than this is taken as one unknown byte.
constexpr size_t kMaxClassMembers = 16;

// The highest group a modelled backreference ("\\1" to "\\9") names: the
// strings of later groups are never needed.
constexpr size_t kMaxBackreference = 9;

// Thrown, and caught at the top, on anything not modelled.
struct Unmodelled {};

bool isAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The byte a one-letter escape stands for, or 0 for none.
char escapedByte(char letter) {
  switch (letter) {
    case 't':
      return '\t';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 'f':
      return '\f';
    case 'e':
      return '\x1b';
    case 'a':
      return '\a';
    default:
      return 0;
  }
}

bool isClassEscape(char letter) {
  return std::strchr("dDwWsShHvV", letter) != nullptr;
}

// The bytes of a class escape whose members the built-in tables fix and
// few enough to list; empty for the others.
std::string classEscapeBytes(char letter) {
  switch (letter) {
    case 'd':
      return "0123456789";
    case 's':
      return "\t\n\v\f\r ";
    default:
      return std::string();
  }
}

Strings singleBytes(const std::string& bytes) {
  Strings strings;
  for (char c : bytes) strings.push_back(std::string(1, c));
  return strings;
}

class Parser {
 public:
  Parser(const char* text, bool caseless) : at_(text), caseless_(caseless) {}

  MatchFacts pattern() {
    MatchFacts facts = alternation(0);
    if (*at_ != '\0') throw Unmodelled();  // an unmatched ")"
    return facts;
  }

 private:
  MatchFacts alternation(int depth) {
    if (depth > kMaxDepth) throw Unmodelled();
    MatchFacts facts = sequence(depth);
    while (*at_ == '|') {
      ++at_;
      facts = eitherOf(facts, sequence(depth));
    }
    return facts;
  }

  MatchFacts sequence(int depth) {
    MatchFacts facts = matchesExactly({""});
    while (*at_ != '\0' && *at_ != '|' && *at_ != ')') {
      facts = followedBy(std::move(facts), quantified(depth));
    }
    return facts;
  }

  MatchFacts quantified(int depth) {
    MatchFacts facts = atom(depth);
    unsigned min = 0;
    unsigned max = 0;
    if (!quantifier(min, max)) return facts;
    // A lazy or possessive repeat matches the same strings.
    if (*at_ == '?' || *at_ == '+') ++at_;
    unsigned ignored = 0;
    if (quantifier(ignored, ignored)) throw Unmodelled();
    if (facts.zeroWidth) throw Unmodelled();
    return repeated(facts, min, max);
  }

  bool quantifier(unsigned& min, unsigned& max) {
    switch (*at_) {
      case '?':
        ++at_;
        min = 0;
        max = 1;
        return true;
      case '*':
        ++at_;
        min = 0;
        max = kUnbounded;
        return true;
      case '+':
        ++at_;
        min = 1;
        max = kUnbounded;
        return true;
      case '{':
        return counted(min, max);
      default:
        return false;
    }
  }

  // "{n}", "{n,}" or "{n,m}"; any other "{" is a literal to the engine and
  // not modelled here.
  bool counted(unsigned& min, unsigned& max) {
    const char* p = at_ + 1;
    if (!number(p, min)) throw Unmodelled();
    max = min;
    if (*p == ',') {
      ++p;
      max = kUnbounded;
      if (*p != '}' && (!number(p, max) || max < min)) throw Unmodelled();
    }
    if (*p != '}') throw Unmodelled();
    at_ = p + 1;
    return true;
  }

  static bool number(const char*& p, unsigned& value) {
    if (*p < '0' || *p > '9') return false;
    value = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<unsigned>(*p++ - '0');
      if (value > kMaxRepeat) throw Unmodelled();
    }
    return true;
  }

  MatchFacts atom(int depth) {
    const char c = *at_++;
    switch (c) {
      case '(':
        return group(depth);
      case '[':
        return characterClass();
      case '.':
        return matchesUnknown();
      case '^':
      case '$':
        return matchesAssertion();
      case '\\':
        return escape();
      case '*':
      case '+':
      case '?':
      case '{':
        throw Unmodelled();
      default:
        return literal(c);
    }
  }

  MatchFacts literal(char c) { return matchesExactly({std::string(1, fold(c))}); }

  char fold(char c) const { return caseless_ ? foldAsciiLetter(c) : c; }

  MatchFacts group(int depth) {
    // Plain, non-capturing and atomic groups; every other "(?" and "(*"
    // changes more than the strings matched.
    size_t number = 0;
    if (*at_ == '?') {
      if (at_[1] != ':' && at_[1] != '>') throw Unmodelled();
      at_ += 2;
    } else if (*at_ == '*') {
      throw Unmodelled();
    } else {
      // Capturing groups are numbered by their opening parentheses.
      number = ++groupsOpened_;
    }
    MatchFacts facts = alternation(depth + 1);
    if (*at_ != ')') throw Unmodelled();
    ++at_;
    if (number != 0 && number <= kMaxBackreference) {
      if (closedGroups_.size() <= number) closedGroups_.resize(number + 1);
      closedGroups_[number] = facts.exact.value_or(Strings());
    }
    return facts;
  }

  // A backreference matches what its group last matched: one of the
  // group's own strings, when those are known (an unset group makes it
  // fail). Otherwise anything, the empty string included.
  MatchFacts backreference(size_t number) {
    if (number < closedGroups_.size() && closedGroups_[number] && !closedGroups_[number]->empty()) {
      return matchesExactly(*closedGroups_[number]);
    }
    MatchFacts facts = matchesUnknown();
    facts.emptyable = true;
    return facts;
  }

  MatchFacts escape() {
    const char letter = *at_++;
    if (letter == '\0') throw Unmodelled();
    if (!isAlnum(letter)) return literal(letter);
    if (const char byte = escapedByte(letter)) return literal(byte);
    if (std::strchr("bBAzZ", letter)) return matchesAssertion();
    // "\1" to "\9" are always backreferences; with more digits the engine
    // may read an octal escape.
    if (letter >= '1' && letter <= '9' && !(*at_ >= '0' && *at_ <= '9')) {
      return backreference(static_cast<size_t>(letter - '0'));
    }
    if (letter == 'N' && *at_ == '{') throw Unmodelled();
    const std::string bytes = classEscapeBytes(letter);
    if (!bytes.empty()) return matchesExactly(singleBytes(bytes));
    if (isClassEscape(letter) || letter == 'R' || letter == 'N') return matchesUnknown();
    throw Unmodelled();
  }

  // A class of exactly known single bytes is an exact set; ranges, negation
  // and the other class escapes match one byte of unknown value.
  MatchFacts characterClass() {
    if (posixItem(at_)) throw Unmodelled();
    bool known = true;
    if (*at_ == '^') {
      known = false;
      ++at_;
    }
    std::string members;
    bool first = true;
    while (first || *at_ != ']') {
      const char c = *at_++;
      if (c == '\0') throw Unmodelled();
      if (c == '[' && posixItem(at_)) throw Unmodelled();
      if (c == '-' && !first && *at_ != ']') known = false;  // a range
      char member = c;
      if (c == '\\') {
        const char letter = *at_++;
        if (letter == '\0') throw Unmodelled();
        if (isClassEscape(letter)) {
          const std::string bytes = classEscapeBytes(letter);
          if (bytes.empty()) known = false;
          members += bytes;
          first = false;
          continue;
        }
        if (isAlnum(letter)) {
          // Inside a class "\b" is a backspace.
          member = letter == 'b' ? '\b' : escapedByte(letter);
          if (member == 0) throw Unmodelled();
        } else {
          member = letter;
        }
      }
      members += fold(member);
      first = false;
    }
    ++at_;
    if (!known) return matchesUnknown();
    MatchFacts facts = matchesExactly(singleBytes(members));
    return facts.exact->size() > kMaxClassMembers ? matchesUnknown() : facts;
  }

  // Whether a "[" followed by `p` opens a POSIX item such as "[:alpha:]" or
  // "[.x.]", which the engine reads (or refuses) as such; the same test as
  // the engine's, so that "[.,]" stays an ordinary class.
  static bool posixItem(const char* p) {
    const char terminator = *p;
    if (terminator != ':' && terminator != '.' && terminator != '=') return false;
    for (; *p != '\0'; ++p) {
      if (*p == '\\' && (p[1] == ']' || p[1] == '\\')) {
        ++p;
      } else if ((*p == '[' && p[1] == terminator) || *p == ']') {
        return false;
      } else if (*p == terminator && p[1] == ']') {
        return true;
      }
    }
    return false;
  }

  const char* at_;
  const bool caseless_;
  size_t groupsOpened_ = 0;
  // By number, the strings each capturing group that has closed matches:
  // an empty list when they are not known, unset while it is open.
  std::vector<std::optional<Strings>> closedGroups_;
};

}  // namespace

std::optional<std::vector<RequiredLiteral>> requiredLiterals(const std::string& expression,
                                                             uint32_t options) {
  if (options & ~kModelledOptions) return std::nullopt;
  const bool caseless = (options & PCRE_CASELESS) != 0;
  try {
    const MatchFacts facts = Parser(expression.c_str(), caseless).pattern();
    if (facts.emptyable) return std::nullopt;
    const std::optional<Strings> required = requiredStrings(facts);
    if (!required) return std::nullopt;
    std::vector<RequiredLiteral> literals;
    for (const std::string& bytes : *required) literals.push_back({bytes, caseless});
    return literals;
  } catch (const Unmodelled&) {
    return std::nullopt;
  } catch (const std::exception&) {
    // Out of memory, say: no literal is proven, and the rule simply runs.
    return std::nullopt;
  }
}

}  // namespace qmx
