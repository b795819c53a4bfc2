#include "correction/rule_check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "correction/pattern_letters.h"
#include "correction/rule_application.h"
#include "correction/word_road.h"
#include "platform/case_fold_1250.h"
#include "regex/regex_replacer.h"

namespace qmx {

namespace {

using Findings = std::vector<RuleFinding>;

void add(Findings& findings, FindingKind kind, size_t rule, int pass, std::string reason,
         int offset = -1) {
  findings.push_back({kind, rule, pass, std::move(reason), offset});
}

// What the pattern library makes of one pattern, as the plug-in compiles it.
struct Compiled {
  std::string expression;
  uint32_t options = 0;
  bool refused = false;
  std::string error;
  int offset = -1;  // in the expression
  int groups = 0;
  bool mayMatchEmpty = false;
};

Compiled compile(const std::string& pattern) {
  RegexReplacer replacer;
  replacer.setPattern(pattern);
  Compiled compiled;
  compiled.expression = replacer.expression();
  compiled.options = replacer.options();
  if (!replacer.prepare()) {
    const char* error = replacer.lastErrorText();
    compiled.refused = true;
    compiled.error = error ? error : "refused";
    compiled.offset = replacer.lastErrorOffset();
    return compiled;
  }
  compiled.groups = replacer.groupCount();
  compiled.mayMatchEmpty = replacer.mayMatchEmpty();
  return compiled;
}

void checkGroupCount(size_t rule, int pass, int groups, Findings& findings) {
  if (groups > RegexReplacer::kReportedGroups) {
    add(findings, FindingKind::kTooManyGroups, rule, pass,
        std::to_string(groups) + " groups; a match using group " +
            std::to_string(RegexReplacer::kReportedGroups + 1) + " or above ends the rule");
  }
}

// Where each copy of From starts in the expression of word-rule pass
// `pass`, read from the pattern itself so that it follows any change of
// the pattern's shape: a NUL byte stands nowhere else in it.
std::vector<size_t> fromStarts(int pass, size_t fromSize, bool caseSensitive) {
  const std::string marked = wordRulePattern(pass, std::string(1, '\0'), caseSensitive);
  std::vector<size_t> starts;
  for (size_t at = marked.find('\0'); at != std::string::npos; at = marked.find('\0', at + 1)) {
    // The expression begins after the delimiter; each copy before this one
    // is fromSize bytes long instead of one.
    starts.push_back(at - 1 + starts.size() * (fromSize - 1));
  }
  return starts;
}

// A word rule's refused pattern as the user can find it: the offset in
// From, or where outside it the library stopped.
RuleFinding placedInFrom(size_t rule, int pass, const Compiled& compiled, const std::string& from,
                         bool caseSensitive) {
  const std::vector<size_t> starts = fromStarts(pass, from.size(), caseSensitive);
  const auto offset = static_cast<size_t>(compiled.offset);
  for (size_t start : starts) {
    if (offset >= start && offset <= start + from.size()) {
      return {FindingKind::kPatternRefused, rule, pass, compiled.error,
              static_cast<int>(offset - start)};
    }
  }
  const char* place = !starts.empty() && offset < starts[0] ? "before" : "after";
  return {FindingKind::kPatternRefused, rule, pass,
          compiled.error + ", found " + place + " From in the pattern a word rule builds around it",
          -1};
}

// The texts, each in double quotes, one space apart.
std::string quoted(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts) out += (out.empty() ? "\"" : " \"") + text + "\"";
  return out;
}

void addOnce(std::vector<std::string>& texts, std::string text) {
  for (const std::string& held : texts) {
    if (held == text) return;
  }
  texts.push_back(std::move(text));
}

// The pattern characters `from` holds outside an escape, each once: a
// character after a backslash was escaped on purpose.
std::vector<std::string> unescapedPatternCharacters(const std::string& from) {
  const std::string_view special = kPatternCharacters;
  std::vector<std::string> found;
  for (size_t i = 0; i < from.size(); ++i) {
    if (from[i] == '\\' && i + 1 < from.size()) {
      ++i;
    } else if (special.find(from[i]) != std::string_view::npos) {
      addOnce(found, std::string(1, from[i]));
    }
  }
  return found;
}

// The group references of template `to`, read as the template is expanded.
std::vector<std::string> templateReferences(const std::string& to) {
  std::vector<std::string> found;
  for (size_t i = 0; i + 1 < to.size(); ++i) {
    const char next = to[i + 1];
    if (to[i] == '$' && ((next >= '0' && next <= '9') || next == '&')) {
      addOnce(found, to.substr(i, 2));
      ++i;
    }
  }
  return found;
}

// Texts quoted as the messages show samples of a message.
std::string sample(const std::string& text) {
  return "\xab" + text + "\xbb";
}

char otherCase(char c) {
  return static_cast<char>(standin::otherCase1250(static_cast<unsigned char>(c)));
}

bool holdsPatternCharacters(const std::string& text) {
  return text.find_first_of(kPatternCharacters) != std::string::npos;
}

// A sample this short reads at a glance; a longer pattern is shown by its
// letter alone.
constexpr size_t kLongestSample = 40;

// A letter outside A-Z, matched where case is ignored, whose other case
// the pattern does not also list: the pattern engine folds A-Z alone.
// `expression` is a word rule's From or a Perl rule's expression; of a word
// rule only the first letter is judged, the one a capital at the start of
// a sentence changes: capitals inside a word are rare in a chat.
void checkIgnoredCase(size_t rule, const std::string& expression,
                      const std::vector<PatternItem>& items, bool firstLetterOnly,
                      Findings& findings) {
  bool listed[256] = {};
  for (const PatternItem& item : items) {
    if (item.kind == PatternItem::kLetter) listed[static_cast<unsigned char>(item.byte)] = true;
  }
  for (const PatternItem& item : items) {
    if (item.kind != PatternItem::kLetter) continue;
    const char other = otherCase(item.byte);
    if (item.caseless && isNationalLetter(item.byte) && other != item.byte &&
        !listed[static_cast<unsigned char>(other)]) {
      std::string unmatched(1, other);
      std::string pattern(1, item.byte);
      if (!holdsPatternCharacters(expression) && expression.size() <= kLongestSample) {
        pattern = expression;
        unmatched = expression;
        if (firstLetterOnly) {
          unmatched[item.at] = other;
        } else {
          // The whole text in the case the letter lacks.
          const bool toUpper = standin::foldCase1250(static_cast<unsigned char>(item.byte)) ==
                               static_cast<unsigned char>(item.byte);
          for (char& c : unmatched) {
            const auto byte = static_cast<unsigned char>(c);
            const bool isLower = standin::foldCase1250(byte) == byte;
            if (isLower == toUpper) c = otherCase(c);
          }
        }
      }
      add(findings, FindingKind::kCaseNotIgnored, rule, kWholeRule,
          "case is ignored only for A\x96Z: " + sample(unmatched) + " is not matched by " +
              sample(pattern));
      return;
    }
    if (firstLetterOnly) return;
  }
}

// \b, \B, \w or \W beside a letter outside A-Z, which the pattern engine
// takes for a non-word character, as it takes a space. Repeats between
// them change nothing; a class is no letter of its own.
void checkWordCharacters(size_t rule, const std::vector<PatternItem>& items, Findings& findings) {
  std::vector<const PatternItem*> row;
  for (const PatternItem& item : items) {
    if (!item.inClass && item.kind != PatternItem::kQuantifier) row.push_back(&item);
  }
  std::vector<std::string> escapes;
  char letter = '\0';
  for (size_t i = 0; i < row.size(); ++i) {
    if (row[i]->kind != PatternItem::kWordEscape) continue;
    for (const PatternItem* side :
         {i > 0 ? row[i - 1] : nullptr, i + 1 < row.size() ? row[i + 1] : nullptr}) {
      if (side && side->kind == PatternItem::kLetter && isNationalLetter(side->byte)) {
        addOnce(escapes, std::string("\\") + row[i]->byte);
        if (letter == '\0') letter = side->byte;
      }
    }
  }
  if (escapes.empty()) return;
  add(findings, FindingKind::kNotWordCharacter, rule, kWholeRule,
      sample(std::string(1, letter)) +
          " is not a word character here (only A\x96Z, a\x96z, 0\x96"
          "9 and _ are): beside it " +
          quoted(escapes) +
          (escapes.size() == 1 ? " treats it as it treats" : " treat it as they treat") +
          " a space");
}

// The delimiters a Perl pattern is usually written between: a word From
// starting with one of them and written as a pattern was most likely
// meant as a Perl rule.
constexpr char kUsualDelimiters[] = "/#~|@%";
constexpr char kOptionLetters[] = "imsxADXBNUE8g";

bool looksLikePerlPattern(const std::string& from) {
  if (from.size() < 3 || std::strchr(kUsualDelimiters, from[0]) == nullptr || from[0] == '\0') {
    return false;
  }
  const size_t close = from.rfind(from[0]);
  return close >= 2 && from.find_first_not_of(kOptionLetters, close + 1) == std::string::npos;
}

void checkWordRule(size_t rule, const std::string& from, const std::string& to, bool caseSensitive,
                   Findings& findings) {
  if (from.empty()) {
    add(findings, FindingKind::kEmptyFrom, rule, kWholeRule,
        "empty From: To goes in between separators that meet, before a leading one, after a "
        "trailing one, and into an empty message");
  }
  if (looksLikePerlPattern(from)) {
    add(findings, FindingKind::kPerlLookingWord, rule, kWholeRule,
        "this is a word rule, which matches the \"" + from.substr(0, 1) +
            "\" as text; did you mean type perl?");
  }
  // A plain literal runs without the pattern engine (applyWordRule), so no
  // limit of the engine's applies to it.
  if (!isPlainLiteral(from)) {
    const std::vector<std::string> special = unescapedPatternCharacters(from);
    if (!special.empty()) {
      add(findings, FindingKind::kWordWithPatternCharacters, rule, kWholeRule,
          "From holds pattern characters " + quoted(special) +
              ": a word rule's From is a pattern (a backslash before one makes it plain)");
    }
    Findings passFindings;
    for (int pass = 0; pass < kWordRulePasses; ++pass) {
      const Compiled compiled = compile(wordRulePattern(pass, from, caseSensitive));
      if (compiled.refused) {
        passFindings.push_back(placedInFrom(rule, pass, compiled, from, caseSensitive));
      } else {
        checkGroupCount(rule, pass, compiled.groups, passFindings);
      }
    }
    // A fault every pass meets is the From's own: said once.
    const auto sameRefusal = [&](const RuleFinding& f) {
      return f.kind == FindingKind::kPatternRefused && f.reason == passFindings[0].reason &&
             f.offset == passFindings[0].offset;
    };
    if (passFindings.size() == kWordRulePasses &&
        std::all_of(passFindings.begin(), passFindings.end(), sameRefusal)) {
      passFindings.resize(1);
      passFindings[0].pass = kWholeRule;
    }
    findings.insert(findings.end(), passFindings.begin(), passFindings.end());
  }
  const std::vector<PatternItem> items = patternItems(from, !caseSensitive, false);
  checkIgnoredCase(rule, from, items, true, findings);
  checkWordCharacters(rule, items, findings);
  const std::vector<std::string> references = templateReferences(to);
  if (!references.empty()) {
    add(findings, FindingKind::kTemplateReference, rule, kWholeRule,
        "To holds " + quoted(references) +
            ": To is a template, in which these stand for parts of the match (the separators "
            "around the word, or the word with them)");
  }
}

void checkPerlRule(size_t rule, const std::string& from, const std::string& to,
                   Findings& findings) {
  if (from.empty()) {
    add(findings, FindingKind::kEmptyFrom, rule, kWholeRule, "empty From: the expression is empty");
  } else if (from.find(from[0], 1) == std::string::npos) {
    add(findings, FindingKind::kNoClosingDelimiter, rule, kWholeRule,
        "no closing delimiter: the first character, \"" + from.substr(0, 1) +
            "\", never occurs again, so the expression is empty");
  }
  const Compiled compiled = compile(from);
  if (compiled.refused) {
    add(findings, FindingKind::kPatternRefused, rule, kWholeRule, compiled.error, compiled.offset);
    return;
  }
  checkGroupCount(rule, kWholeRule, compiled.groups, findings);
  if (compiled.mayMatchEmpty) {
    add(findings, FindingKind::kMatchesEmpty, rule, kWholeRule,
        "the pattern can match the empty text, and wherever it does, To goes in without "
        "replacing anything");
  }
  const std::vector<PatternItem> items =
      patternItems(compiled.expression, (compiled.options & PCRE_CASELESS) != 0,
                   (compiled.options & PCRE_EXTENDED) != 0);
  checkIgnoredCase(rule, compiled.expression, items, false, findings);
  checkWordCharacters(rule, items, findings);
  std::vector<std::string> missing;
  for (const std::string& reference : templateReferences(to)) {
    if (reference[1] != '&' && reference[1] - '0' > compiled.groups) addOnce(missing, reference);
  }
  if (!missing.empty()) {
    const std::string groups = compiled.groups == 0   ? "no groups"
                               : compiled.groups == 1 ? "1 group"
                                                      : std::to_string(compiled.groups) + " groups";
    add(findings, FindingKind::kMissingGroup, rule, kWholeRule,
        "To holds " + quoted(missing) + ", but the pattern has " + groups + ": " +
            (missing.size() == 1 ? "it puts" : "they put") + " in nothing");
  }
}

}  // namespace

std::vector<RuleFinding> checkRule(size_t rule, RuleKind kind, const std::string& from,
                                   const std::string& to, bool caseSensitive) {
  Findings findings;
  if (kind == RuleKind::kWord) checkWordRule(rule, from, to, caseSensitive, findings);
  if (kind == RuleKind::kPerl) checkPerlRule(rule, from, to, findings);
  return findings;
}

std::vector<RuleFinding> checkRules(const RuleStore& rules, bool caseSensitive) {
  Findings findings;
  // The first rule that runs with each From, as the editor compares them.
  std::unordered_map<std::string, size_t> firstWithFrom;
  walkRules(rules, [&](size_t rule, RuleKind kind, const std::string& from, const std::string& to) {
    Findings found = checkRule(rule, kind, from, to, caseSensitive);
    findings.insert(findings.end(), found.begin(), found.end());
    if (kind == RuleKind::kInert) return;
    std::string folded = from;
    for (char& c : folded)
      c = static_cast<char>(standin::foldCase1250(static_cast<unsigned char>(c)));
    const auto first = firstWithFrom.emplace(std::move(folded), rule);
    if (first.second) return;
    const std::string earlier = "rule " + std::to_string(first.first->second + 1);
    add(findings, FindingKind::kSameFrom, rule, kWholeRule,
        "the same From as " + earlier + " (letter case aside): this rule never fires on what " +
            earlier + " replaced");
  });
  return findings;
}

}  // namespace qmx
