#include "stepmath/driven.hpp"

#include "motion/motion.hpp"
#include "stepmath/ladder.hpp"
#include "stepmath/matrix.hpp"
#include "stepmath/rk4.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <optional>

namespace osc {

namespace {

using Complex = std::complex<double>;
using Matrix = Matrix2<Complex>;

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

} // namespace

double free_log_gain(double w0, double beta, double h)
{
    const auto z = free_roots(w0, beta, h);
    return std::max(rk4_log_gain(z[0]), rk4_log_gain(z[1]));
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
    // M·Y = h·G·b with b = (0, f): Cramer's rule for the x component. Its terms are of the size
    // of h: a power of two brings them to that of 1, exactly, so that their products do not
    // underflow where h is tiny (h² of 1e-300 is 0) nor overflow where it is huge.
    const int k = h != 0.0 && std::isfinite(h) ? -std::ilogb(h) : 0;
    const auto scaled = [k](Complex c) { return Complex(std::ldexp(c.real(), k), std::ldexp(c.imag(), k)); };
    const Complex right0 = scaled(h * f * G[1]);
    const Complex right1 = scaled(h * f * G[3]);
    const Matrix S = {scaled(M[0]), scaled(M[1]), scaled(M[2]), scaled(M[3])};
    return (right0 * S[3] - S[1] * right1) / (S[0] * S[3] - S[1] * S[2]);
}

double response_error(double w0, double beta, double wf, double h)
{
    const Complex exact = steady_amplitude({w0, beta, 1.0, wf, 0.0, 0.0});
    return std::abs(rk4_response(w0, beta, 1.0, wf, h) / exact - 1.0);
}

double transient_time(double w0, double beta, double h)
{
    const double infinite = std::numeric_limits<double>::infinity();
    double time = 0.0;
    const auto lambdas = free_roots(w0, beta);
    const auto zs = free_roots(w0, beta, h);
    for (int i = 0; i < 2; ++i) {
        const Complex lambda = lambdas[i];
        const double gain = rk4_log_gain(zs[i]); // ln|R(h·λ)|
        if (!(lambda.real() < 0.0) || !(gain < 0.0)) return infinite;
        time = std::max({time, decay_time(-lambda.real()), decay_time(-gain) * h});
    }
    return time;
}

double response_step(double w0, double beta, double wf, double h)
{
    const auto rung = [&](double step) -> std::optional<double> {
        if (step < h && free_log_gain(w0, beta, step) < 0.0 &&
            response_error(w0, beta, wf, step) <= tolerance)
            return step;
        return std::nullopt;
    };
    return ladder_step(h, rung, 0.0);
}

} // namespace osc
