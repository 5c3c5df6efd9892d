// The steady oscillation of the driven oscillator x'' = -w0²·x - 2β·x' + f·sin(wf·t), exact
// and as the classical fourth-order Runge-Kutta method at a fixed step h computes it, once the
// free motion (the transient) has died out. Both are complex amplitudes C: the motion is
// Im(C·e^(i·wf·t)), of amplitude |C| and phase arg C. Derived in docs/driven_response.md.
// Numbers only; the sentences made of them live with the warnings.
#pragma once

#include <complex>

namespace osc {

// Y, the x component of (e^(i·wf·h)·I - R(h·A))⁻¹·h·G(h·A, wf·h)·b: the oscillation at wf that
// the rows settle to, sampled at t = 0, h, 2h, ...
std::complex<double> rk4_response(double w0, double beta, double f, double wf, double h);

// |Y/X - 1|, X = steady_amplitude: how far the computed steady motion is from the exact one,
// amplitude and phase.
double response_error(double w0, double beta, double wf, double h);

// The largest ln|R(h·λ)| of the free modes λ = -β ± sqrt(β² - w0²): above 0 a mode grows.
double free_log_gain(double w0, double beta, double h);

// The time after which the transient is below `decayed` of its start, in the exact motion and
// in the computed one: infinite where either never decays (β <= 0, or a step that keeps a free mode
// from shrinking).
double transient_time(double w0, double beta, double h);

// The largest step of the form 1, 2 or 5 times a power of ten, below h, with which the free
// modes shrink and the computed steady motion is within the tolerance of the exact one; 0 when
// no step down to a millionth of h is.
double response_step(double w0, double beta, double wf, double h);

} // namespace osc
