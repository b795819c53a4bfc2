// Texts shown inside one line of quillmax-host's errors and findings.
#pragma once

#include <string>

namespace qmxhost {

// `text` (a path, a rule, a message, or an error quoting them) fit for one
// line of a terminal: each control character is written as an escape, \n,
// \r, \t or \xNN (the C0 controls and DEL; a C1 control, U+0080 to U+009F,
// as its two UTF-8 bytes, \xC2\xNN), so that an error stays one line and
// nothing in it drives the terminal. Every other byte, a backslash
// included, is kept as it is.
std::string escapeControls(const std::string& text);

}  // namespace qmxhost
