// The arithmetic of one fixed step of the classical fourth-order Runge-Kutta method on the
// homogeneous oscillator x'' = -w0²·x - 2β·x': its modes e^(λ·t), λ = -β ± sqrt(β² - w0²), are
// each multiplied by R(h·λ) in one step where the exact motion multiplies them by e^(h·λ).
// Everything here returns numbers; the sentences made of them live with the warnings. A
// negative h runs backward in time: the same formulas hold with z = h·λ.
#pragma once

#include <complex>
#include <vector>

namespace osc {

// A computed mode that strays from the exact one by more than this share of its amplitude is
// worth a word.
inline constexpr double tolerance = 0.01;

// A decaying mode, or a transient, is over once it has fallen to this share of its start: the
// horizon up to which a mode is judged. Apart from the tolerance, which may change alone.
inline constexpr double decayed = 0.01;

// R(z) = 1 + z + z²/2 + z³/6 + z⁴/24, the factor of one step for a mode with z = h·λ.
std::complex<double> rk4_factor(std::complex<double> z);

// ln R(z): ln|R(z)|, the change of a mode's amplitude in one step, and arg R(z) in (-π, π],
// its turn; finite wherever z is, also where R(z) itself overflows.
std::complex<double> rk4_log_factor(std::complex<double> z);

// ln(R(z)/e^z): ln(|R(z)|/|e^z|), by how much one step changes a mode's amplitude against the
// exact motion, and the phase it gains on it, in (-π, π]; accurate also where the two agree to
// many digits.
std::complex<double> rk4_log_error(std::complex<double> z);

// ln|R(z)|.
double rk4_log_gain(std::complex<double> z);

// Whether R(z) makes a mode that does not grow (Re z <= 0) grow.
bool rk4_unstable(std::complex<double> z);

// The |z| at which |R(z)| = 1 on the ray from 0 through z (z in the left half-plane): 2√2
// along the imaginary axis, 2.785 along the negative real axis.
double rk4_stability_limit(std::complex<double> z);

// z = h·λ for each mode of x'' = -w0²·x - 2β·x': an oscillation counts as one (Im λ > 0), a
// critical damping too; none when h = 0 or nothing moves (w0 = β = 0). Worked out without
// forming β² or w0², which may overflow where h·λ does not.
std::vector<std::complex<double>> step_modes(double h, double w0, double beta);

// How long e^(-rate·t) takes to fall to `decayed` of its start: ln(1/decayed)/rate.
double decay_time(double rate);

// The steps up to which a mode is judged: all `steps` of the run, or as many as make the exact
// mode e^(n·z) decay to `decayed` of its start, whichever are fewer.
double horizon_steps(std::complex<double> z, double steps);

// What the steps up to the horizon do to a mode, against the exact motion.
struct Deviation {
    double steps;         // the horizon
    double log_amplitude; // ln(|R(z)|ⁿ / |e^(n·z)|) there
    double phase;         // n·arg(R(z)/e^z) there: ahead of the exact motion if of Im z's sign
    double largest;       // the largest |R(z)ᵏ / e^(k·z) - 1| for k up to n
};
Deviation deviation(std::complex<double> z, double steps);

// Whether that largest relative difference exceeds the tolerance (an infinite or undefined one
// does).
bool strays(std::complex<double> z, double steps);

// Whether h·|λ| is small, the mode staying within the tolerance over ten of its turns (20π/|z|
// steps, at least one), and yet strays over the run: the number of steps is what adds up.
bool strays_by_length(std::complex<double> z, double steps);

// The most steps, up to `steps`, over which the mode stays within the tolerance.
double steps_within(std::complex<double> z, double steps);

// The largest step with h's sign whose size is 1, 2 or 5 times a power of ten, below |h|, with
// which the mode stays within the tolerance up to the same end (steps·h); the double that its
// text reads as. NaN where none is found.
double accurate_step(std::complex<double> z, double h, double steps);

// The whole number of steps of h that reaches t_end, N·h >= t_end, if it is at most `most` and
// the running sum of h does not stall before t_end; NaN otherwise.
double steps_to_reach(double t_end, double h, double most);

// How much larger than the state (x, v) the sums of the next step's stages can be: six slopes,
// each up to w0²·|x| + 2|β|·|v|.
double stage_factor(double w0, double beta);

// The first step after which the computed motion of x'' = -w0²·x - 2β·x' + f·sin(wf·t) from
// (x0, v0), times `factor`, passes the largest double; NaN when that does not happen within
// `steps`. With factor 1 the rows themselves overflow there; with stage_factor, the sums of the
// next step may. The forced part stays near its exact amplitude; what grows is the rest.
double overflow_step(double h, double w0, double beta, double f, double wf, double x0,
                     double v0, double steps, double factor);

} // namespace osc
