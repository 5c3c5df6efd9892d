// What the three programs say and check around their physics: the command line, the reading
// of numbers as whole tokens, the files they are about to read or write, and messages that
// say why something failed. All messages are one line on standard error that starts with the
// program's name.
#pragma once

#include <fstream>
#include <istream>
#include <string>

namespace textio {

// Answers a command line that has arguments: -h or --help prints usage on standard output and
// --version the program's name and version, both with status 0 (1 when standard output does
// not take them); anything else gets one line on standard error that names it, status 2.
// Returns -1 when there are no arguments, and the program runs as usual. No file is read or
// written either way.
int answer_arguments(int argc, char **argv, const char *program, const char *usage);

// Text from a user or a file made safe to show in a message: at most 40 characters, then "…",
// and every control character or byte that is not UTF-8 written as \xNN, so that no escape
// sequence reaches the terminal.
std::string escaped(const std::string &raw);
// The same in double quotes.
std::string quoted(const std::string &raw);

// A number as a default-configured stream writes it, as in the data files.
std::string text(double value);

// A failed system call's errno as the reason a user reads, in Portuguese.
std::string reason(int error);

// Writes "program: doing file: reason" and returns 1, the status of a refused run.
int refuse_file(const char *program, const char *doing, const char *file, int error);

// Writes "program: message" and returns 1.
int refuse(const char *program, const std::string &message);

// Writes "program: aviso: message"; the run goes on.
void warn(const char *program, const std::string &message);

// Opens file for reading, past a UTF-8 byte-order mark at its start; when it cannot be read as
// a file (a directory cannot), says why and returns false.
bool open_to_read(std::ifstream &in, const char *program, const char *file);

// How a whitespace-separated token reads by the stream's own extraction of a number: in full,
// only its first `used` characters, or not at all (value then holds what the stream left,
// the largest value of the type for one beyond its range).
enum class Reading { whole, partial, unreadable };
Reading read_whole(const std::string &token, double &value, std::size_t &used);
Reading read_whole(const std::string &token, int &value, std::size_t &used);

// Reads the next token of `in` as one whole number for `what`. When the input ends first, or
// the token is not a number read in full, says so (quoting the token, naming `what` and
// `source`, the file it came from, or nullptr for the console) and returns false.
bool read_number(std::istream &in, double &value, const char *program, const char *what,
                 const char *source);
bool read_number(std::istream &in, int &value, const char *program, const char *what,
                 const char *source);

// Reads the next token as a menu answer: false when there is none or it is not an integer
// read in full. The token read, if any, goes to *answer when answer is not null.
bool read_choice(std::istream &in, int &choice, std::string *answer = nullptr);

} // namespace textio
