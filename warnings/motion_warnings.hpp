// What the rows will show of the motion, said before the first step, in sentences built from
// the numbers of stepmath/driven.hpp and stepmath/sampling.hpp: the steady oscillation that a
// driving force f·sin(wf·t) leaves once the transient has died out, against the exact one, and
// rows too far apart to draw an oscillation as a curve. The equation is
//
//     x'' = -w0²·x - 2β·x' + f·sin(wf·t).
//
// The warnings go to standard error as "program: aviso: ..."; the run goes on.
#pragma once

#include "warnings/step_warnings.hpp"

#include <limits>

namespace osc {

// Warns when the run at step h lasts beyond the transient and the steady oscillation that the
// method computes differs from the exact one by more than 1% (relative difference of the
// complex amplitudes), offering a step, and the N of it that reaches the same end, under 1%.
// A step whose N would pass max_steps, or whose running sum of time would stall before the
// end, is not offered. Quiet for h <= 0, values that are not finite, and a run of no step.
void warn_driven(const char *program, const Motion &motion, double h, double t_end,
                 double max_steps = std::numeric_limits<double>::infinity());

// Warns when rows every h up to t_end give fewer than ten rows a period of an oscillation that
// they show: the free oscillation (β² < w0²) while it lasts a whole period before the run ends
// or it decays to 1%, and the oscillation at wf (0 for none) once the run lasts a period.
// Names the period, the rows a period and what a plot of them will show. Quiet where the step
// makes a free mode unstable (the step warnings say so), for h <= 0 and values that are not
// finite.
void warn_rows(const char *program, const Motion &motion, double h, double t_end);

} // namespace osc
