#include "dataformat/student_rows.hpp"

#include "programs/programs.hpp"
#include "text/reading.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace osc {

namespace {

// What the digits of a written number show: its significant digits, the decimals of its
// mantissa and whether an exponent follows; `decimal` false for nan, inf and hexadecimal.
struct Shown {
    bool decimal = false, exponent = false;
    int decimals = 0, significant = 0;
};

Shown shown_of(std::string_view token)
{
    Shown s;
    std::size_t i = token.empty() || (token[0] != '+' && token[0] != '-') ? 0 : 1;
    bool point = false;
    bool leading = true;
    for (; i < token.size(); ++i) {
        const char c = token[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        s.decimal = true;
        leading = leading && c == '0';
        s.decimals += point ? 1 : 0;
        s.significant += leading ? 0 : 1;
    }
    s.exponent = i < token.size() && (token[i] == 'e' || token[i] == 'E');
    s.decimal = s.decimal && (i == token.size() || s.exponent);
    return s;
}

// What one line holds once its line end and any comment are off and its commas are blanks:
// nothing to read (a blank line, a comment), text, numbers separated by ';', numbers between
// carriage returns alone, or `count` numbers, the first four in `values` as `shown`.
struct Line {
    enum Kind { nothing, comment, text, semicolons, carriage_returns, numbers } kind = nothing;
    int count = 0;
    double values[4] = {};
    Shown shown[4];
};

Line of_kind(Line::Kind kind)
{
    Line line;
    line.kind = kind;
    return line;
}

// More numbers than a row holds, to tell how many a line has.
constexpr int counted = 8;

bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The line `line` as it reads; with each number's digits `shown` where asked.
Line read_line(std::string_view line, StudentShape &shape, bool shown = false)
{
    if (!line.empty() && line.back() == '\r') {
        shape.crlf = true;
        line.remove_suffix(1);
    }
    const std::size_t start = line.find_first_not_of(" \t\v\f\r");
    if (start == std::string_view::npos) return {};
    if (line[start] == '#') return of_kind(Line::comment);
    // A comment after the numbers: "0.1 0.98 -0.39  # t x v".
    line = line.substr(0, line.find('#'));
    std::string spaced(line);
    if (spaced.find(',') != std::string::npos) {
        shape.commas = true;
        std::replace(spaced.begin(), spaced.end(), ',', ' ');
    }
    if (spaced.find('\t') != std::string::npos) shape.tabs = true;
    Line read;
    double values[counted];
    read.count = row_numbers(spaced, values, counted);
    // Rows with a carriage return alone between them read as one line: its first row shows it.
    const std::size_t cr = spaced.find('\r');
    const int before_cr = cr == std::string::npos
                              ? 0
                              : row_numbers(std::string_view(spaced).substr(0, cr), values, counted);
    const bool returns = before_cr == 3 || before_cr == 4;
    if (read.count < 0) {
        std::replace(spaced.begin(), spaced.end(), ';', ' ');
        const bool separated =
            line.find(';') != std::string_view::npos && row_numbers(spaced, values, counted) > 1;
        return of_kind(returns ? Line::carriage_returns : separated ? Line::semicolons : Line::text);
    }
    if (read.count == 0) return {};
    if (returns) return of_kind(Line::carriage_returns);
    read.kind = Line::numbers;
    std::copy(values, values + std::min(read.count, 4), read.values);
    std::size_t at = 0;
    for (Shown &digits : read.shown) {
        if (!shown) break;
        while (at < spaced.size() && blank(spaced[at])) ++at;
        const std::size_t end = std::min(spaced.size(), spaced.find_first_of(" \t\v\f\r\n", at));
        digits = shown_of(std::string_view(spaced).substr(at, end - at));
        at = end;
    }
    return read;
}

// Whether a last line, with no newline after it, is a row cut short: its numbers fewer than the
// rows', or its last word a number's beginning ("-", "0.", "1e").
bool cut_short(std::string_view text, int expected)
{
    std::string spaced(text.substr(0, text.find('#')));
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    while (!spaced.empty() && blank(spaced.back())) spaced.pop_back();
    double values[counted];
    const int count = row_numbers(spaced, values, counted);
    if (count >= 0) return count > 0 && count < expected;
    const std::size_t last = spaced.find_last_of(" \t\v\f\r") + 1;
    const bool begun = spaced.find_first_not_of("0123456789.eE+-", last) == std::string::npos;
    const int before = row_numbers(std::string_view(spaced).substr(0, last), values, counted);
    return begun && before >= 0 && before < expected;
}

// The writing of a column from what its numbers showed.
struct ColumnSeen {
    int digits = 0;
    int decimals = -2; // -2: no number yet; -1: not all alike
    bool exponent = false;

    void see(const Shown &s)
    {
        if (!s.decimal) return;
        digits = std::max(digits, s.significant);
        exponent = exponent || s.exponent;
        decimals = decimals == -2 || decimals == s.decimals ? s.decimals : -1;
    }
    Writing writing() const
    {
        if (!exponent && decimals >= 0) return {0, decimals};
        return {std::clamp(digits, 1, 40), -1}; // 40: more than any double holds
    }
};

// The row of `values` in `columns`: n t x v drops the counter, t x v E the energy.
Row row_in(const double *values, StudentColumns columns)
{
    const double *first = columns == StudentColumns::n_t_x_v ? values + 1 : values;
    return {first[0], first[1], first[2]};
}

// Whether rows of four numbers are "n t x v": the first counts the rows by one from a whole
// number, and the second goes up by a constant step, as far as the first, second and last rows
// tell (a "t x v E" file whose step is 1 has an oscillating x second).
bool counts_rows(bool by_one, const double *first, const double *second, const double *last,
                 double rows)
{
    const double span = last[1] - first[1];
    return by_one && first[0] == std::floor(first[0]) &&
           std::fabs(span - (rows - 1) * (second[1] - first[1])) <= 1e-3 * std::fabs(span);
}

} // namespace

StudentShape StudentFile::survey(const std::string &file)
{
    StudentShape shape;
    if (std::string why = source_.open(file); !why.empty()) {
        const bool empty = source_.is_open() && source_.size() == source_.start();
        shape.fault = empty ? ShapeFault::empty : ShapeFault::unopened;
        shape.emptied = empty && layout_of_file(file) == &drivenosc::layout;
        shape.why = std::move(why);
        return shape;
    }
    std::size_t number = 0;
    double first[4] = {};
    double second[4] = {};
    double last[4] = {};
    ColumnSeen seen[4];
    bool by_one = true;
    const auto fault = [&](ShapeFault what, std::string_view line) {
        shape.fault = what;
        shape.line = number;
        shape.text = std::string(line);
        return false;
    };
    const auto take = [&](std::string_view text, bool ended) {
        ++number;
        shape.ended = ended;
        if (text.size() > longest_line) return fault(ShapeFault::too_long, text.substr(0, 80));
        const Line line = read_line(text, shape, true);
        if (line.kind == Line::nothing) return true;
        if (line.kind == Line::carriage_returns) return fault(ShapeFault::cr_line_ends, "");
        const bool row = line.kind == Line::numbers && line.count == shape.expected;
        if (!ended && shape.rows > 0 && !row && cut_short(text, shape.expected)) {
            shape.cut = true;
            shape.line = number;
            shape.text = std::string(text);
            return false;
        }
        if (line.kind == Line::semicolons) return fault(ShapeFault::semicolons, text);
        if (line.kind == Line::comment || (line.kind == Line::text && shape.rows == 0)) {
            ++shape.text_lines;
            return true;
        }
        if (line.kind == Line::text) return fault(ShapeFault::text_in_rows, text);
        shape.count = line.count;
        if (line.count != 3 && line.count != 4) return fault(ShapeFault::column_count, text);
        if (shape.rows == 0) {
            shape.expected = line.count;
            shape.first_line = number;
            std::copy(line.values, line.values + 4, first);
        }
        if (line.count != shape.expected) return fault(ShapeFault::count_changes, text);
        if (shape.rows == 1) std::copy(line.values, line.values + 4, second);
        // A counter past a million is written to six digits, as drivenosc's is.
        by_one = by_one && (shape.rows == 0 || std::fabs(line.values[0] - (last[0] + 1)) <=
                                                    1e-5 * std::fabs(line.values[0]));
        std::copy(line.values, line.values + 4, last);
        for (int c = 0; c < line.count; ++c) seen[c].see(line.shown[c]);
        shape.last_line = number;
        ++shape.rows;
        return true;
    };
    if (const int error = source_.each_line(take); error != 0) {
        shape.fault = ShapeFault::unreadable;
        shape.error = error;
    }
    if (shape.fault != ShapeFault::none) return shape;
    if (shape.rows < 2) {
        shape.fault = shape.rows == 0 ? ShapeFault::no_row : ShapeFault::one_row;
        return shape;
    }
    shape.count = shape.expected;
    shape.columns = shape.expected == 3 ? StudentColumns::t_x_v
                    : counts_rows(by_one, first, second, last, shape.rows)
                        ? StudentColumns::n_t_x_v
                        : StudentColumns::t_x_v_E;
    shape.first = row_in(first, shape.columns);
    shape.second = row_in(second, shape.columns);
    shape.last = row_in(last, shape.columns);
    const int skip = shape.columns == StudentColumns::n_t_x_v ? 1 : 0;
    for (int c = 0; c < 3; ++c) shape.writing[c] = seen[c + skip].writing();
    return shape;
}

bool StudentFile::rows(StudentShape &shape,
                       const std::function<bool(const Row &, std::size_t)> &take) const
{
    StudentShape again;
    std::size_t number = 0;
    double rows = 0;
    Row last{};
    bool stopped = false;
    const auto each = [&](std::string_view text, bool) {
        ++number;
        if (shape.cut && number == shape.line) return false;
        const Line line = read_line(text, again);
        if (line.kind != Line::numbers)
            return line.kind != Line::semicolons && line.kind != Line::carriage_returns &&
                   text.size() <= longest_line;
        if (line.count != shape.expected) return false;
        last = row_in(line.values, shape.columns);
        ++rows;
        stopped = !take(last, number);
        return !stopped;
    };
    const int error = source_.each_line(each);
    if (stopped) return true;
    // The same rows, as far as their count and the last of them tell.
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    if (error == 0 && rows == shape.rows && same(last.t, shape.last.t) &&
        same(last.x, shape.last.x) && same(last.v, shape.last.v))
        return true;
    shape.fault = error != 0 ? ShapeFault::unreadable : ShapeFault::changed;
    shape.error = error;
    shape.line = number;
    return false;
}

} // namespace osc
