// What a fixed step does to the motion, said before the first step, in sentences built from
// the numbers of stepmath/. The homogeneous equation
//
//     x'' = -w0²·x - 2β·x'
//
// has the modes e^(λ·t), λ = -β ± sqrt(β² - w0²). One step h of the classical fourth-order
// Runge-Kutta method multiplies a mode by R(h·λ), where the exact motion multiplies it by
// e^(h·λ). The warnings go to standard error as "program: aviso: ..."; the run goes on.
#pragma once

#include "motion/motion.hpp"

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

// Warns once for each mode (an oscillation counts as one) that the step makes unstable, or
// whose computed motion strays more than 1% of its amplitude from the exact one before the
// run ends or the exact mode has decayed to 1%, saying whether the amplitude, the phase or both
// are off; and when the run goes backward in time, when its time N·h overflows, or when its
// numbers grow past the largest double and the rows turn to inf and nan. Quiet for a run of no
// step and for w0 or β that are not finite.
void warn_step(const char *program, const Motion &motion, const Grid &grid);

// Warns when two consecutive rows of a run at step h up to t_end write the same time in six
// significant digits, naming the time from which they do; with `index`, also the step index
// n = t/h written beside it. With h = 0, says that time does not advance.
void warn_repeated_times(const char *program, double h, double t_end, bool index);

} // namespace osc
