// The command line: the three programs take no arguments but help and version; the tools,
// which read their own options, answer help, version and a wrong argument the same way.
#pragma once

#include <string>

namespace osc {

// Answers a command line that has arguments: -h or --help prints usage on standard output and
// --version the program's name and version, both with status 0 (1 when standard output does
// not take them); anything else gets one line on standard error that names it, status 2.
// Returns -1 when there are no arguments, and the program runs as usual. No file is read or
// written either way.
int answer_arguments(int argc, char **argv, const char *program, const char *usage);

// The project's version, as --version gives it after the program's name.
const char *version();

// Writes `text` (the usage) on standard output; returns 0, or 1 having said why when standard
// output does not take it.
int answer(const char *program, const std::string &text);

// The same for the version line, "program version".
int answer_version(const char *program);

// Says what is wrong with the command line, and where to read how it goes: "program: problem
// (veja program --help)"; returns 2.
int bad_usage(const char *program, const std::string &problem);

// The problem of an argument that is none of the program's options.
std::string unknown_argument(const std::string &argument);

} // namespace osc
