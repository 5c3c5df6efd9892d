// What a fixed step does to the motion, found before the first step from the numbers of
// stepmath/. The homogeneous equation
//
//     x'' = -w0²·x - 2β·x'
//
// has the modes e^(λ·t), λ = -β ± sqrt(β² - w0²). One step h of the classical fourth-order
// Runge-Kutta method multiplies a mode by R(h·λ), where the exact motion multiplies it by
// e^(h·λ). The rules return findings (warnings/findings.hpp); warnings/wording.hpp says them.
#pragma once

#include "motion/motion.hpp"
#include "warnings/findings.hpp"

#include <limits>

namespace osc {

// The largest N a program takes with a step of its choosing.
double most_steps(Step step);

// Finds, once for each mode (an oscillation counts as one), a step that makes it unstable, or
// a computed motion that strays more than the tolerance of its amplitude from the exact one
// before the run ends or the exact mode has decayed (`decayed`), with whether the amplitude, the
// phase or both are off; and a run that goes backward in time, a time N·h that overflows, or
// numbers that grow past the largest double so that the rows turn to inf and nan. Nothing for
// a run of no step and for w0 or β that are not finite.
StepFindings step_findings(const Motion &motion, const Grid &grid);

// Finds where two consecutive rows of a run at step h up to t_end write the same time in six
// significant digits; with `index`, also the step index n = t/h written beside it. With h = 0,
// that time does not advance.
std::optional<RepeatFinding> repeated_times(double h, double t_end, bool index);

// Finds a run that writes the state at t = 0 and ends at `end` (N·h, or a final time) before
// its first step h, so that its one row draws nothing. `steps` is the N asked, or NaN where the
// end is asked as a time.
std::optional<OneRowFinding> one_row(double end, double h,
                                     double steps = std::numeric_limits<double>::quiet_NaN());

// Finds an N with a fraction, which a program of whole steps (an int) refuses, beside an h that
// would do as its count of steps, and N as a step forward.
std::optional<SwapFinding> swapped_count(double steps, double h);

} // namespace osc
