// What one RK4 step does to a mode e^(λ·t) of x'' = -w0²·x - 2β·x', worked out the plain way
// for the tests to compare with: R(z) = 1 + z + z²/2 + z³/6 + z⁴/24 term by term, e^z, and the
// ratio q = R(z)/e^z multiplied step by step, in long double; and the steady response to a
// force, the steps iterated.
#pragma once

#include "stepmath/rk4.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <vector>

namespace by_hand {

using Complex = std::complex<double>;
using Long = std::complex<long double>;

inline Long R(Long z) { return 1.0L + z + z * z / 2.0L + z * z * z / 6.0L + z * z * z * z / 24.0L; }

// The roots of λ² + 2β·λ + w0² = 0; a complex pair is one oscillation (Im λ > 0). Two real
// ones come the larger |λ| first, the smaller from λ1·λ2 = w0².
inline std::vector<Complex> modes(double w0, double beta)
{
    const long double b = beta;
    const long double w = w0;
    const Long root = std::sqrt(Long(b * b - w * w));
    if (root.real() == 0.0L) return {Complex(-beta, static_cast<double>(std::abs(root.imag())))};
    const long double large = b > 0.0L ? -b - root.real() : -b + root.real();
    return {Complex(static_cast<double>(large)), Complex(static_cast<double>(w * w / large))};
}

// What a mode's warning has to say.
struct Verdict {
    bool warns;
    bool unstable;
    double size;          // h·|λ|
    double steps;         // the horizon: the run's steps, or those to the mode's decay
    double log_amplitude; // ln of the computed over the exact amplitude there
    double phase;         // the computed phase minus the exact one there
    double largest;       // the largest |qᵏ - 1|, k up to the horizon
    double limit;         // |z| where |R| = 1 on the ray through z
};

inline Verdict verdict(Complex lambda, double h, double steps)
{
    const Long z = Long(h) * Long(lambda.real(), lambda.imag());
    const Long q = R(z) / std::exp(z);
    const long double decay = std::log(1.0L / osc::decayed) / -z.real();
    const long double n = z.real() < 0.0L ? std::min<long double>(steps, decay) : steps;
    long double largest = 0.0L;
    Long power = 1.0L;
    for (long double k = 1.0L; k <= n; ++k) {
        power *= q;
        largest = std::max(largest, std::abs(power - 1.0L));
    }
    largest = std::max(largest, std::abs(std::pow(q, n) - 1.0L));
    long double inside = 0.0L;
    long double outside = 4.0L;
    for (int i = 0; i < 60; ++i) {
        const long double s = 0.5L * (inside + outside);
        (std::abs(R(s * z / std::abs(z))) > 1.0L ? outside : inside) = s;
    }
    const bool unstable = z.real() <= 0.0L && std::abs(R(z)) > 1.0L + 1e-12L;
    return {unstable || largest > osc::tolerance,
            unstable,
            static_cast<double>(std::abs(z)),
            static_cast<double>(n),
            static_cast<double>(n * std::log(std::abs(q))),
            static_cast<double>(n * std::arg(q)),
            static_cast<double>(largest),
            static_cast<double>(inside)};
}

using State = std::array<Complex, 2>; // x, v

// Y·e^(i·wf·t) once the transient has died out, from y = 0 at t = 0, step by step: RK4 on
// y' = A·y + b·e^(i·wf·t) with b = (0, 1), iterated until the transient is gone.
inline Complex iterated_response(double w0, double beta, double wf, double h)
{
    // The slope at t of the state y + by·k.
    const auto slope = [&](double t, const State &y, double by, const State &k) {
        const Complex v = y[1] + by * k[1];
        return State{v, -w0 * w0 * (y[0] + by * k[0]) - 2.0 * beta * v + std::polar(1.0, wf * t)};
    };
    State y{};
    const double steps = std::round(600.0 / h);
    for (double n = 0; n < steps; ++n) {
        const double t = n * h;
        const State k1 = slope(t, y, 0.0, y);
        const State k2 = slope(t + h / 2, y, h / 2, k1);
        const State k3 = slope(t + h / 2, y, h / 2, k2);
        const State k4 = slope(t + h, y, h, k3);
        for (std::size_t i = 0; i < 2; ++i)
            y[i] += h / 6 * (k1[i] + 2.0 * k2[i] + 2.0 * k3[i] + k4[i]);
    }
    return y[0] * std::polar(1.0, -wf * steps * h);
}

} // namespace by_hand
