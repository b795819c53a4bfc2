// The floor a rule base is measured against: the pcre_compile and pcre_exec
// calls its rules make when every rule runs its patterns (three per word
// rule, one per Perl rule), made directly, with no string built and no host
// asked. The plug-in's own work on the same rules and message is reported as
// a ratio to it.
#pragma once

#include <pcre.h>

#include <string>
#include <vector>

#include "bench/workload.h"

namespace qmxbench {

struct FloorPattern {
  std::string expression;  // without delimiters and letters
  int compileOptions;
  int execOptions;
};

// The patterns of `rules` as the plug-in builds them, with the case option
// off (word rules ignore the case of A-Z), split into expression and options
// once, here, so that the timed loop only calls PCRE.
std::vector<FloorPattern> floorPatterns(const std::vector<Rule>& rules);

// Compiles each pattern, scans `text` with it from the left as a global
// substitution does (each search from the end of the previous match, "^"
// no longer matching after the first), and frees it. Returns the number of
// matches, so the work cannot be optimised away.
size_t runFloor(const std::vector<FloorPattern>& patterns, const std::string& text);

}  // namespace qmxbench
