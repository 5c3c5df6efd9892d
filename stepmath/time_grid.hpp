// The time grid 0, h, 2h, ... of a run: where its running sum stops advancing, and how many
// steps reach an end.
#pragma once

namespace osc {

// Once the running sum t = t + h reaches the lowest power of two whose half ulp is at least h
// (h > 0), adding h no longer changes it: a final time at or beyond that point is never passed.
double stall_time(double h);

// Whether the running sum t = 0, h, h + h, ... ever exceeds t_end, so that a loop while
// t_end >= t ends: a zero or negative h never climbs past an end time >= 0.
bool grid_ends(double h, double t_end);

// The whole steps h from t = 0 to the last row at or before t_end, allowing for the rounding of
// t_end/h (a final time of 0.3 at h = 0.1 has three steps, not 2.9999999999999996).
double whole_steps(double h, double t_end);

// The fewest whole steps h from t = 0 that reach t_end, N·h >= t_end, allowing for the rounding
// of t_end/h.
double steps_needed(double h, double t_end);

// The time after `steps` whole steps of the running sum t = t + h from t = 0.
double running_sum(double h, double steps);

} // namespace osc
