// The rule base: every replacement rule, held in memory as three aligned
// lists of Windows-1250 texts, filled from the host's configuration at start
// (and on a manual reload) and written back at the end.
//
// Rule i is (From[i], To[i], Type[i]). Every change touches the three lists at
// the same index, so To and Type always hold exactly ruleCount() entries and a
// rule's To and Type never move to another rule. Used only on the host's
// calling thread; there is no lock.
#pragma once

#include <cstddef>
#include <string>

#include "rules/rule_columns.h"

namespace qmx {

// There is one store, inside the plug-in, reached through the functions
// below. Read-only view of it, for readers that walk all rules.
const RuleStore& ruleStore();

// Empties the store and refills it from the columns "Rewordix/From", "/To"
// and "/Type", read in that order. Entries load as they stand (duplicates,
// empty texts and bad patterns included). A To or Type column shorter than
// From is padded with "" and "0" (a rule without a stored type is a word
// rule); a longer one is cut to the number of rules. Writes three log lines,
// the last with the number of rules loaded. When reading or splitting the
// columns fails (out of memory), the store stays empty, the third line says
// the load failed, and ruleBaseLoaded() is false. Without a host it empties
// the store and logs nothing.
void loadRuleBase();

// True once a load has completed and until resetRuleBaseLoaded(): only then
// does the store hold the configuration's rules, so only then may saving it
// replace them.
bool ruleBaseLoaded();
void resetRuleBaseLoaded();

// Writes the store to the three columns (From, then To, then Type), each entry
// followed by kRuleSeparator; an empty store writes three empty texts. A CR LF
// inside an entry cannot be stored, so it is written as a lone LF (repeatedly:
// "\r\r\n" becomes "\n") and the next load gives back aligned rules; every
// other text is stored byte for byte. The store in memory is not changed.
// Writes no log line and ignores the host's answers.
void saveRuleBase();

// The number of rules.
size_t ruleCount();

// The fields of rule `index`. Throws std::out_of_range when `index` is not
// below ruleCount(). The reference is valid until the store next changes.
const std::string& ruleFrom(size_t index);
const std::string& ruleTo(size_t index);
const std::string& ruleType(size_t index);

// The Type of rule `index` read as a number (see readTypeNumber). Throws
// std::out_of_range when `index` is not below ruleCount().
int ruleTypeNumber(size_t index);

// Appends a rule at the end: `from` and `to` as given, `type` as its decimal
// text (a leading "-" when negative, no leading zeros). The texts are kept as
// typed; saveRuleBase makes them storable.
void appendRule(const std::string& from, const std::string& to, int type);

// Removes rule `index` from all three lists; later rules move up by one. An
// index not below ruleCount() changes nothing.
void removeRule(size_t index);

}  // namespace qmx
