#include "stepmath/driven.hpp"

#include "stepmath/rk4.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <limits>

namespace osc {

namespace {

using Complex = std::complex<double>;
using Matrix = std::array<Complex, 4>; // row by row: m00 m01 m10 m11

Matrix product(const Matrix &a, const Matrix &b)
{
    return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
            a[2] * b[1] + a[3] * b[3]};
}

// c0·I + c1·Z + c2·Z² + ..., by Horner's rule.
Matrix polynomial(const Matrix &Z, std::initializer_list<Complex> c)
{
    Matrix p{};
    for (auto k = std::rbegin(c); k != std::rend(c); ++k) {
        p = product(Z, p);
        p[0] += *k;
        p[3] += *k;
    }
    return p;
}

// The roots of λ² + 2β·λ + w0² = 0, the larger |λ| first when they are real; the smaller from
// λ1·λ2 = w0², without cancellation.
std::array<Complex, 2> free_modes(double w0, double beta)
{
    const double discriminant = beta * beta - w0 * w0;
    if (discriminant < 0.0) {
        const Complex lambda(-beta, std::sqrt(-discriminant));
        return {lambda, std::conj(lambda)};
    }
    const double fast = -beta - std::copysign(std::sqrt(discriminant), beta);
    return {fast, fast == 0.0 ? 0.0 : w0 * w0 / fast};
}

} // namespace

double free_log_gain(double w0, double beta, double h)
{
    const auto modes = free_modes(w0, beta);
    return std::max(rk4_log_gain(h * modes[0]), rk4_log_gain(h * modes[1]));
}

Complex exact_response(double w0, double beta, double f, double wf)
{
    return f / Complex(w0 * w0 - wf * wf, 2.0 * beta * wf);
}

Complex rk4_response(double w0, double beta, double f, double wf, double h)
{
    const Matrix Z = {0.0, h, -h * w0 * w0, -2.0 * h * beta};
    const Complex p = std::polar(1.0, 0.5 * wf * h); // e^(i·wf·h/2)
    const Complex q = p * p;
    // e^(i·θ) - 1 and R(Z) - I each without the 1, which would cost digits at small h.
    const double theta = wf * h;
    const double half = std::sin(0.5 * theta);
    const Complex q_less_1(-2.0 * half * half, std::sin(theta));
    const Matrix R_less_I = product(Z, polynomial(Z, {1.0, 0.5, 1.0 / 6.0, 1.0 / 24.0}));
    const Matrix G = polynomial(Z, {(1.0 + 4.0 * p + q) / 6.0, (1.0 + 2.0 * p) / 6.0,
                                    (1.0 + p) / 12.0, 1.0 / 24.0});
    const Matrix M = {q_less_1 - R_less_I[0], -R_less_I[1], -R_less_I[2],
                      q_less_1 - R_less_I[3]};
    // M·Y = h·G·b with b = (0, f): Cramer's rule for the x component.
    const Complex right0 = h * f * G[1];
    const Complex right1 = h * f * G[3];
    return (right0 * M[3] - M[1] * right1) / (M[0] * M[3] - M[1] * M[2]);
}

double response_error(double w0, double beta, double wf, double h)
{
    return std::abs(rk4_response(w0, beta, 1.0, wf, h) / exact_response(w0, beta, 1.0, wf) - 1.0);
}

double transient_time(double w0, double beta, double h)
{
    const double infinite = std::numeric_limits<double>::infinity();
    double time = 0.0;
    for (const Complex lambda : free_modes(w0, beta)) {
        const double gain = rk4_log_gain(h * lambda); // ln|R(h·λ)|
        if (!(lambda.real() < 0.0) || !(gain < 0.0)) return infinite;
        time = std::max({time, one_percent_time(-lambda.real()), one_percent_time(-gain) * h});
    }
    return time;
}

double response_step(double w0, double beta, double wf, double h)
{
    for (double decade = std::pow(10.0, std::floor(std::log10(h))); decade >= 1e-6 * h;
         decade /= 10.0)
        for (const double leading : {5.0, 2.0, 1.0}) {
            const double step = leading * decade;
            if (step < h && free_log_gain(w0, beta, step) < 0.0 &&
                response_error(w0, beta, wf, step) <= tolerance)
                return step;
        }
    return 0.0;
}

} // namespace osc
