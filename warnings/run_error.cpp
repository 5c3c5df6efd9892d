#include "warnings/run_error.hpp"

#include "methods/methods.hpp"
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

// x'' of the motion, in the order of its equation.
Acceleration acceleration(const Motion &m)
{
    return [&m](double t, double x, double v) {
        return -m.w0 * m.w0 * x - 2.0 * m.beta * v + m.f * std::sin(m.wf * t);
    };
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
    double x = motion.x0;
    double v = motion.v0;
    const double run = std::min(steps, rows_run);
    const ExactMotion exact_along = exact_motion(motion);
    const Acceleration a = acceleration(motion);
    for (double n = 0.0; n < run; ++n) {
        const double t = n * h;
        rk4(a, h, t, x, v);
        const double exact = exact_state(exact_along, t + h).x;
        if (!std::isfinite(x) || !std::isfinite(exact)) break; // the rows end in inf
        largest = std::max(largest, std::abs(exact));
        error = std::max(error, std::abs(x - exact));
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
