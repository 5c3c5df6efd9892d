// Rows written every h sample an oscillation of period T at T/h rows a period; a plot joins
// them with straight segments. Numbers only; the sentences made of them live with the warnings.
#pragma once

namespace osc {

// Fewer rows a period than this and the segments show: each turns by more than 36°, and the
// highest row can fall short of the peak by 1 - cos(π/10) = 4.9% of the amplitude.
inline constexpr double smooth_rows = 10.0;

// Below two rows a period the rows trace another, slower oscillation (aliasing).
inline constexpr double nyquist_rows = 2.0;

// 2π/sqrt(w0² - β²), the period of the free oscillation; infinite where there is none
// (β² >= w0²).
double damped_period(double w0, double beta);

// The period of the oscillation that rows every h trace of one of period T: the turn 2π·h/T
// of a row, less the whole turns it hides, gives 2π·h/|2π·h/T - 2π·j| for the nearest whole j;
// infinite when h is a whole number of periods.
double alias_period(double period, double h);

} // namespace osc
