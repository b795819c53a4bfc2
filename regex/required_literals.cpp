#include "regex/required_literals.h"

#include <pcre.h>

#include <algorithm>
#include <cstring>

namespace qmx {

namespace {

using Strings = std::vector<std::string>;

// Sets of strings stay small: past these sizes a set is dropped, which only
// loses precision.
constexpr size_t kMaxExactStrings = 16;
constexpr size_t kMaxAlternatives = 64;
// PCRE refuses deeper nesting itself; the bound keeps recursion shallow.
constexpr int kMaxDepth = 250;
constexpr unsigned kMaxRepeat = 65535;
constexpr unsigned kUnbounded = kMaxRepeat + 1;

// Options that do not change which strings the constructs below match (only
// where a match may start or end, or which of several is preferred).
constexpr uint32_t kModelledOptions = PCRE_CASELESS | PCRE_MULTILINE | PCRE_DOTALL | PCRE_ANCHORED |
                                      PCRE_DOLLAR_ENDONLY | PCRE_EXTRA | PCRE_UNGREEDY |
                                      PCRE_NOTBOL | PCRE_NOTEOL | PCRE_NOTEMPTY;

// Thrown, and caught at the top, on anything not modelled.
struct Unmodelled {};

// What is known of the strings a piece of pattern matches.
struct Info {
  bool emptyable = false;
  // Every match is exactly one of these ("" included when it can be empty).
  std::optional<Strings> exact;
  // Every match contains one of these (none of them empty).
  std::optional<Strings> required;
  // An assertion: quantifying it is not modelled.
  bool zeroWidth = false;
};

Info exactly(Strings strings) {
  Info info;
  info.emptyable = std::find(strings.begin(), strings.end(), "") != strings.end();
  info.exact = std::move(strings);
  return info;
}

Info assertion() {
  Info info = exactly({""});
  info.zeroWidth = true;
  return info;
}

// One byte of unknown value, or more (classes, ".", \d, \R...).
Info consumesSomething() {
  return Info();
}

void normalise(Strings& strings) {
  std::sort(strings.begin(), strings.end());
  strings.erase(std::unique(strings.begin(), strings.end()), strings.end());
}

size_t shortest(const Strings& strings) {
  size_t length = SIZE_MAX;
  for (const std::string& s : strings) length = std::min(length, s.size());
  return length;
}

// The more selective of two valid sets: the longer shortest string, then
// fewer strings.
const std::optional<Strings>& better(const std::optional<Strings>& a,
                                     const std::optional<Strings>& b) {
  if (!a) return b;
  if (!b) return a;
  const size_t la = shortest(*a);
  const size_t lb = shortest(*b);
  if (la != lb) return la > lb ? a : b;
  return a->size() <= b->size() ? a : b;
}

std::optional<Strings> asRequired(const std::optional<Strings>& exact) {
  if (!exact || exact->empty() || shortest(*exact) == 0) return std::nullopt;
  return exact;
}

std::optional<Strings> requiredOf(const Info& info) {
  return better(asRequired(info.exact), info.required);
}

std::optional<Strings> unite(const std::optional<Strings>& a, const std::optional<Strings>& b,
                             size_t limit) {
  if (!a || !b) return std::nullopt;
  Strings all = *a;
  all.insert(all.end(), b->begin(), b->end());
  normalise(all);
  if (all.size() > limit) return std::nullopt;
  return all;
}

Info alternative(const Info& a, const Info& b) {
  Info info;
  info.emptyable = a.emptyable || b.emptyable;
  info.exact = unite(a.exact, b.exact, kMaxExactStrings);
  info.required = unite(requiredOf(a), requiredOf(b), kMaxAlternatives);
  return info;
}

Info repeated(const Info& atom, unsigned min, unsigned max) {
  if (atom.zeroWidth) throw Unmodelled();
  if (max == 0) return exactly({""});
  if (min == 0) {
    Info info;
    info.emptyable = true;
    if (max == 1 && atom.exact) {
      Strings strings = *atom.exact;
      strings.push_back("");
      normalise(strings);
      info.exact = std::move(strings);
    }
    return info;
  }
  Info info;
  info.emptyable = atom.emptyable;
  if (min == 1 && max == 1) info.exact = atom.exact;
  info.required = requiredOf(atom);
  return info;
}

// A sequence of pieces: runs of pieces whose strings are known exactly are
// joined into longer strings; every piece must match, so any one run or
// piece's own required set is required of the whole.
class Sequence {
 public:
  void append(const Info& piece) {
    emptyable_ = emptyable_ && piece.emptyable;
    if (piece.exact && join(*piece.exact)) return;
    flushRun();
    if (piece.exact) {
      run_ = *piece.exact;
    } else {
      allExact_ = false;
      best_ = better(best_, piece.required);
    }
  }

  Info finish() {
    Info info;
    info.emptyable = emptyable_;
    if (allExact_) info.exact = run_;
    flushRun();
    info.required = best_;
    return info;
  }

 private:
  // Joins `next` to the run; false when the run would grow too large.
  bool join(const Strings& next) {
    if (next.size() == 1) {
      // In place: a long literal grows byte by byte.
      for (std::string& s : run_) s += next[0];
      tail_ += next[0];
      return true;
    }
    if (run_.size() * next.size() > kMaxExactStrings) return false;
    flushTail();
    Strings joined;
    for (const std::string& a : run_) {
      for (const std::string& b : next) joined.push_back(a + b);
    }
    normalise(joined);
    run_ = std::move(joined);
    return true;
  }

  // The single string joined since the run last branched is required too,
  // and may be more selective than the run ("( ?)zl": "zl", not " zl"|"zl").
  void flushTail() {
    if (!tail_.empty()) best_ = better(best_, Strings{tail_});
    tail_.clear();
  }

  void flushRun() {
    flushTail();
    best_ = better(best_, asRequired(run_));
    allExact_ = false;
    run_ = {""};
  }

  Strings run_ = {""};
  std::string tail_;
  bool allExact_ = true;
  bool emptyable_ = true;
  std::optional<Strings> best_;
};

bool isAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char foldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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

class Parser {
 public:
  Parser(const char* text, bool caseless) : at_(text), caseless_(caseless) {}

  Info pattern() {
    Info info = alternation(0);
    if (*at_ != '\0') throw Unmodelled();  // an unmatched ")"
    return info;
  }

 private:
  Info alternation(int depth) {
    if (depth > kMaxDepth) throw Unmodelled();
    Info info = sequence(depth);
    while (*at_ == '|') {
      ++at_;
      info = alternative(info, sequence(depth));
    }
    return info;
  }

  Info sequence(int depth) {
    Sequence pieces;
    while (*at_ != '\0' && *at_ != '|' && *at_ != ')') pieces.append(quantified(depth));
    return pieces.finish();
  }

  Info quantified(int depth) {
    Info info = atom(depth);
    unsigned min = 0;
    unsigned max = 0;
    if (!quantifier(min, max)) return info;
    // A lazy or possessive repeat matches the same strings.
    if (*at_ == '?' || *at_ == '+') ++at_;
    unsigned ignored = 0;
    if (quantifier(ignored, ignored)) throw Unmodelled();
    return repeated(info, min, max);
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

  Info atom(int depth) {
    const char c = *at_++;
    switch (c) {
      case '(':
        return group(depth);
      case '[':
        return characterClass();
      case '.':
        return consumesSomething();
      case '^':
      case '$':
        return assertion();
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

  Info literal(char c) { return exactly({std::string(1, caseless_ ? foldAscii(c) : c)}); }

  Info group(int depth) {
    // Plain, non-capturing and atomic groups; every other "(?" and "(*"
    // changes more than the strings matched.
    if (*at_ == '?') {
      if (at_[1] != ':' && at_[1] != '>') throw Unmodelled();
      at_ += 2;
    } else if (*at_ == '*') {
      throw Unmodelled();
    }
    Info info = alternation(depth + 1);
    if (*at_ != ')') throw Unmodelled();
    ++at_;
    return info;
  }

  Info escape() {
    const char letter = *at_++;
    if (letter == '\0') throw Unmodelled();
    if (!isAlnum(letter)) return literal(letter);
    if (const char byte = escapedByte(letter)) return literal(byte);
    if (std::strchr("bBAzZ", letter)) return assertion();
    if (letter == 'N' && *at_ == '{') throw Unmodelled();
    if (isClassEscape(letter) || letter == 'R' || letter == 'N') return consumesSomething();
    throw Unmodelled();
  }

  // A class of exactly known single bytes is an exact set; ranges, negation
  // and class escapes match one byte of unknown value.
  Info characterClass() {
    if (posixItem(at_)) throw Unmodelled();
    bool known = true;
    if (*at_ == '^') {
      known = false;
      ++at_;
    }
    Strings members;
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
          known = false;
        } else if (isAlnum(letter)) {
          // Inside a class "\b" is a backspace.
          member = letter == 'b' ? '\b' : escapedByte(letter);
          if (member == 0) throw Unmodelled();
        } else {
          member = letter;
        }
      }
      members.push_back(std::string(1, caseless_ ? foldAscii(member) : member));
      first = false;
    }
    ++at_;
    normalise(members);
    if (!known || members.size() > kMaxExactStrings) return consumesSomething();
    return exactly(members);
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
};

}  // namespace

std::optional<std::vector<RequiredLiteral>> requiredLiterals(const std::string& expression,
                                                             uint32_t options) {
  if (options & ~kModelledOptions) return std::nullopt;
  const bool caseless = (options & PCRE_CASELESS) != 0;
  Info info;
  try {
    info = Parser(expression.c_str(), caseless).pattern();
  } catch (const Unmodelled&) {
    return std::nullopt;
  }
  if (info.emptyable) return std::nullopt;
  const std::optional<Strings> required = requiredOf(info);
  if (!required) return std::nullopt;
  std::vector<RequiredLiteral> literals;
  for (const std::string& bytes : *required) literals.push_back({bytes, caseless});
  return literals;
}

}  // namespace qmx
