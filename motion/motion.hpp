// The motion a run integrates, x'' = -w0²·x - 2β·x' + f·sin(wf·t) from x = x0, x' = v0, as one
// value (each program makes its own: programs/), and its exact solution: free (undamped,
// underdamped, critically damped, overdamped) plus the steady motion the force drives, with
// the secular term of resonance without damping. Numbers only.
#pragma once

#include <array>
#include <complex>

namespace osc {

inline constexpr double pi = 3.14159265358979323846;

struct Motion {
    double w0, beta, f, wf, x0, v0;
};

struct State {
    double x, v;
};

// The exact motion with what stays the same along it worked out once: the free modes, the
// steady amplitude X and the steady state at t = 0, for loops over many times.
struct ExactMotion {
    Motion motion;
    std::array<std::complex<double>, 2> roots; // free_roots(w0, β)
    std::complex<double> steady;               // steady_amplitude
    State start;                               // the driven motion's state at t = 0
};
ExactMotion exact_motion(const Motion &motion);

// The exact x(t) and x'(t).
State exact_state(const ExactMotion &exact, double t);
State exact_state(const Motion &motion, double t);

// (v² + w0²·x²)/2, the energy per unit mass.
double energy(const Motion &motion, double x, double v);
double exact_energy(const Motion &motion, double t);

// X = f/(w0² - wf² + 2i·β·wf): the steady motion is Im(X·e^(i·wf·t)), of amplitude |X| and
// phase arg X; infinite at resonance without damping.
std::complex<double> steady_amplitude(const Motion &motion);

// The roots of λ² + 2β·λ + w0² = 0, times h: h·λ = -h·β ± h·sqrt(β² - w0²). An oscillation
// gives h·λ with Im of h's sign, then its conjugate; real roots give the larger |λ| first and
// the smaller from λ1·λ2 = w0², without cancellation; a discriminant of 0 gives the double
// root twice. Worked out without forming β² or w0², which may overflow where h·λ does not.
std::array<std::complex<double>, 2> free_roots(double w0, double beta, double h = 1.0);

} // namespace osc
