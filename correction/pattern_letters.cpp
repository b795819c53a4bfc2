#include "correction/pattern_letters.h"

#include <array>
#include <cstring>

#include "platform/case_fold_1250.h"

namespace qmx {

namespace {

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads one expression from left to right, as the engine does, keeping the
// options of each open group.
class ItemReader {
 public:
  ItemReader(const std::string& expression, bool caseless, bool extended)
      : text_(expression.c_str()), size_(std::strlen(text_)), now_{caseless, extended} {}

  std::vector<PatternItem> read() {
    while (at_ < size_) {
      const char c = text_[at_];
      if (now_.extended && std::strchr(" \t\n\r\f\v", c) != nullptr) {
        ++at_;
      } else if (now_.extended && c == '#') {
        skipPast('\n');
      } else if (c == '\\') {
        escape(false);
      } else if (c == '[') {
        characterClass();
      } else if (c == '(') {
        group();
      } else if (c == ')') {
        if (!open_.empty()) {
          now_ = open_.back();
          open_.pop_back();
        }
        other(at_++);
      } else if (c == '*' || c == '+' || c == '?') {
        quantifier(at_ + 1);
      } else if (c == '{' && countedRepeatEnd() != 0) {
        quantifier(countedRepeatEnd());
      } else {
        literal(c, at_++, false);
      }
    }
    return std::move(items_);
  }

 private:
  struct Options {
    bool caseless;
    bool extended;
  };

  char peek(size_t offset) const { return at_ + offset < size_ ? text_[at_ + offset] : '\0'; }

  // Moves past the next `end` (or to the end of the text).
  void skipPast(char end) {
    const char* found = static_cast<const char*>(std::memchr(text_ + at_, end, size_ - at_));
    at_ = found ? static_cast<size_t>(found - text_) + 1 : size_;
  }

  void add(PatternItem::Kind kind, char byte, size_t at, bool inClass) {
    items_.push_back({kind, byte, at, now_.caseless, inClass});
  }
  void other(size_t at) { add(PatternItem::kOther, '\0', at, false); }

  // A byte that stands for itself; in a class only its letters are told.
  void literal(char c, size_t at, bool inClass) {
    if (isAsciiLetter(c) || isNationalLetter(c)) {
      add(PatternItem::kLetter, c, at, inClass);
    } else if (!inClass) {
      other(at);
    }
  }

  // `end` is where the repeat's own text ends; a lazy or possessive mark
  // belongs to it.
  void quantifier(size_t end) {
    add(PatternItem::kQuantifier, text_[at_], at_, false);
    at_ = end;
    if (peek(0) == '?' || peek(0) == '+') ++at_;
  }

  // The end of the {n}, {n,} or {n,m} at at_, or 0 when "{" stands for itself.
  size_t countedRepeatEnd() const {
    size_t i = at_ + 1;
    const size_t digits = i;
    while (i < size_ && isDigit(text_[i])) ++i;
    if (i == digits) return 0;
    if (i < size_ && text_[i] == ',') {
      ++i;
      while (i < size_ && isDigit(text_[i])) ++i;
    }
    return i < size_ && text_[i] == '}' ? i + 1 : 0;
  }

  void escape(bool inClass) {
    const size_t start = at_;
    const char letter = peek(1);
    at_ += 2;
    if (letter == '\0') {
      at_ = size_;
    } else if (!isAsciiLetter(letter) && !isDigit(letter)) {
      literal(letter, start + 1, inClass);
    } else if (letter == 'Q') {
      quoted(inClass);
    } else if (letter == 'E') {
      // An \E with no \Q before it is nothing.
    } else if (std::strchr("bBwW", letter) != nullptr) {
      // In a class \b is a backspace and \w a set of its own members.
      if (!inClass) add(PatternItem::kWordEscape, letter, start, false);
    } else {
      // The argument of \x{...}, \p{...}, \g{...}, \k<...>, \cX... is no letter
      // of the text.
      if (letter == 'c') {
        ++at_;
      } else if (letter == 'x' && peek(0) != '{') {
        for (int i = 0; i < 2 && std::strchr("0123456789abcdefABCDEF", peek(0)) && peek(0); ++i) {
          ++at_;
        }
      } else if ((letter == 'p' || letter == 'P') && peek(0) != '{') {
        ++at_;
      } else if (letter == 'k' && (peek(0) == '<' || peek(0) == '\'')) {
        skipPast(peek(0) == '<' ? '>' : '\'');
      } else if (std::strchr("xpPgkoN", letter) != nullptr && peek(0) == '{') {
        skipPast('}');
      }
      if (!inClass) other(start);
    }
  }

  // \Q up to \E: every byte stands for itself.
  void quoted(bool inClass) {
    while (at_ < size_ && !(text_[at_] == '\\' && peek(1) == 'E')) {
      literal(text_[at_], at_, inClass);
      ++at_;
    }
    if (at_ < size_) at_ += 2;
  }

  void characterClass() {
    other(at_);
    ++at_;
    if (peek(0) == '^') ++at_;
    if (peek(0) == ']') literal(']', at_++, true);  // a "]" first is a member
    while (at_ < size_) {
      const char c = text_[at_];
      if (c == ']') {
        ++at_;
        return;
      }
      if (c == '[' && std::strchr(":.=", peek(1)) != nullptr && peek(1) != '\0') {
        // [:alpha:] and its kin: a name, not members.
        const char kind = peek(1);
        at_ += 2;
        while (at_ < size_ && !(text_[at_] == kind && peek(1) == ']')) ++at_;
        at_ = std::min(at_ + 2, size_);
      } else if (c == '\\') {
        escape(true);
      } else {
        literal(c, at_++, true);
      }
    }
  }

  // Option letters of (?i), (?-x:...) and the like; true when at_ stood on
  // one, which then applies.
  bool optionSetting() {
    size_t i = at_ + 2;
    while (i < size_ && std::strchr("imsxJUX-", text_[i]) != nullptr) ++i;
    if (i >= size_ || (text_[i] != ')' && text_[i] != ':')) return false;
    Options set = now_;
    bool on = true;
    for (size_t j = at_ + 2; j < i; ++j) {
      if (text_[j] == '-') on = false;
      if (text_[j] == 'i') set.caseless = on;
      if (text_[j] == 'x') set.extended = on;
    }
    if (text_[i] == ':') open_.push_back(now_);
    // A setting alone lasts to the end of the group it stands in.
    now_ = set;
    at_ = i + 1;
    return true;
  }

  void group() {
    other(at_);
    const char second = peek(1);
    const char third = peek(2);
    if (second == '*') {
      skipPast(')');  // a verb
      return;
    }
    if (second != '?') {
      open_.push_back(now_);
      ++at_;
      return;
    }
    if (third == '#') {
      skipPast(')');  // a comment
      return;
    }
    if (optionSetting()) return;
    const bool named = (third == '<' && peek(3) != '=' && peek(3) != '!') || third == '\'' ||
                       (third == 'P' && peek(3) == '<');
    const bool call = third == '&' || third == 'R' || isDigit(third) || third == '+' ||
                      third == '-' || (third == 'P' && (peek(3) == '=' || peek(3) == '>'));
    if (call) {
      skipPast(')');  // a subroutine call or a reference, no group
      return;
    }
    open_.push_back(now_);
    if (named) {
      skipPast(third == '\'' ? '\'' : '>');
    } else if (third == '(') {
      // A condition: an assertion is read as a group of its own, a
      // reference or a name is passed over.
      at_ += 2;
      if (peek(1) != '?') skipPast(')');
    } else {
      at_ += third == '<' ? 4 : 3;  // (?: (?> (?= (?! (?| (?<= (?<!
    }
  }

  const char* text_;
  size_t size_;
  size_t at_ = 0;
  Options now_;
  std::vector<Options> open_;
  std::vector<PatternItem> items_;
};

}  // namespace

bool isNationalLetter(char c) {
  static const std::array<bool, 256> letters = [] {
    std::array<bool, 256> table{};
    for (unsigned b = 0x80; b < 256; ++b) {
      const auto byte = static_cast<unsigned char>(b);
      table[b] = standin::otherCase1250(byte) != byte || byte == 0xDF;
    }
    return table;
  }();
  return letters[static_cast<unsigned char>(c)];
}

std::vector<PatternItem> patternItems(const std::string& expression, bool caseless, bool extended) {
  return ItemReader(expression, caseless, extended).read();
}

}  // namespace qmx
