#include "bench/pcre_floor.h"

#include "correction/rule_application.h"
#include "regex/regex_replacer.h"

namespace qmxbench {

using namespace qmx;

namespace {

FloorPattern parsed(const std::string& patternText) {
  // The plug-in's own parser, so the floor compiles exactly what it does.
  RegexReplacer parser;
  parser.setPattern(patternText);
  const uint32_t options = parser.options();
  return {parser.expression(), static_cast<int>(options & ~RegexReplacer::kExecOnlyOptions),
          static_cast<int>(options & RegexReplacer::kSearchOptions)};
}

}  // namespace

std::vector<FloorPattern> floorPatterns(const std::vector<Rule>& rules) {
  std::vector<FloorPattern> patterns;
  for (const Rule& rule : rules) {
    if (rule.type == 0) {
      for (int pass = 0; pass < kWordRulePasses; ++pass) {
        patterns.push_back(parsed(wordRulePattern(pass, rule.from, false)));
      }
    } else if (rule.type == 1) {
      patterns.push_back(parsed(rule.from));
    }
  }
  return patterns;
}

size_t runFloor(const std::vector<FloorPattern>& patterns, const std::string& text) {
  int offsets[RegexReplacer::kOffsetCount];
  const int length = static_cast<int>(text.size());
  size_t matches = 0;
  for (const FloorPattern& pattern : patterns) {
    const char* error = nullptr;
    int errorOffset = 0;
    pcre* compiled = pcre_compile(pattern.expression.c_str(), pattern.compileOptions, &error,
                                  &errorOffset, nullptr);
    if (!compiled) continue;
    int start = 0;
    int execOptions = pattern.execOptions;
    while (start <= length) {
      const int found = pcre_exec(compiled, nullptr, text.data(), length, start, execOptions,
                                  offsets, RegexReplacer::kOffsetCount);
      if (found <= 0) break;
      ++matches;
      // Past an empty match by one byte: the floor needs progress, not
      // Perl's exact rule for it.
      start = offsets[1] > offsets[0] ? offsets[1] : offsets[1] + 1;
      execOptions |= PCRE_NOTBOL;
    }
    pcre_free(compiled);
  }
  return matches;
}

}  // namespace qmxbench
