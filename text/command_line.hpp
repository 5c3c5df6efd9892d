// The command line: the three programs take no arguments but help and version; the tools,
// which read their own options, answer help, version and a wrong argument the same way.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

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

// An option of a tool's command line: a flag, or one followed by a value (`value` not null),
// `what` naming that value in a message ("o nome da figura"). A value is never empty once
// given, so an option with one may leave `given` null and ask whether its value is empty.
struct Option {
    const char *name;
    bool *given;
    std::string *value = nullptr;
    const char *what = nullptr;
};

// A tool's command line as read: -h/--help and --version, the operands (all that follows
// "--" too), and the first thing wrong with it, if any.
struct CommandLine {
    bool help = false;
    bool version = false;
    std::vector<std::string> operands;
    std::string problem;
};

// Reads argv against `options`, setting what each was given. An argument that starts with "-"
// and is no option is a problem, unless `numbers` and it is a negative number ("-1", "-.5").
// A value that is missing or empty is a problem too, and so is an option with a value given
// twice (which of the two was meant?).
CommandLine read_command_line(int argc, char **argv, std::initializer_list<Option> options, bool numbers);

// Answers a problem, help or version, in that order, as answer_arguments() does; -1 when the
// run goes on.
int answer_command_line(const CommandLine &line, const char *program, const std::string &usage);

} // namespace osc
