#pragma once

// The command of texelary-convert, apart from the process it runs in: the options read and
// checked, then --help, --version, --info or a conversion run, its messages on the standard
// streams. The program's main gives it its arguments as UTF-8; the tests call it directly.

#include <span>
#include <string>

namespace texelary {

// Runs the command for `args`, the arguments after the program's name, and gives its exit
// status: 0 when everything was converted, 1 when a file failed or the run was stopped, 2 for
// arguments that break a rule. A run interrupted by SIGINT or SIGTERM ends the process by that
// signal once the file in hand is done.
int RunConvertCommand(std::span<const std::string> args);

} // namespace texelary
