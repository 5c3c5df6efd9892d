// A student's rows read against what each entry of the catalogue gives, row by row, to the
// digits each column is written with; beside it, their error against the exact motion and, for
// free motion, the one-step map fitted to them. Numbers only.
#pragma once

#include "checking/catalogue.hpp"
#include "dataformat/rows.hpp"
#include "dataformat/student_rows.hpp"
#include "motion/motion.hpp"
#include "stepmath/matrix.hpp"

#include <array>
#include <cstddef>
#include <vector>

namespace osc {

// Rounding of the order in which a step evaluates its sums, against the state's size, a step:
// a step written in another order (a + b + c as c + b + a) drifts from ours by a few units of
// the last bit a step, and such drifts add up.
inline constexpr double order_rounding = 16 * 2.220446049250313e-16;

// Half a unit of the last digit `value` is written with, as `writing` writes it: the decimals'
// last, or the last significant digit in the decade of the value once rounded.
double rounding(const Writing &writing, double value);

// Whether `written`, a number written as `writing` writes, can be the writing of `computed` by
// a step whose sums were taken in some other order: within half a unit of its last digit, and
// `slack` more. NaN agrees with NaN, and an infinity with itself.
bool agrees(double written, double computed, const Writing &writing, double slack);

// The rows a file is read against: the equation from x0, v0 at t = 0, the step, and whether
// the first row is the state at t = 0 or the one after the first step; with the digits of its
// columns, and how far the true step may lie from h where the times tell it only so far.
struct Stepping {
    Acceleration acceleration;
    double x0, v0;
    double h;
    bool from_start;
    std::array<Writing, 3> writing; // of t, x and v
    double spread = 0;
};

// The first row of a file that departs from an entry's: its row (from 0) and line, the column
// (0 t, 1 x, 2 v), what the file holds there and what the entry gives.
struct Departure {
    double row = -1; // -1: none, every row agrees
    std::size_t line = 0;
    int column = 0;
    double held = 0, computed = 0;
    bool departed() const { return row >= 0; }
};

// Every entry of the catalogue stepped alongside the rows, each until its first departure.
class Identification {
public:
    explicit Identification(const Stepping &grid);
    // The file's next row, at `line`.
    void take(const Row &row, std::size_t line);
    // Each entry's departure, in the catalogue's order.
    const std::vector<Departure> &departures() const { return departures_; }
    // Whether no entry agrees any more.
    bool settled() const { return alive_ == 0; }

private:
    struct Stepper {
        double t, x, v;
        double steps;
        double scale_t, scale_x, scale_v; // the largest |t|, |x|, |v| so far, for the slack
    };
    // What the rows of `s` may be off by for a step anywhere within the spread: t by n·δh, and x
    // and v by as far as they move in that time, with a quarter more for the slopes' change.
    void spread_slack(const Stepper &s, double slack[3]) const;
    Stepping grid_;
    std::vector<Stepper> steppers_;
    std::vector<Departure> departures_;
    std::size_t alive_;
    double rows_ = 0;
};

// The error of a row against the exact motion at the row's own time (the running sum of h),
// with the x it was written with.
struct RowError {
    double t = NAN, x = NAN, error = NAN;
};

// The largest |x - x_exact| over the rows, and where; and the errors of the last rows, which a
// run at half the step halves 2^p times for a method of order p, at the time they share.
struct ExactError {
    static constexpr std::size_t kept = 64; // the last rows' errors: a ladder down to h/32
    double largest = 0, at = 0;
    double rows = 0;
    std::vector<RowError> last; // the errors of rows rows - kept.. rows - 1, by row % kept
    // The error of row `row` (from 0), if it is among the last kept; else NaN's.
    RowError of_row(double row) const;
};

class ExactErrors {
public:
    ExactErrors(const Motion &motion, double h, bool from_start);
    void take(const Row &row);
    const ExactError &found() const { return found_; }

private:
    ExactMotion exact_;
    double h_, t_;
    bool first_ = true;
    ExactError found_;
};

// The one-step map (x, v) ← M·(x, v) that fits the rows of free motion in least squares, and
// the w0 and β whose RK4 step at h is that map: the rows' own constants, if they are RK4's.
class MapFit {
public:
    void take(const Row &row);
    // M, or NaN where the rows do not span the plane (a motion along one mode, or at rest).
    Matrix2<double> map() const;

private:
    Row last_{NAN, NAN, NAN};
    double xx_ = 0, xv_ = 0, vv_ = 0;          // Σ s·sᵀ
    double nx_ = 0, nv_ = 0, mx_ = 0, mv_ = 0; // Σ s'·sᵀ: x'x, x'v, v'x, v'v
};

struct Constants {
    double w0 = NAN, beta = NAN;
};

// The w0 and β with which one RK4 step of h is the map `m`: from its eigenvalues μ, the z with
// R(z) = μ near ln μ, and λ = z/h; NaN where `m` is none, or no such z is found.
Constants rk4_constants(const Matrix2<double> &m, double h);

} // namespace osc
