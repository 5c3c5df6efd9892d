// The error a student measures from a run's rows against the exact motion: the largest
// |x - x_exact| over the rows, as a share of the largest |x_exact|, amplitude and phase
// together. Numbers only.
#pragma once

#include "warnings/step_warnings.hpp"

namespace osc {

// Whether every row of the motion is exactly 0: it starts at rest and no force moves it.
bool at_rest(const Motion &motion);

// The share for the rows t = 0, h, ..., steps·h, the rows computed by classical RK4. Past the
// first million steps the rows are not run: a mode that has not decayed (`decayed`) by then adds
// its own largest relative error over the whole run. NaN where x_exact is 0 on every row.
double run_error(const Motion &motion, double h, double steps);

// The largest step with h's sign whose size is 1, 2 or 5 times a power of ten, below |h|, whose
// rows up to the same end (steps·h) keep the share within the tolerance; NaN where none down to
// a millionth of h does, or its rows would be more than a million.
double run_error_step(const Motion &motion, double h, double steps);

} // namespace osc
