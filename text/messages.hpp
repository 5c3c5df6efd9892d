// What every program and tool of the project says: one line on standard error that starts with
// the program's name, with the system's reasons in Portuguese and text from users made safe to
// show.
#pragma once

#include <cstddef>
#include <string>

namespace osc {

// Text from a user or a file made safe to show in a message: at most 40 characters, then "…",
// and every control or format character (one that shows nothing, as a zero-width space, or
// turns what follows, as a bidirectional mark), and every byte that is not UTF-8, written as
// its bytes \xNN, so that no escape sequence reaches the terminal and every character shows.
// `shown` is the count of characters kept before the "…".
std::string escaped(const std::string &raw, std::size_t shown = 40);
// The same in double quotes.
std::string quoted(const std::string &raw);

// "name: why", the name escaped: what a message says of a file or directory that failed.
std::string about(const std::string &name, const std::string &why);

// A number as a default-configured stream writes it, as in the data files.
std::string text(double value);

// A failed system call's errno as the reason a user reads, in Portuguese.
std::string reason(int error);

// The reason for a FIFO, a socket or a device where a file of rows or a figure goes.
inline constexpr char not_a_regular_file[] = "não é um ficheiro regular";

// Writes "program: doing file: reason", then `more`, and returns 1, the status of a refused run.
int refuse_file(const char *program, const char *doing, const char *file, int error,
                const char *more = "");

// Throws std::bad_alloc when memory ran out since the run began (memory/memory.hpp), so that
// nothing a failed stream left is taken for the input's word.
void unless_memory_ran_out();

// Writes "program: message" and returns 1.
int refuse(const char *program, const std::string &message);

// Refuses a menu `answer` (the token read, empty when the input ended first) that is none of
// the `expected` choices, saying that no file was touched; returns 1.
int refuse_choice(const char *program, const std::string &answer, const char *expected);

// Writes "program: aviso: message"; the run goes on.
void warn(const char *program, const std::string &message);

// Says that standard output did not take what was written to it, and why; returns 1.
int refuse_standard_output(const char *program, int error);

} // namespace osc
