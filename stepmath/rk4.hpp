// The arithmetic of one fixed step of the classical fourth-order Runge-Kutta method on the
// homogeneous oscillator x'' = -w0²·x - 2β·x': its modes e^(λ·t), λ = -β ± sqrt(β² - w0²), are
// each multiplied by R(h·λ) in one step where the exact motion multiplies them by e^(h·λ).
// Everything here returns numbers; the sentences made of them live with the warnings.
#pragma once

#include <complex>

namespace osc {

// A computed amplitude that strays from the exact one by more than this share is worth a word.
inline constexpr double amplitude_tolerance = 0.01;

// R(z) = 1 + z + z²/2 + z³/6 + z⁴/24, the factor of one step for a mode with z = h·λ.
std::complex<double> rk4_factor(std::complex<double> z);

// ln(|R(z)| / |e^z|): by how much one step changes a mode's amplitude against the exact
// motion, accurate also where the two agree to many digits.
double rk4_log_drift(std::complex<double> z);

// ln|R(z)|: the change of a mode's amplitude in one step.
double rk4_log_gain(std::complex<double> z);

// The |z| at which |R(z)| = 1 on the ray from 0 through z (z in the left half-plane): 2√2
// along the imaginary axis, 2.785 along the negative real axis.
double rk4_stability_limit(std::complex<double> z);

// The time up to which a mode's amplitude is judged: the last row, at t_run, or the time at
// which the exact mode e^(λ·t) has decayed to 1% of its start, whichever comes first.
double mode_horizon(std::complex<double> lambda, double t_run);

// The computed amplitude of the mode over the exact one at the horizon, after horizon/h steps.
double amplitude_ratio(std::complex<double> lambda, double h, double t_run);

// Whether that ratio is off by more than the tolerance (an infinite or undefined one is).
bool amplitude_strays(std::complex<double> lambda, double h, double t_run);

// The largest step of the form 1, 2 or 5 times a power of ten, below h, with which the mode's
// amplitude stays within the tolerance up to the same horizon.
double amplitude_step(std::complex<double> lambda, double h, double t_run);

} // namespace osc
