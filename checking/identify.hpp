// A student's rows read against what each entry of the catalogue gives, row by row, to the six
// significant digits they are written with; beside it, their error against the exact motion
// and, for free motion, the one-step map fitted to them. Numbers only.
#pragma once

#include "checking/catalogue.hpp"
#include "dataformat/rows.hpp"
#include "motion/motion.hpp"
#include "stepmath/matrix.hpp"

#include <cstddef>
#include <vector>

namespace osc {

// Rounding of the order in which a step evaluates its sums, against the state's size, a step:
// a step written in another order (a + b + c as c + b + a) drifts from ours by a few units of
// the last bit a step, and such drifts add up.
inline constexpr double order_rounding = 16 * 2.220446049250313e-16;

// Whether `written`, a number written with six significant digits, can be the writing of
// `computed` by a step whose sums were taken in some other order: within half a unit of its
// sixth digit, and `slack` more. NaN agrees with NaN, and an infinity with itself.
bool agrees(double written, double computed, double slack);

// The rows a file is read against: the equation from x0, v0 at t = 0, the step, and whether
// the first row is the state at t = 0 or the one after the first step.
struct Stepping {
    Acceleration acceleration;
    double x0, v0;
    double h;
    bool from_start;
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
    Stepping grid_;
    std::vector<Stepper> steppers_;
    std::vector<Departure> departures_;
    std::size_t alive_;
    double rows_ = 0;
};

// The largest |x - x_exact| over the rows, with the exact motion at the rows' own times (the
// running sum of h), and where; and the last row's error, which a run at half the step halves
// 2^p times for a method of order p.
struct ExactError {
    double largest = 0, at = 0;
    double end = 0, end_x = 0, end_t = 0;
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
