// What of a long data file is drawn. gnuplot's time goes into stroking lines, and a panel 900
// pixels wide shows no more than its pixel columns can hold: of millions of rows, those that
// change no pixel are left out, and every peak stays where it was.
#pragma once

#include "dataformat/rows.hpp"

#include <cstddef>
#include <vector>

namespace osc {

// A curve as gnuplot is given it: runs of rows, each drawn as one line; a run of one row is a
// lone point, which draws nothing but counts in the axes' ranges.
using Runs = std::vector<std::vector<Row>>;

// The pixel columns of the time panels.
inline constexpr int time_columns = 2048;

// The rows kept for position and velocity against time, in time order. The span from the first
// row's time to the last's is cut into `time_columns` columns, and of each run of rows in one
// column only the first, the last, and those where x and where v are lowest and highest are
// kept: within a column the line through them covers exactly the heights the whole line covers.
// Rows all at one time (a run with h = 0) are one column.
std::vector<Row> thin_time(const std::vector<Row> &rows);

// The same for rows taken one at a time, whose span is known before the first: each row's
// column is trunc((t - t0)/width), width the span over `time_columns` (0: all in one column).
// What is kept stays within six rows a column, however many rows are taken.
class TimeThinning {
public:
    TimeThinning(double t0, double width) : t0_(t0), width_(width) {}
    void take(const Row &row);
    // The rows kept, in time order, the column being read closed.
    std::vector<Row> rows();

private:
    struct Kept {
        std::size_t at;
        Row row;
    };
    void close_column();

    double t0_, width_;
    double column_ = 0;
    std::size_t taken_ = 0;
    // The column being read: its first, last, and the rows where x and v are lowest and highest.
    Kept first_{}, last_{}, x_low_{}, x_high_{}, v_low_{}, v_high_{};
    std::vector<Row> kept_;
};

// The phase portrait, which retraces itself: the plane is cut into cells of 1/512 of the span
// of x and of v, and a step from one cell to another is kept the first time it is made only; a
// row in the cell of the row before is skipped. The runs are broken where a step was
// left out, and end with the rows where x and v are lowest and highest, as lone points.
Runs thin_phase(const std::vector<Row> &rows);

} // namespace osc
