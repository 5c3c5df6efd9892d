// The rows of a data file as the tools read them: in pieces, never held whole, each line judged
// as it comes. A file of harmosc or rkstepper holds rows "t x v", one of drivenosc "n t x v",
// where n = t/h counts the steps; every row alike. A UTF-8 byte-order mark before the rows and
// blank lines after them are let be, as gnuplot lets them; rows holding nan or inf are left out.
#pragma once

#include "dataformat/layout.hpp"
#include "programs/layout.hpp"

#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>
#include <sys/types.h>

namespace osc {

// One row of a data file whose numbers are all finite, in the order the tools hand rows on
// (oscplot's datablocks are "t x v": columns 1, 2 and 3 in oscplot.gp).
struct Row {
    double t, x, v;
};

// One line read as a row of `columns` (the step index of "n t x v" aside, which only the rows
// before can tell): false when it holds any other count of numbers.
bool row_of(std::string_view line, Columns columns, Row &row);

// What makes a file no data file to draw, if anything.
enum class RowsFault {
    none,
    unreadable,     // a read failed, with the errno beside it
    empty,          // not a byte, a byte-order mark aside
    emptied,        // empty, and named as one of drivenosc's files, which it empties but one
    not_rows,       // a line of other than 3 or 4 numbers, or longer than any row; rows of
                    // both; a blank line before a row
    not_step_index, // four numbers a row, but the first does not count the steps, n = t/h
    one_line,       // a single row
    no_finite_row,  // nan or inf in every row
    one_finite_row, // nan or inf in all rows but one
};

struct RowsFinding {
    RowsFault fault = RowsFault::none;
    int error = 0;                     // of `unreadable`
    Columns columns = Columns::t_x_v; // what the rows held
};

// The finding in words, as said after the file's name; "" for none.
std::string said(const RowsFinding &finding);

// drivenosc's first column followed row by row: n goes up by one a row from a whole first
// value, and t is n times one step h, both as far as six significant digits tell.
class StepIndex {
public:
    // Takes the next row's n and t; false when they break the count.
    bool take(double n, double t);
    // Whether the first row taken here is the row that comes after those of `before`.
    bool follows(StepIndex before) const { return before.take(first_n_, first_t_); }

private:
    static constexpr double unknown = std::numeric_limits<double>::quiet_NaN();
    double first_n_ = unknown;
    double first_t_ = unknown;
    double step_ = unknown; // t / n of the first row where n is not 0
    double rows_ = 0;
};

// What a stretch of whole lines holds.
struct RowsPart {
    std::vector<Row> rows;  // the finite ones
    std::size_t lines = 0;  // rows of numbers
    std::size_t blanks = 0; // blank lines after the last row
    Columns columns{};      // as its first row shows
    StepIndex index;        // of rows of four numbers
    RowsFault fault = RowsFault::none;
    int error = 0;
    // When set, each row of numbers goes to it in place of `rows`, finite or not, and the
    // reading stops where it returns false: the rows streamed, never held.
    std::function<bool(const Row &)> each;

    // Takes one line, without its newline; false once the part is known to be no data.
    bool take(std::string_view line);
};

// The rows of two stretches read side by side, the first's followed by the second's, judged
// as those of one file.
RowsFinding joined(RowsPart &first, RowsPart &second, std::vector<Row> &rows);

// A data file open for reading.
class DataSource {
public:
    DataSource() = default;
    DataSource(const DataSource &) = delete;
    DataSource &operator=(const DataSource &) = delete;
    ~DataSource();

    // Why `file` cannot be read as a data file (it is empty, say), or "" once it is open. A
    // FIFO is refused before it is opened, which would wait for a writer.
    std::string open(const std::string &file);

    // Whether a file is open: also one that open() found empty.
    bool is_open() const { return fd_ >= 0; }

    // Where the rows start: past a byte-order mark; and where the file ends now.
    off_t start() const { return start_; }
    off_t size() const;

    // Where a second reader may start: after the line end nearest past the middle of a long
    // file; -1 when the file is too short to share, or no line ends near its middle.
    off_t halfway() const;

    // Reads the lines from byte `from` up to byte `to` (a line's end), or to the end of the
    // file when `to` is -1, `piece` bytes at a time, into `part`. Room for its rows is made
    // once the first piece shows how long they are, for those of `share` bytes (0: its own).
    void read(off_t from, off_t to, RowsPart &part, off_t share = 0,
              std::size_t piece = std::size_t{1} << 18U) const;

    // The file's finite rows into `rows`, read in one go, and what its columns held into
    // `columns` if given; why it cannot be drawn, or "" when it can (two finite rows at least).
    std::string finite_rows(std::vector<Row> &rows, Columns *columns = nullptr) const;

    // Each line from start() on, without its newline, to `take` with whether a newline ended
    // it, in order, until `take` returns false. A line longer than longest_line, which is no
    // row, comes cut to one character more, for `take` to stop at. The errno of a read that
    // failed, or 0.
    int each_line(const std::function<bool(std::string_view line, bool ended)> &take) const;

private:
    int fd_ = -1;
    off_t start_ = 0;
};

// The finite rows of `file` into `rows`, and what its columns held into `columns` if given:
// why it is no data file to draw, or "".
std::string read_rows(const std::string &file, std::vector<Row> &rows, Columns *columns = nullptr);

} // namespace osc
