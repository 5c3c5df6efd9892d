#include "motion/motion.hpp"

#include <algorithm>
#include <cmath>

namespace osc {

using Complex = std::complex<double>;

std::array<Complex, 2> free_roots(double w0, double beta, double h)
{
    const double scale = std::max(w0, std::abs(beta));
    if (!(scale > 0.0)) return {Complex(-h * beta, 0.0), Complex(-h * beta, 0.0)};
    // λ = -β ± scale·sqrt(d), d = (β² - w0²)/scale²
    const double d = (beta / scale) * (beta / scale) - (w0 / scale) * (w0 / scale);
    const double h_beta = h * beta;
    if (d < 0.0) {
        const Complex z(-h_beta, h * scale * std::sqrt(-d));
        return {z, std::conj(z)};
    }
    // The larger |λ| from the formula; the smaller from λ1·λ2 = w0², without cancellation.
    const double root = h * scale * std::sqrt(d);
    const double fast = beta > 0.0 ? -h_beta - root : -h_beta + root;
    if (d == 0.0) return {fast, fast};
    const double h_w0 = h * w0;
    return {fast, h_w0 * (h_w0 / fast)};
}

Complex steady_amplitude(const Motion &motion)
{
    const double w0 = motion.w0;
    const double wf = motion.wf;
    return motion.f / Complex(w0 * w0 - wf * wf, 2.0 * motion.beta * wf);
}

namespace {

// (1 - e^(-s))/s, 1 at s = 0.
double decay_share(double s) { return s == 0.0 ? 1.0 : -std::expm1(-s) / s; }

// The free motion from y(0) = y0, y'(0) = u0: e^(-β·t)·(y0·C + (u0 + β·y0)·S) and its
// derivative e^(-β·t)·(u0·C - (β·u0 + w0²·y0)·S), with C = cos(ω·t), S = sin(ω·t)/ω where
// ω² = w0² - β² > 0, and cosh, sinh in place of cos, sin where ω² <= 0 (S = t at ω = 0).
State free_state(double w0, double beta, const std::array<Complex, 2> &roots, double y0,
                 double u0, double t)
{
    double c = 0.0; // e^(-β·t)·C
    double s = 0.0; // e^(-β·t)·S
    if (roots[0].imag() != 0.0) {
        const double omega = roots[0].imag();
        const double decay = std::exp(-beta * t);
        c = decay * std::cos(omega * t);
        s = decay * std::sin(omega * t) / omega;
    } else {
        // e^(p·t)·(1 + e^(-g))/2 and t·e^(p·t)·(1 - e^(-g))/g, g = (p - q)·t >= 0, from the
        // root p whose e^(p·t) is the larger: no overflow of the parts where the sum has none.
        double p = roots[0].real();
        double q = roots[1].real();
        if (p * t < q * t) std::swap(p, q);
        const double g = (p - q) * t;
        const double grow = std::exp(p * t);
        c = grow * (1.0 + std::exp(-g)) / 2.0;
        s = t * grow * decay_share(g);
    }
    return {y0 * c + (u0 + beta * y0) * s, u0 * c - (beta * u0 + w0 * (w0 * y0)) * s};
}

// The motion the force drives, X its steady amplitude, which the free motion then completes
// to x0, v0.
State forced_state(const Motion &motion, Complex X, double t)
{
    const double f = motion.f;
    const double wf = motion.wf;
    if (f == 0.0 || wf == 0.0) return {0.0, 0.0};
    if (std::isfinite(std::abs(X))) {
        const Complex turning = X * std::polar(1.0, wf * t);
        return {turning.imag(), wf * turning.real()};
    }
    // Resonance without damping: -f·t·cos(wf·t)/(2wf), growing without bound.
    const double cosine = std::cos(wf * t);
    return {-f * t * cosine / (2.0 * wf),
            -f * cosine / (2.0 * wf) + f * t * std::sin(wf * t) / 2.0};
}

} // namespace

ExactMotion exact_motion(const Motion &motion)
{
    const Complex X = steady_amplitude(motion);
    return {motion, free_roots(motion.w0, motion.beta), X, forced_state(motion, X, 0.0)};
}

State exact_state(const ExactMotion &exact, double t)
{
    const Motion &motion = exact.motion;
    const State forced = forced_state(motion, exact.steady, t);
    const State free = free_state(motion.w0, motion.beta, exact.roots, motion.x0 - exact.start.x,
                                  motion.v0 - exact.start.v, t);
    return {free.x + forced.x, free.v + forced.v};
}

State exact_state(const Motion &motion, double t) { return exact_state(exact_motion(motion), t); }

double energy(const Motion &motion, double x, double v)
{
    const double w0x = motion.w0 * x;
    return (v * v + w0x * w0x) / 2.0;
}

double exact_energy(const Motion &motion, double t)
{
    const State state = exact_state(motion, t);
    return energy(motion, state.x, state.v);
}

} // namespace osc
