// What the rules before a run find, as numbers: each warning rule returns one of these, and
// warnings/wording.hpp alone turns them into sentences. A finding that is absent (an empty
// optional, an empty list) is a rule that has nothing to say.
#pragma once

#include "stepmath/rk4.hpp"

#include <complex>
#include <optional>
#include <vector>

namespace osc {

// How a student makes h·|λ| smaller: with a smaller step and the N steps of it that reach the
// same end (N any number, or N an int), or, where the step is fixed, with smaller constants
// k/m and b/m.
enum class Step { fixed, chosen, chosen_int };

// The run: `steps` steps of h from t = 0 to the last row (a negative h runs backward in time).
struct Grid {
    double h, steps;
    Step step;
};

// What would keep a mode within the tolerance.
struct Remedy {
    enum class Kind {
        shorter_run,    // the step is fixed; up to t = `until` the mode stays within
        constants,      // the step is fixed and already too large: smaller constants would do
        step,           // the step `h`, and the `steps` of it that reach the same end
        no_step,        // no step keeps the mode within up to the end
        end_not_finite, // the step `h` would do, but N·h is not finite
        too_many_steps, // the step `h` would do, but needs more than `steps`, the most accepted
        stalls,         // the step `h` would do with `steps`, but the running sum stalls first
    } kind;
    bool by_length; // h·|λ| is small, and the steps of the run add up its error
    double h, steps, until;
};

// Which constants make a mode's h·|λ| large.
enum class Cause { spring, damping, both };

// How the computed oscillation turns against the exact one.
struct Turn {
    bool per_step;         // said as the turn of one step (it turns far from the exact turn)
    double step, exact;    // the turn of one step, computed and exact, in radians
    double phase;          // the phase at the horizon: ahead of the exact one if of `exact`'s sign
    double period, exact_period;
};

// What the step does to one mode e^(λ·t) of the free motion, z = h·λ.
struct ModeFinding {
    enum class Kind {
        unstable,  // the step makes the mode grow, whatever the physics
        phase,     // the amplitude is within the tolerance, the position strays
        amplitude, // the amplitude strays (and, with `phase_off`, the phase too)
    } kind;
    enum class Effect { decays_growing, grows_slower, grows_faster, damps_undamped,
                        damps_faster, damps_slower } effect;
    std::complex<double> z;
    Cause cause;
    double limit;        // unstable: h·|λ| at the stability limit on z's ray
    Deviation deviation; // over the steps judged
    bool amplitude_said; // phase: the amplitude is off by a tenth of the tolerance or more
    bool phase_off;      // amplitude: the phase is off by more than the tolerance too
    Turn turn;
    Remedy remedy;
};

// The numbers of the rows pass the largest double: from `time` on the sums of one step may
// (near) or the rows themselves do (reaches); at the start (start), x0 and v0 are that near.
struct OverflowFinding {
    enum class Kind { start, near, reaches } kind;
    enum class Cause { backward_growth, growth, start } cause; // growth: StepFindings::growth
    double time;
};

// The run's own error (warnings/run_error.hpp) above the tolerance, where no mode's finding
// says it. The step `h` (NaN: none found) and the `steps` of it keep it within, unless the
// step is fixed.
struct RunErrorFinding {
    bool fixed;
    double h, steps;
};

// Everything the step warnings find, in the order they are said.
struct StepFindings {
    // The motion and the run judged, for the sentences to name them.
    double w0, beta, x0, v0;
    Grid grid;
    bool backward;               // h < 0
    double growth;               // the rate at which the fastest mode grows, per unit of |t|
                                 // (0: none); backward in time, the damping's
    bool time_overflows;         // N·h is not finite
    double overflow_step;        // the step at which the running sum of time reaches inf
    bool overflow_step_estimated; // that step is an estimate, the sum being too long to run
    std::vector<ModeFinding> modes;
    double run_error, run_until; // the run's own error up to t = run_until; NaN: not measured
    std::optional<RunErrorFinding> run;
    std::optional<OverflowFinding> overflow;
};

// The time of a mode's horizon: the steps judged, of h.
inline double horizon_time(const ModeFinding &mode, const Grid &grid)
{
    return mode.deviation.steps * grid.h;
}

// Consecutive rows write the same time in six significant digits from t on (and, where n is
// not NaN, the same step index from n on); or h = 0 and time does not advance.
struct RepeatFinding {
    bool still; // h = 0
    double h, t, n;
};

// What would bring the computed steady oscillation of a driven run within the tolerance.
struct DrivenRemedy {
    enum class Kind { none, too_many_steps, step } kind;
    double h_now; // the run's step: none below a millionth of it does
    double h, steps;
};

// The steady oscillation of a driven run, computed against exact, once the transient is over.
struct DrivenFinding {
    double h_wf;
    double amplitude, exact_amplitude, phase; // phase: computed minus exact, in radians
    DrivenRemedy remedy;
};

// Rows every h give fewer than smooth_rows rows a period of an oscillation that they show.
struct SamplingFinding {
    enum class Of { free, forced } of;
    enum class Kind { broken_line, constant, alias } kind;
    double period, h, rows;
    double apparent; // alias: the period of the false oscillation
};

// Whether the rows fit on the disk: at their typical length (else refused) and at their
// longest (else warned); and, where they fit, whether they are many (large: told their size).
struct DiskFinding {
    enum class Kind { fits, large, may_not_fit, cannot_fit } kind;
    double bytes, rows, room; // bytes: typical when refused or large, longest otherwise
};

// The rows of the run found before its first step: the state at t = 0 is the only one, the
// run ending at `end` (N·h, or harmosc's final time) before the first step h. `steps` is the N
// asked, NaN where a final time is; `swapped`: read the other way round, N and h would take
// steps of N up to the same end.
struct OneRowFinding {
    double end, h, steps;
    bool swapped;
};

// N and h of a program that takes N whole steps, read the other way round: N, which has a
// fraction, as a step forward, h as the count of steps; they would take t from 0 to `end`.
struct SwapFinding {
    double steps, h, end;
};

} // namespace osc
