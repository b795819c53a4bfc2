// The figures a benchmark run produced, for the summaries printed after the
// table.
#pragma once

#include <functional>
#include <map>
#include <string>

namespace qmxbench {

struct Figure {
  double ms;  // CPU time per iteration
  std::map<std::string, double> counters;
};

// The figure of the benchmark named `name` (without Google Benchmark's
// "/min_time:..." and the like), or null when it did not run.
using FigureLookup = std::function<const Figure*(const std::string& name)>;

// The summary of the rule filters' targets (autocorrect_bench.cpp).
void printRuleFilterSummary(const FigureLookup& find);

}  // namespace qmxbench
