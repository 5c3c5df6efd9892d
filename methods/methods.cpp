#include "methods/methods.hpp"

#include "stepmath/bisect.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <limits>

namespace osc {

void euler(const Acceleration &a, double h, double t, double &x, double &v)
{
    const double acceleration = a(t, x, v);
    x = x + h * v;
    v = v + h * acceleration;
}

void euler_cromer(const Acceleration &a, double h, double t, double &x, double &v)
{
    v = v + h * a(t, x, v);
    x = x + h * v;
}

void midpoint(const Acceleration &a, double h, double t, double &x, double &v)
{
    const double x_half = x + 0.5 * h * v;
    const double v_half = v + 0.5 * h * a(t, x, v);
    x = x + h * v_half;
    v = v + h * a(t + 0.5 * h, x_half, v_half);
}

void verlet(const Acceleration &a, double h, double t, double &x, double &v)
{
    const double a0 = a(t, x, v);
    const double x1 = x + h * v + 0.5 * h * h * a0;
    const double a1 = a(t + h, x1, v + h * a0);
    x = x1;
    v = v + 0.5 * h * (a0 + a1);
}

namespace {

// The slopes of x and v at a stage: at t + c, from x + c·kx and v + c·kv, with c = h/2 or h.
struct Slope {
    double x, v;
};
Slope stage(const Acceleration &a, double t, double x, double v, double c, Slope k)
{
    // order fixed: the data files are compared digit for digit (c + t is t + c bit for bit)
    return {c * k.v + v, a(c + t, c * k.x + x, c * k.v + v)};
}

} // namespace

void rk4(const Acceleration &a, double h, double t, double &x, double &v)
{
    const Slope k1{v, a(t, x, v)};
    const Slope k2 = stage(a, t, x, v, 0.5 * h, k1);
    const Slope k3 = stage(a, t, x, v, 0.5 * h, k2);
    const Slope k4 = stage(a, t, x, v, h, k3);
    // order fixed: the data files are compared digit for digit
    x = ((((k2.x + k2.x) + k1.x) + (k3.x + k3.x)) + k4.x) * (h / 6.0) + x;
    v = ((((k2.v + k2.v) + k1.v) + (k3.v + k3.v)) + k4.v) * (h / 6.0) + v;
}

Matrix amplification(const Method &method, double h, double w0, double beta)
{
    const Acceleration free = [&](double, double x, double v) {
        return -w0 * w0 * x - 2.0 * beta * v;
    };
    // The columns are where a step takes (1, 0) and (0, 1).
    double x0 = 1.0;
    double v0 = 0.0;
    double x1 = 0.0;
    double v1 = 1.0;
    method.step(free, h, 0.0, x0, v0);
    method.step(free, h, 0.0, x1, v1);
    return {x0, x1, v0, v1};
}

namespace {

// The eigenvalues of M, roots of λ² - tr·λ + det = 0.
std::complex<double> eigenvalue(const Matrix &m, bool larger)
{
    const double half_trace = 0.5 * (m[0] + m[3]);
    const double det = m[0] * m[3] - m[1] * m[2];
    const std::complex<double> root = std::sqrt(std::complex<double>(half_trace * half_trace - det));
    return larger == (half_trace >= 0.0) ? half_trace + root : half_trace - root;
}

} // namespace

double spectral_radius(const Matrix &m)
{
    return std::max(std::abs(eigenvalue(m, true)), std::abs(eigenvalue(m, false)));
}

double stability_limit(const Method &method, double damping_ratio)
{
    // Growth smaller than this in a step is rounding, not the method.
    const double rounding = 1e-14;
    const auto grows = [&](double z) {
        return spectral_radius(amplification(method, z, 1.0, 0.5 * damping_ratio)) > 1.0 + rounding;
    };
    const double sample = 1e-2;
    double stable = 0.0;
    while (stable + sample <= 4.0 && !grows(stable + sample)) stable += sample;
    double unstable = stable + sample;
    // With damping every method is stable at a step small enough: below the first sample, down
    // to where a step's damping, damping_ratio·z/2, is lost in the rounding of M.
    for (double z = sample; stable == 0.0 && damping_ratio > 0.0 && damping_ratio * z > 200.0 * rounding; z /= 2.0) {
        if (!grows(z)) stable = z;
        else unstable = z;
    }
    if (stable == 0.0) return std::numeric_limits<double>::quiet_NaN();
    bisect(stable, unstable, grows, 60);
    return stable;
}

double energy_factor(const Method &method, double z) { return 1.0 + method.energy_drift(z); }

double turn(const Matrix &m)
{
    // Eigenvalues apart by no more than the rounding of M's entries are a double root: at
    // critical damping they would otherwise turn by a few 1e-8 rad a step.
    const double half_trace = 0.5 * (m[0] + m[3]);
    const double det = m[0] * m[3] - m[1] * m[2];
    const double scale = std::max(half_trace * half_trace, std::fabs(det));
    if (half_trace * half_trace - det >= -8.0 * DBL_EPSILON * scale)
        return std::numeric_limits<double>::quiet_NaN();
    return std::abs(std::arg(eigenvalue(m, true)));
}

} // namespace osc
