// What a fixed step does to the motion, said before the first step, in sentences built from
// the numbers of stepmath/. The homogeneous equation
//
//     x'' = -w0²·x - 2β·x'
//
// has the modes e^(λ·t), λ = -β ± sqrt(β² - w0²). One step h of the classical fourth-order
// Runge-Kutta method multiplies a mode by R(h·λ), where the exact motion multiplies it by
// e^(h·λ). The warnings go to standard error as "program: aviso: ..."; the run goes on.
#pragma once

namespace osc {

// How a student makes h·|λ| smaller: with a smaller step, N steps of it reaching the same end,
// or, where the step is fixed, with smaller constants k/m and b/m.
enum class Step { chosen, fixed };

// Warns once for each mode (an oscillation counts as one) that the step h makes unstable, or
// whose computed amplitude strays more than 1% from the exact one before the run ends at
// t_end or the exact mode has decayed to 1%. Quiet for h <= 0, a run of no step, and w0 or β
// that are not finite.
void warn_step(const char *program, double h, double w0, double beta, double t_end, Step step);

// Warns when two consecutive rows of a run at step h up to t_end write the same time in six
// significant digits, naming the time from which they do; with `index`, also the step index
// n = t/h written beside it.
void warn_repeated_times(const char *program, double h, double t_end, bool index);

} // namespace osc
