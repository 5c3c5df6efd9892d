// Data files as students write them, read to be checked: lines of text before the rows (a
// title, a header "t x v"), comments that begin with '#' anywhere, numbers between blanks,
// tabs or commas, Windows line ends (CRLF), and rows "t x v", "n t x v" (n counting the rows
// by one, as drivenosc's step index or a loop's counter does) or "t x v E" (an energy added),
// each column written with any digits (%g, %f, %e, Python's own). Anything else is refused
// with its line and what is wrong with it. A file is read twice: once to survey it, once to
// hand its rows on in order, never held.
#pragma once

#include "dataformat/rows.hpp"

#include <array>
#include <cstddef>
#include <functional>
#include <string>

namespace osc {

enum class StudentColumns { t_x_v, n_t_x_v, t_x_v_E };

// What keeps a file from being read as rows, if anything.
enum class ShapeFault {
    none,
    unopened,      // not a file to read rows from (DataSource::open's reason in `why`)
    empty,         // not a byte, a byte-order mark aside
    cr_line_ends,  // lines that end in a carriage return alone
    unreadable,    // a read failed (`error`)
    no_row,        // no line of numbers
    one_row,       // one row: no step to tell
    text_in_rows,  // a line of other than numbers after the first row
    semicolons,    // numbers separated by ';'
    column_count,  // a row of other than 3 or 4 numbers (`count`)
    count_changes, // a row of another count than the first (`count`, `expected`)
    too_long,      // a line longer than any row
    changed,       // the second reading found other rows: the file was being written
};

// How finely the numbers of a column are written, as the column shows: with the same `decimals`
// after the point in every number (as %f writes them), or else to `digits` significant digits
// at most (as %g writes them, trailing zeros dropped, or %e, kept).
struct Writing {
    int digits = 6;
    int decimals = -1; // -1: not a fixed count
};

struct StudentShape {
    ShapeFault fault = ShapeFault::none;
    std::string why;      // of `unopened`
    int error = 0;        // of `unreadable`
    bool emptied = false; // `empty`, and named as one of drivenosc's files, which it empties
    std::size_t line = 0; // the line at fault, or the last line where `cut`, from 1
    std::string text;     // that line as the file holds it
    int count = 0;        // the numbers on it
    int expected = 0;     // those of the first row

    StudentColumns columns = StudentColumns::t_x_v;
    std::size_t text_lines = 0; // header and comment lines
    bool commas = false, tabs = false, crlf = false;
    bool ended = true; // the last line ends in a newline
    bool cut = false;  // the last line, with no newline, holds part of a row only: left out
    double rows = 0;
    std::size_t first_line = 0, last_line = 0; // the lines of the first and last rows
    Row first{}, second{}, last{};             // rows as written, NaN and inf as they come
    std::array<Writing, 3> writing;            // of t, x and v
};

class StudentFile {
public:
    // Opens `file` and reads it through once, for its shape.
    StudentShape survey(const std::string &file);

    // Reads the rows of a file that survey() found sound again, each with its line to `take`,
    // until `take` returns false; false, the fault `changed` in `shape`, when they are not the
    // rows surveyed.
    bool rows(StudentShape &shape,
              const std::function<bool(const Row &, std::size_t line)> &take) const;

private:
    DataSource source_;
};

} // namespace osc
