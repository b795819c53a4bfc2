// The case option of the word rules, as the plug-in reads it from the host.
#pragma once

namespace qmx {

// The column "Rewordix/CaseSensitive" as the host answers now. The plug-in
// asks anew for every word-rule pass, never caching it: the user may change
// it on the settings page at any time. (The rule loop reads it inline, see
// CaseSource::hostOption.)
bool caseSensitiveOption();

}  // namespace qmx
