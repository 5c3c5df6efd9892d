#include "warnings/step_warnings.hpp"

#include "stepmath/rk4.hpp"
#include "stepmath/time_grid.hpp"
#include "text/written_alike.hpp"
#include "warnings/run_error.hpp"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <complex>
#include <vector>

namespace osc {

namespace {

using Complex = std::complex<double>;

// What would keep the mode within the tolerance: for a fixed step, smaller constants or a
// shorter run; otherwise a smaller step and the N that reaches the same end, if the program
// accepts one.
Remedy remedy(const Grid &grid, Complex z, double judged)
{
    const double h = grid.h;
    const double t_end = grid.steps * h;
    const bool by_length = strays_by_length(z, judged);
    if (grid.step == Step::fixed) {
        if (by_length) return {Remedy::Kind::shorter_run, true, h, grid.steps,
                               steps_within(z, judged) * h};
        return {Remedy::Kind::constants, false, h, grid.steps, t_end};
    }
    const double smaller = accurate_step(z, h, judged);
    if (std::isnan(smaller)) return {Remedy::Kind::no_step, by_length, smaller, 0.0, t_end};
    const double most = most_steps(grid.step);
    const double steps = steps_to_reach(t_end, smaller, most);
    if (!std::isnan(steps)) return {Remedy::Kind::step, by_length, smaller, steps, t_end};
    if (!std::isfinite(t_end)) return {Remedy::Kind::end_not_finite, by_length, smaller, 0.0, t_end};
    const double needed = steps_needed(smaller, t_end);
    if (needed > most) return {Remedy::Kind::too_many_steps, by_length, smaller, most, t_end};
    return {Remedy::Kind::stalls, by_length, smaller, needed, t_end};
}

// How the computed oscillation turns against the exact one. A phase that drifts a little each
// step is said as the phase at the horizon, even past a half turn; a step that turns far from
// the exact turn (or the other way) is said as the turn of one step.
Turn turn(Complex z, const Deviation &d, double h)
{
    const double computed = rk4_log_factor(z).imag(); // arg R(z), in (-π, π]
    const double exact = z.imag();
    const double turn_time = 2.0 * pi * std::abs(h); // a turn of 2π, at |h| a step
    const bool drifts = computed * exact > 0.0 && std::abs(exact) <= pi &&
                        (std::abs(d.phase) <= pi ||
                         std::abs(computed - exact) <= tolerance * std::abs(exact));
    return {!drifts, computed, exact, d.phase, turn_time / std::abs(computed),
            turn_time / std::abs(exact)};
}

// How the method changes the amplitude of a mode against the physics.
ModeFinding::Effect effect(Complex z, double log_amplitude)
{
    using Effect = ModeFinding::Effect;
    const bool smaller = log_amplitude < 0.0;
    if (z.real() > 0.0) {
        if (rk4_log_gain(z) < 0.0) return Effect::decays_growing;
        return smaller ? Effect::grows_slower : Effect::grows_faster;
    }
    if (z.real() == 0.0) return Effect::damps_undamped;
    return smaller ? Effect::damps_faster : Effect::damps_slower;
}

// What the step does to the mode z, judged over `judged` steps, if it is worth saying.
std::optional<ModeFinding> judge(const Grid &grid, Complex z, Cause cause, double judged)
{
    if (!std::isfinite(std::abs(z))) return std::nullopt;
    ModeFinding found{};
    found.z = z;
    found.cause = cause;
    if (rk4_unstable(z)) {
        found.kind = ModeFinding::Kind::unstable;
        found.limit = rk4_stability_limit(z);
        found.remedy = remedy(grid, z, judged);
        return found;
    }
    const Deviation d = deviation(z, judged);
    if (d.largest <= tolerance) return std::nullopt; // within the tolerance all along
    found.remedy = remedy(grid, z, judged); // searched for only where there is something to mend
    found.deviation = d;
    found.turn = turn(z, d, grid.h);
    const double amplitude_share = std::abs(std::expm1(d.log_amplitude));
    if (amplitude_share <= tolerance) {
        found.kind = ModeFinding::Kind::phase;
        found.amplitude_said = amplitude_share >= tolerance / 10.0;
        return found;
    }
    found.kind = ModeFinding::Kind::amplitude;
    found.effect = effect(z, d.log_amplitude);
    found.phase_off = z.imag() != 0.0 && (std::abs(d.phase) > pi ||
                                          2.0 * std::abs(std::sin(0.5 * d.phase)) > tolerance);
    return found;
}

// The rate at which the fastest growing mode grows along the run, per unit of |t|; 0 when none
// grows.
double growth_rate(const std::vector<Complex> &zs, double h)
{
    double growth = 0.0;
    for (const Complex z : zs) growth = std::max(growth, z.real() / std::abs(h));
    return growth;
}

// The numbers of the rows passing the largest double, where the step is stable: from the step
// `step` the sums of a step may, and from `sure` on the rows themselves do.
OverflowFinding overflow(double growth, double h, double step, double sure)
{
    using Kind = OverflowFinding::Kind;
    using Cause = OverflowFinding::Cause;
    if (step == 0.0 && std::isnan(sure)) return {Kind::start, Cause::start, 0.0};
    const Cause cause = growth > 0.0 ? (h < 0.0 ? Cause::backward_growth : Cause::growth)
                                     : Cause::start;
    return {std::isnan(sure) ? Kind::near : Kind::reaches, cause, step * h};
}

// Whether the motion starts on the steady motion that the force drives, within the tolerance
// of its amplitude, so that the exact motion has no free part to speak of.
bool starts_steady(const Motion &motion)
{
    if (motion.f == 0.0 || motion.wf == 0.0 || !(motion.w0 > 0.0)) return false;
    const Complex X = steady_amplitude(motion); // x = Im(X·e^(i·wf·t))
    const double free =
        std::hypot(motion.x0 - X.imag(), (motion.v0 - motion.wf * X.real()) / motion.w0);
    return free <= tolerance * std::abs(X);
}

} // namespace

double most_steps(Step step) { return step == Step::chosen_int ? INT_MAX : HUGE_VAL; }

StepFindings step_findings(const Motion &motion, const Grid &grid)
{
    StepFindings found{};
    found.w0 = motion.w0;
    found.beta = motion.beta;
    found.x0 = motion.x0;
    found.v0 = motion.v0;
    found.grid = grid;
    found.run_error = std::nan("");
    found.run_until = std::nan("");
    const double h = grid.h;
    if (!(grid.steps >= 1.0) || !std::isfinite(h) || !std::isfinite(motion.w0) ||
        !std::isfinite(motion.beta))
        return found;
    const std::vector<Complex> zs = step_modes(h, motion.w0, motion.beta);
    const double growth = growth_rate(zs, h);
    found.backward = h < 0.0;
    found.growth = growth;
    found.time_overflows = !std::isfinite(grid.steps * h);
    if (found.time_overflows) {
        const double estimate = std::floor(DBL_MAX / std::abs(h)) + 1.0;
        found.overflow_step_estimated = estimate > 1000.0;
        found.overflow_step = estimate;
        if (!found.overflow_step_estimated) {
            double t = 0.0;
            double n = 0.0;
            while (std::isfinite(t)) {
                t = t + h;
                n += 1.0;
            }
            found.overflow_step = n;
        }
    }
    const auto overflow_from = [&](double factor) {
        return overflow_step(h, motion.w0, motion.beta, motion.f, motion.wf, motion.x0,
                             motion.v0, grid.steps, factor);
    };
    // Rows that are all exactly 0 show no error, however the step treats the modes.
    if (at_rest(motion)) return found;
    const double overflows = overflow_from(stage_factor(motion.w0, motion.beta));
    // Past the overflow there is nothing left to compare.
    const double judged = std::isnan(overflows) ? grid.steps : overflows;
    bool unstable = false;
    for (std::size_t i = 0; i < zs.size(); ++i) {
        if (zs[i] == 0.0) continue; // a mode that stays still
        // Two decays: the damping makes the fast one large, spring and damping the slow one.
        const Cause cause = zs[i].imag() != 0.0                 ? Cause::spring
                            : zs.size() == 2 && i == 0 ? Cause::damping
                                                                : Cause::both;
        if (const auto mode = judge(grid, zs[i], cause, judged)) {
            found.modes.push_back(*mode);
            unstable = unstable || mode->kind == ModeFinding::Kind::unstable;
        }
    }
    // Amplitude and phase are worth a word where the rows stray from the exact motion, and
    // the exact motion has a free part to speak of.
    found.run_error = run_error(motion, h, judged);
    found.run_until = judged * h;
    const bool strays = found.run_error > tolerance;
    if (!strays || starts_steady(motion))
        found.modes.erase(std::remove_if(found.modes.begin(), found.modes.end(),
                                         [](const ModeFinding &mode) {
                                             return mode.kind != ModeFinding::Kind::unstable;
                                         }),
                          found.modes.end());
    if (strays && found.modes.empty()) {
        const bool fixed = grid.step == Step::fixed;
        const double step = fixed ? std::nan("") : run_error_step(motion, h, judged);
        const double steps = steps_to_reach(judged * h, step, most_steps(grid.step));
        found.run = RunErrorFinding{fixed, std::isnan(steps) ? std::nan("") : step, steps};
    }
    if (!unstable && !std::isnan(overflows))
        found.overflow = overflow(growth, h, overflows, overflow_from(1.0));
    return found;
}

std::optional<RepeatFinding> repeated_times(double h, double t_end, bool index)
{
    if (h == 0.0) return RepeatFinding{true, h, 0.0, std::nan("")};
    // Backward in time the grid is the forward one with its signs turned.
    const double size = std::abs(h);
    const double end = std::copysign(1.0, h) * t_end;
    if (!std::isfinite(h) || !(end >= 0.0) || !std::isfinite(end)) return std::nullopt;
    const double t = first_written_alike(size, end);
    if (std::isnan(t)) return std::nullopt;
    const double n = index ? first_written_alike(1.0, end / size) : std::nan("");
    return RepeatFinding{false, h, h < 0.0 && t > 0.0 ? -t : t, n};
}

std::optional<OneRowFinding> one_row(double end, double h, double steps)
{
    // The first step takes t from 0 to h, and a row is written while end >= t.
    if (!(end >= 0.0 && end < h)) return std::nullopt;
    // Read the other way round, N·h is the same end, to which steps of N must take one step.
    const bool swapped = steps > 0.0 && end >= steps && grid_ends(steps, end);
    return OneRowFinding{end, h, steps, swapped};
}

std::optional<SwapFinding> swapped_count(double steps, double h)
{
    if (!(steps > 0.0 && std::isfinite(steps) && steps != std::floor(steps))) return std::nullopt;
    if (!(h >= 1.0 && h <= most_steps(Step::chosen_int) && h == std::floor(h))) return std::nullopt;
    return SwapFinding{steps, h, running_sum(steps, h)};
}

} // namespace osc
