// The quillmax-host command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qmxhost {

// Runs the program on `args` (without the program's name), reading
// messages from `in`. `defaultPlugin` is the plug-in loaded without
// --plugin. Returns the exit status: 0 success, 1 an action refused or a
// check failed, 2 a usage error or unreadable input. Every error is one
// line on `err`.
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const std::string& defaultPlugin);

}  // namespace qmxhost
