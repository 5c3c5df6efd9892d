#include "warnings/motion_warnings.hpp"

#include "motion/motion.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"
#include "stepmath/sampling.hpp"
#include "stepmath/time_grid.hpp"

#include <cmath>
#include <complex>

namespace osc {

namespace {

// The last row's time, a whole number of steps from t = 0.
double last_row(double h, double t_end) { return whole_steps(h, t_end) * h; }

// The step to offer, and how many of it reach t_run.
DrivenRemedy remedy(double w0, double beta, double wf, double h, double t_run, double max_steps)
{
    const double step = response_step(w0, beta, wf, h);
    if (step == 0.0) return {DrivenRemedy::Kind::none, h, step, 0.0};
    const double steps = steps_needed(step, t_run);
    if (steps > max_steps || !(t_run < stall_time(step)))
        return {DrivenRemedy::Kind::too_many_steps, h, step, steps};
    return {DrivenRemedy::Kind::step, h, step, steps};
}

// Rows every h of an oscillation of that period, if fewer than smooth_rows of them fall in one.
std::optional<SamplingFinding> judge_rows(SamplingFinding::Of of, double h, double period)
{
    const double rows = period / h;
    if (!(rows < smooth_rows)) return std::nullopt;
    if (rows >= nyquist_rows)
        return SamplingFinding{of, SamplingFinding::Kind::broken_line, period, h, rows, period};
    const double apparent = alias_period(period, h);
    return SamplingFinding{of, std::isinf(apparent) ? SamplingFinding::Kind::constant
                                                    : SamplingFinding::Kind::alias,
                           period, h, rows, apparent};
}

} // namespace

std::optional<DrivenFinding> driven_finding(const Motion &motion, double h, double t_end,
                                            double max_steps)
{
    const double w0 = motion.w0;
    const double beta = motion.beta;
    const double f = motion.f;
    const double wf = motion.wf;
    if (!(h > 0.0) || !std::isfinite(w0) || !std::isfinite(beta) || !std::isfinite(f) ||
        !std::isfinite(wf) || !std::isfinite(t_end) || f == 0.0)
        return std::nullopt;
    const double t_run = last_row(h, t_end);
    const double settled = transient_time(w0, beta, h);
    if (!(t_run > settled) || !(response_error(w0, beta, wf, h) > tolerance))
        return std::nullopt;

    const std::complex<double> computed = rk4_response(w0, beta, f, wf, h);
    const std::complex<double> exact = steady_amplitude(motion);
    return DrivenFinding{h * std::abs(wf), std::abs(computed), std::abs(exact),
                         std::arg(computed / exact),
                         remedy(w0, beta, wf, h, t_run, max_steps)};
}

std::vector<SamplingFinding> sampling_findings(const Motion &motion, double h, double t_end)
{
    const double w0 = motion.w0;
    const double beta = motion.beta;
    const double wf = motion.wf;
    std::vector<SamplingFinding> found;
    if (!(h > 0.0) || !std::isfinite(w0) || !std::isfinite(beta) || !std::isfinite(wf) ||
        !std::isfinite(t_end))
        return found;
    const double t_run = last_row(h, t_end);
    // A mode that the step makes unstable (as the step findings judge it) hides the rest.
    if (!(t_run >= h) || (beta >= 0.0 && free_log_gain(w0, beta, h) > 1e-12)) return found;
    const double period = damped_period(w0, beta); // the mode decays as e^(-β·t)
    if (std::isfinite(period) && h * horizon_steps(-beta * h, t_run / h) >= period)
        if (const auto rows = judge_rows(SamplingFinding::Of::free, h, period))
            found.push_back(*rows);
    const double forced = 2.0 * pi / std::abs(wf);
    if (t_run >= forced)
        if (const auto rows = judge_rows(SamplingFinding::Of::forced, h, forced))
            found.push_back(*rows);
    return found;
}

} // namespace osc
