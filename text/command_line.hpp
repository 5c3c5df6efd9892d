// The command line of the three programs, which take no arguments but help and version.
#pragma once

namespace osc {

// Answers a command line that has arguments: -h or --help prints usage on standard output and
// --version the program's name and version, both with status 0 (1 when standard output does
// not take them); anything else gets one line on standard error that names it, status 2.
// Returns -1 when there are no arguments, and the program runs as usual. No file is read or
// written either way.
int answer_arguments(int argc, char **argv, const char *program, const char *usage);

// The project's version, as --version gives it after the program's name.
const char *version();

} // namespace osc
