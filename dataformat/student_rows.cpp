#include "dataformat/student_rows.hpp"

#include "text/reading.hpp"

#include <algorithm>
#include <cstring>

namespace osc {

namespace {

// What one line holds once its line end is off and its commas are blanks: nothing to read (a
// blank line, a comment), text, numbers separated by ';', or `count` numbers, the first four
// in `values`.
struct Line {
    enum Kind { nothing, comment, text, semicolons, numbers } kind = nothing;
    int count = 0;
    double values[4] = {};
};

// More numbers than a row holds, to tell how many a line has.
constexpr int counted = 8;

Line read_line(std::string_view line, StudentShape &shape)
{
    if (!line.empty() && line.back() == '\r') {
        shape.crlf = true;
        line.remove_suffix(1);
    }
    const std::size_t start = line.find_first_not_of(" \t\v\f\r");
    if (start == std::string_view::npos) return {};
    if (line[start] == '#') return {Line::comment};
    std::string spaced(line);
    if (spaced.find(',') != std::string::npos) {
        shape.commas = true;
        std::replace(spaced.begin(), spaced.end(), ',', ' ');
    }
    if (spaced.find('\t') != std::string::npos) shape.tabs = true;
    Line read;
    double values[counted];
    read.count = row_numbers(spaced, values, counted);
    if (read.count < 0) {
        std::replace(spaced.begin(), spaced.end(), ';', ' ');
        const bool separated =
            line.find(';') != std::string_view::npos && row_numbers(spaced, values, counted) > 1;
        return {separated ? Line::semicolons : Line::text};
    }
    if (read.count == 0) return {};
    read.kind = Line::numbers;
    std::copy(values, values + std::min(read.count, 4), read.values);
    return read;
}

// The row of `values` in `columns`: n t x v drops the step index, t x v E the energy.
Row row_in(const double *values, StudentColumns columns)
{
    const double *first = columns == StudentColumns::n_t_x_v ? values + 1 : values;
    return {first[0], first[1], first[2]};
}

} // namespace

StudentShape StudentFile::survey(const std::string &file)
{
    StudentShape shape;
    if (std::string why = source_.open(file); !why.empty()) {
        shape.fault = ShapeFault::unopened;
        shape.why = std::move(why);
        return shape;
    }
    std::size_t number = 0;
    double first[4] = {};
    double second[4] = {};
    double last[4] = {};
    StepIndex index;
    bool counts_steps = true;
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
        const Line line = read_line(text, shape);
        if (line.kind == Line::nothing) return true;
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
        std::copy(line.values, line.values + 4, last);
        if (line.count == 4 && counts_steps)
            counts_steps = index.take(line.values[0], line.values[1]);
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
                    : counts_steps      ? StudentColumns::n_t_x_v
                                        : StudentColumns::t_x_v_E;
    shape.first = row_in(first, shape.columns);
    shape.second = row_in(second, shape.columns);
    shape.last = row_in(last, shape.columns);
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
        const Line line = read_line(text, again);
        if (line.kind != Line::numbers)
            return line.kind != Line::semicolons && text.size() <= longest_line;
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
