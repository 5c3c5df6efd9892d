// What the rows will show of the motion, found before the first step from the numbers of
// stepmath/driven.hpp and stepmath/sampling.hpp: the steady oscillation that a driving force
// f·sin(wf·t) leaves once the transient has died out, against the exact one, and rows too far
// apart to draw an oscillation as a curve. The equation is
//
//     x'' = -w0²·x - 2β·x' + f·sin(wf·t).
//
// The rules return findings (warnings/findings.hpp); warnings/wording.hpp says them.
#pragma once

#include "warnings/step_warnings.hpp"

#include <limits>

namespace osc {

// Finds a run at step h that lasts beyond the transient while the steady oscillation that the
// method computes differs from the exact one by more than the tolerance (relative difference
// of the complex amplitudes), with a step, and the N of it that reaches the same end, within
// it. A step whose N would pass max_steps, or whose running sum of time would stall before the
// end, is not offered. Nothing for h <= 0, values that are not finite, and a run of no step.
std::optional<DrivenFinding> driven_finding(const Motion &motion, double h, double t_end,
                                            double max_steps =
                                                std::numeric_limits<double>::infinity());

// Finds where rows every h up to t_end give fewer than ten rows a period of an oscillation
// that they show: the free oscillation (β² < w0²) while it lasts a whole period before the run
// ends or it has decayed, and the oscillation at wf (0 for none) once the run lasts a period.
// Nothing where the step makes a free mode unstable (the step findings say so), for h <= 0
// and values that are not finite.
std::vector<SamplingFinding> sampling_findings(const Motion &motion, double h, double t_end);

} // namespace osc
