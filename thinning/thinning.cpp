#include "thinning/thinning.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

namespace osc {

std::vector<Row> thin_time(const std::vector<Row> &rows)
{
    if (rows.empty()) return {};
    // The span of all times, which is the first's to the last's in a file of ours.
    const auto [earliest, latest] = std::minmax_element(
        rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.t < b.t; });
    TimeThinning thinning(rows.front().t, std::fabs((latest->t - earliest->t) / time_columns));
    for (const Row &row : rows) thinning.take(row);
    return thinning.rows();
}

void TimeThinning::take(const Row &row)
{
    const double here = width_ > 0 ? std::trunc((row.t - t0_) / width_) : 0.0;
    const Kept now{taken_++, row};
    if (now.at == 0 || here != column_) {
        if (now.at > 0) close_column();
        column_ = here;
        first_ = last_ = x_low_ = x_high_ = v_low_ = v_high_ = now;
        return;
    }
    last_ = now;
    if (row.x < x_low_.row.x) x_low_ = now;
    else if (row.x > x_high_.row.x) x_high_ = now;
    if (row.v < v_low_.row.v) v_low_ = now;
    else if (row.v > v_high_.row.v) v_high_ = now;
}

void TimeThinning::close_column()
{
    Kept at[] = {first_, x_low_, x_high_, v_low_, v_high_, last_};
    std::sort(std::begin(at), std::end(at), [](const Kept &a, const Kept &b) { return a.at < b.at; });
    for (std::size_t i = 0; i < std::size(at); ++i)
        if (i == 0 || at[i].at != at[i - 1].at) kept_.push_back(at[i].row);
}

std::vector<Row> TimeThinning::rows()
{
    if (taken_ > 0) close_column();
    taken_ = 0;
    return std::move(kept_);
}

namespace {

// The cells of the phase plane: 1/512 of the span of x and of v each, under three quarters of a
// pixel of the panel.
class PhaseCells {
public:
    static constexpr double cells = 512;

    explicit PhaseCells(const std::vector<Row> &rows)
        : x_low_(rows.front()), x_high_(rows.front()), v_low_(rows.front()), v_high_(rows.front())
    {
        for (const Row &row : rows) {
            if (row.x < x_low_.x) x_low_ = row;
            else if (row.x > x_high_.x) x_high_ = row;
            if (row.v < v_low_.v) v_low_ = row;
            else if (row.v > v_high_.v) v_high_ = row;
        }
        x_ = {x_low_.x, x_high_.x, x_high_.x - x_low_.x};
        v_ = {v_low_.v, v_high_.v, v_high_.v - v_low_.v};
    }

    // The cell of a row, one number: the indices run from 0 to `cells` on each axis.
    std::int64_t cell(const Row &row) const { return x_.index(row.x) * across + v_.index(row.v); }

    // The rows where x and v are lowest and highest.
    std::vector<Row> extremes() const { return {x_low_, x_high_, v_low_, v_high_}; }

private:
    static constexpr std::int64_t across = static_cast<std::int64_t>(cells) + 1;

    struct Axis {
        double low, high, span;

        // A value's share of the span, times `cells`. The share is taken of halves where the
        // span is beyond the largest double, and of the span itself where 1/512 of it would
        // round to 0 (a span of subnormals); a quantity that never changes is all in cell 0.
        std::int64_t index(double value) const
        {
            const double share = std::isfinite(span) ? (value - low) / span
                                                     : (value / 2 - low / 2) / (high / 2 - low / 2);
            if (!(share > 0)) return 0;
            return std::min(static_cast<std::int64_t>(share * cells), across - 1);
        }
    };

    Row x_low_, x_high_, v_low_, v_high_;
    Axis x_{}, v_{};
};

// The steps drawn so far, kept by open addressing: one probe of a flat table where a hash set
// of nodes would allocate for each step and chase a pointer to find it.
class StepSet {
public:
    // Adds a step; false when it was there already.
    bool insert(std::uint64_t key)
    {
        if (2 * (count_ + 1) > slots_.size()) grow();
        std::size_t at = slot(key);
        for (; slots_[at] != empty; at = (at + 1) & (slots_.size() - 1))
            if (slots_[at] == key) return false;
        slots_[at] = key;
        ++count_;
        return true;
    }

private:
    static constexpr std::uint64_t empty = ~std::uint64_t{0}; // no step is all ones

    // Fibonacci hashing: the top bits of the key times 2^64 over the golden ratio.
    std::size_t slot(std::uint64_t key) const
    {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15U) >> shift_);
    }

    void grow()
    {
        std::vector<std::uint64_t> old(2 * slots_.size(), empty);
        old.swap(slots_);
        --shift_;
        count_ = 0;
        for (const std::uint64_t key : old)
            if (key != empty) insert(key);
    }

    std::vector<std::uint64_t> slots_ = std::vector<std::uint64_t>(std::size_t{1} << 12U, empty);
    unsigned shift_ = 64 - 12;
    std::size_t count_ = 0;
};

// A step from one cell to another, one number.
std::uint64_t step(std::int64_t from, std::int64_t to)
{
    return static_cast<std::uint64_t>(from) << 32U | static_cast<std::uint64_t>(to);
}

} // namespace

Runs thin_phase(const std::vector<Row> &rows)
{
    Runs runs;
    if (rows.empty()) return runs;
    const PhaseCells cells(rows);
    StepSet drawn;
    std::int64_t here = cells.cell(rows.front());
    Row anchor = rows.front(); // where the next run starts: the last row that left its cell
    bool chained = false;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row &row = rows[i];
        const std::int64_t cell = cells.cell(row);
        if (cell == here) continue;
        const bool first_time = drawn.insert(step(here, cell));
        here = cell;
        if (!first_time) {
            chained = false;
            anchor = row;
            continue;
        }
        if (!chained) runs.push_back({anchor});
        chained = true;
        runs.back().push_back(row);
        anchor = row;
    }
    if (runs.empty()) runs.push_back({anchor});
    for (const Row &extreme : cells.extremes()) runs.push_back({extreme});
    return runs;
}

} // namespace osc
