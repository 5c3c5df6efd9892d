#include "warnings/run_error.hpp"

#include "motion/motion.hpp"
#include "stepmath/ladder.hpp"
#include "stepmath/rk4.hpp"
#include "stepmath/time_grid.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <optional>

namespace osc {

namespace {

// The rows that are run; past them the modes are judged by their formulas.
const double rows_run = 1e6;

using Vector = std::complex<double>; // x + i·v

Vector slope(const Motion &m, double t, Vector s)
{
    return {s.imag(), -m.w0 * m.w0 * s.real() - 2.0 * m.beta * s.imag() +
                          m.f * std::sin(m.wf * t)};
}

} // namespace

bool at_rest(const Motion &motion)
{
    return motion.x0 == 0.0 && motion.v0 == 0.0 && (motion.f == 0.0 || motion.wf == 0.0);
}

double run_error(const Motion &motion, double h, double steps)
{
    double largest = std::abs(motion.x0);
    double error = 0.0;
    Vector s(motion.x0, motion.v0);
    const double run = std::min(steps, rows_run);
    const ExactMotion exact_along = exact_motion(motion);
    for (double n = 0.0; n < run; ++n) {
        const double t = n * h;
        const Vector k1 = slope(motion, t, s);
        const Vector k2 = slope(motion, t + 0.5 * h, s + 0.5 * h * k1);
        const Vector k3 = slope(motion, t + 0.5 * h, s + 0.5 * h * k2);
        const Vector k4 = slope(motion, t + h, s + h * k3);
        s += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
        const double exact = exact_state(exact_along, t + h).x;
        if (!std::isfinite(s.real()) || !std::isfinite(exact)) break; // the rows end in inf
        largest = std::max(largest, std::abs(exact));
        error = std::max(error, std::abs(s.real() - exact));
    }
    if (!(largest > 0.0)) return std::nan("");
    double share = error / largest;
    if (steps > run)
        for (const std::complex<double> z : step_modes(h, motion.w0, motion.beta))
            if (horizon_steps(z, steps) > run) share = std::max(share, deviation(z, steps).largest);
    return share;
}

double run_error_step(const Motion &motion, double h, double steps)
{
    const double t_end = steps * h;
    const double size = std::abs(h);
    if (!(size > 0.0) || !std::isfinite(size)) return std::nan("");
    const auto rung = [&](double offered) -> std::optional<double> {
        // The double that the step's text reads as, as the student will type it.
        const double step = std::strtod(text(std::copysign(offered, h)).c_str(), nullptr);
        if (!(std::abs(step) < size)) return std::nullopt;
        const double needed = steps_needed(std::abs(step), std::abs(t_end));
        if (needed > rows_run) return std::nan("");
        if (run_error(motion, step, needed) <= tolerance) return step;
        return std::nullopt;
    };
    return ladder_step(size, rung, std::nan(""));
}

} // namespace osc
