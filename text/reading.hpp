// Numbers read as whole whitespace-separated tokens, from the console, a parameter file or a
// row of a data file, with a reason when one does not read.
#pragma once

#include <cstddef>
#include <fstream>
#include <istream>
#include <string>
#include <string_view>

namespace osc {

// Opens a parameter file for reading, past a UTF-8 byte-order mark at its start; when it
// cannot be read as a file (a directory cannot), says why, and what it holds if it is missing,
// and returns false.
bool open_to_read(std::ifstream &in, const char *program, const char *file);

// How a whitespace-separated token reads by the stream's own extraction of a number: in full,
// only its first `used` characters, or not at all (value then holds what the stream left,
// the largest value of the type for one beyond its range).
enum class Reading { whole, partial, unreadable };
Reading read_whole(const std::string &token, double &value, std::size_t &used);
Reading read_whole(const std::string &token, int &value, std::size_t &used);

// Reads the next token of `in` as one whole number for `what`. When the input ends first, or
// the token is not a number read in full, says so (quoting the token, naming `what` and
// `source`, the file it came from, or nullptr for the console) and returns false. `more`
// follows a refusal as it is.
bool read_number(std::istream &in, double &value, const char *program, const char *what,
                 const char *source);
bool read_number(std::istream &in, int &value, const char *program, const char *what,
                 const char *source, const std::string &more = "");

// What to write instead of a token with a comma in it, as "; ..." to follow a refusal, or ""
// when it has none. Several commas, or one at an end or beside a decimal point, separate
// numbers; a lone comma between digits may be a decimal comma or a separator.
std::string comma_hint(const std::string &token);

// Reads the next token as a menu answer: false when there is none or it is not an integer
// read in full. The token read, if any, goes to *answer when answer is not null.
bool read_choice(std::istream &in, int &choice, std::string *answer = nullptr);

// The numbers of one row of a data file, separated by blanks, tabs or a carriage return as the
// stream's white space is: at most `room` of them go to `values`. Returns how many the row
// holds, or -1 when a field is not a number (nan and inf are numbers) or there are more than
// `room`.
int row_numbers(std::string_view row, double *values, int room);

} // namespace osc
