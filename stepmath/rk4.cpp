#include "stepmath/rk4.hpp"

#include "motion/motion.hpp"
#include "stepmath/bisect.hpp"
#include "stepmath/matrix.hpp"
#include "stepmath/time_grid.hpp"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace osc {

using Complex = std::complex<double>;

namespace {

// An angle brought into [-π, π].
double wrapped(double angle) { return std::remainder(angle, 2.0 * pi); }

// bisect() for whole counts, down to neighbours.
template <typename Fails>
void bisect_whole(double &good, double &bad, Fails fails)
{
    while (bad - good > 1.0) {
        const double middle = std::floor(0.5 * (good + bad));
        (fails(middle) ? bad : good) = middle;
    }
}

} // namespace

Complex rk4_factor(Complex z)
{
    return 1.0 + z * (1.0 + z / 2.0 * (1.0 + z / 3.0 * (1.0 + z / 4.0))); // Horner's form
}

Complex rk4_log_factor(Complex z)
{
    if (std::abs(z) < 1e30) return std::log(rk4_factor(z));
    // R(z) = z⁴/24 · (1 + 4/z + 12/z² + 24/z³ + 24/z⁴): its logarithm without forming z⁴.
    const Complex u = 1.0 / z;
    const Complex rest = 1.0 + 4.0 * u * (1.0 + 3.0 * u * (1.0 + 2.0 * u * (1.0 + u)));
    const Complex log_z = std::log(z);
    return {4.0 * log_z.real() - std::log(24.0) + std::log(std::abs(rest)),
            wrapped(4.0 * log_z.imag() + std::arg(rest))};
}

Complex rk4_log_error(Complex z)
{
    if (std::abs(z) >= 1.0) {
        const Complex difference = rk4_log_factor(z) - z;
        return {difference.real(), wrapped(difference.imag())};
    }
    // R(z) = e^z - (z⁵/5! + z⁶/6! + ...), so R(z)/e^z = 1 + w with w = -e^(-z)·(the tail): the
    // tail summed term by term keeps the digits that R(z) - e^z would lose.
    Complex term = z * z * z * z * z / 120.0;
    Complex tail = 0.0;
    for (int k = 6; k <= 30; ++k) {
        tail += term;
        term *= z / static_cast<double>(k);
    }
    const Complex w = -std::exp(-z) * tail;
    return {0.5 * std::log1p(2.0 * w.real() + std::norm(w)), // ln|1 + w|
            std::atan2(w.imag(), 1.0 + w.real())};
}

double rk4_log_gain(Complex z)
{
    // Near 0, ln|R| is Re z plus a drift many orders smaller: summed, not subtracted.
    return std::abs(z) < 1.0 ? z.real() + rk4_log_error(z).real() : rk4_log_factor(z).real();
}

bool rk4_unstable(Complex z) { return z.real() <= 0.0 && rk4_log_gain(z) > 1e-12; }

double rk4_stability_limit(Complex z)
{
    // Along every ray of the left half-plane |R| crosses 1 once, before |z| = 3.
    const Complex ray = z / std::abs(z);
    double inside = 0.0;
    double outside = 4.0;
    bisect(inside, outside, [&](double size) { return rk4_log_gain(size * ray) > 0.0; }, 100);
    return 0.5 * (inside + outside);
}

std::vector<Complex> step_modes(double h, double w0, double beta)
{
    if (h == 0.0 || !(std::max(w0, std::abs(beta)) > 0.0)) return {};
    const auto z = free_roots(w0, beta, h);
    if (z[0].imag() != 0.0 || z[0] == z[1]) return {z[0]}; // an oscillation, a double root
    return {z[0], z[1]};
}

double decay_time(double rate) { return std::log(1.0 / decayed) / rate; }

double horizon_steps(Complex z, double steps)
{
    return z.real() < 0.0 ? std::min(steps, decay_time(-z.real())) : steps;
}

Deviation deviation(Complex z, double steps)
{
    const double n = horizon_steps(z, steps);
    const Complex per_step = rk4_log_error(z);
    const double a = n * per_step.real();
    const double phi = n * per_step.imag();
    // |e^(a + iφ) - 1| from its parts, each without cancellation.
    const double half = std::sin(0.5 * phi);
    const double largest = std::hypot(std::expm1(a) * std::cos(phi) - 2.0 * half * half,
                                      std::exp(a) * std::sin(phi));
    // Once the phase has gone round by half a turn the two motions have stood opposite.
    const double opposite = std::abs(phi) > pi
                                ? 1.0 + std::exp(pi / std::abs(per_step.imag()) * per_step.real())
                                : 0.0;
    return {n, a, phi, std::max(largest, opposite)};
}

bool strays(Complex z, double steps) { return !(deviation(z, steps).largest <= tolerance); }

bool strays_by_length(Complex z, double steps)
{
    // A step that takes more than ten turns at once is not small.
    const double turns = 20.0 * pi / std::abs(z);
    if (!(turns >= 1.0)) return false;
    return horizon_steps(z, steps) > turns && !strays(z, turns) && strays(z, steps);
}

double steps_within(Complex z, double steps)
{
    if (!strays(z, steps)) return steps;
    double good = 0.0;
    double bad = steps;
    bisect_whole(good, bad, [&](double n) { return strays(z, n); });
    return good;
}

double accurate_step(Complex z, double h, double steps)
{
    const double size = std::abs(h);
    const auto strays_at = [&](double step) {
        return strays(z * (step / size), steps * (size / step));
    };
    double good = size;
    while (good > 0.0 && strays_at(good)) good /= 2.0;
    if (!(good > 0.0)) return std::numeric_limits<double>::quiet_NaN();
    double bad = good + good;
    bisect(good, bad, strays_at, 60);
    // The step as a student types it, "5e-2", and as the program then reads it.
    const auto typed = [](int leading, int exponent) {
        return std::strtod((std::to_string(leading) + "e" + std::to_string(exponent)).c_str(),
                           nullptr);
    };
    int exponent = static_cast<int>(std::floor(std::log10(good)));
    int leading = 1;
    for (const int candidate : {5, 2})
        if (typed(candidate, exponent) <= good) {
            leading = candidate;
            break;
        }
    while (strays_at(typed(leading, exponent)) && exponent > DBL_MIN_10_EXP) --exponent;
    return std::copysign(typed(leading, exponent), h);
}

double steps_to_reach(double t_end, double h, double most)
{
    const double steps = steps_needed(h, t_end);
    if (!(steps <= most) || !(std::abs(steps * h) < stall_time(std::abs(h))))
        return std::numeric_limits<double>::quiet_NaN();
    return steps;
}

namespace {

using Matrix = Matrix2<double>;

Matrix plus_identity(const Matrix &p) { return {p[0] + 1.0, p[1], p[2], p[3] + 1.0}; }

Matrix over(const Matrix &p, double divisor)
{
    return {p[0] / divisor, p[1] / divisor, p[2] / divisor, p[3] / divisor};
}

// e^log_size times a matrix whose largest entry is 1: powers of any size without overflow.
struct Scaled {
    Matrix m;
    double log_size;
};

Scaled scaled(const Matrix &m, double log_size)
{
    double largest = 0.0;
    for (const double entry : m) largest = std::max(largest, std::abs(entry));
    if (!(largest > 0.0)) return {m, log_size};
    return {over(m, largest), log_size + std::log(largest)};
}

Scaled power(const Matrix &step, double n)
{
    Scaled result{{1.0, 0.0, 0.0, 1.0}, 0.0};
    Scaled base = scaled(step, 0.0);
    for (; n >= 1.0; n = std::floor(n / 2.0)) {
        if (std::fmod(n, 2.0) == 1.0)
            result = scaled(product(result.m, base.m), result.log_size + base.log_size);
        base = scaled(product(base.m, base.m), 2.0 * base.log_size);
    }
    return result;
}

} // namespace

double stage_factor(double w0, double beta)
{
    return 6.0 * std::max(1.0, w0 * w0 + 2.0 * std::abs(beta));
}

double overflow_step(double h, double w0, double beta, double f, double wf, double x0,
                     double v0, double steps, double factor)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    // One step maps (x, v) by R(h·A), A = [0 1; -w0² -2β], in Horner's form.
    const Matrix b = {0.0, h, -(h * w0) * w0, -(h * beta + h * beta)};
    Matrix step = plus_identity(over(b, 4.0));
    for (const double k : {3.0, 2.0, 1.0}) step = plus_identity(product(over(b, k), step));
    for (const double entry : step)
        if (!std::isfinite(entry)) return none;
    // What grows is the start's difference from the forced motion Im(F·e^(i·wf·t)).
    double x = x0;
    double v = v0;
    if (f != 0.0) {
        const Complex forced = steady_amplitude({w0, beta, f, wf, x0, v0});
        if (std::isfinite(std::abs(forced))) {
            x -= forced.imag();
            v -= wf * forced.real();
        }
    }
    const double start = std::max(std::abs(x), std::abs(v));
    if (!(start > 0.0)) return none;
    x /= start;
    v /= start;
    const double room = std::log(DBL_MAX) - std::log(start) - std::log(factor);
    const auto too_large = [&](double n) {
        const Scaled p = power(step, n);
        const double size =
            std::max(std::abs(p.m[0] * x + p.m[1] * v), std::abs(p.m[2] * x + p.m[3] * v));
        return p.log_size + std::log(size) > room;
    };
    if (too_large(0.0)) return 0.0;
    if (!too_large(steps)) return none;
    double fine = 0.0;
    double large = steps;
    bisect_whole(fine, large, too_large);
    return large;
}

} // namespace osc
