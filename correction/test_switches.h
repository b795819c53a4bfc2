// Switches that only tests and benchmarks turn: each selects a slower road
// that a faster one is held to, giving the same results. Nothing in the
// plug-in turns them; it defines them beside the state they switch.
#pragma once

#include <string>

#include "correction/literal_presence.h"
#include "correction/rule_loop.h"

namespace qmx {

// Turns the rule loop's filters on or off; off, it runs every rule in full.
void setRuleLoopFilters(RuleLoop& loop, RuleFilters filters);

// The same for the loop the plug-in corrects its messages with.
void setRuleFilters(RuleFilters filters);

// How LiteralPresence brings its answer up to date after a rewrite.
enum class PresenceUpdate {
  kCheaper,  // whichever of the two below reads fewer bytes (what update() does)
  kWindow,   // re-count only around the one stretch the rewrite changed
  kRescan,   // count the whole new text again
};

// presence.update(before, after), the way `how` says.
void updatePresence(LiteralPresence& presence, const std::string& before, const std::string& after,
                    PresenceUpdate how);

}  // namespace qmx
