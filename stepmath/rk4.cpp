#include "stepmath/rk4.hpp"

#include <algorithm>
#include <cmath>

namespace osc {

using Complex = std::complex<double>;

Complex rk4_factor(Complex z)
{
    return 1.0 + z * (1.0 + z / 2.0 * (1.0 + z / 3.0 * (1.0 + z / 4.0))); // Horner's form
}

double rk4_log_drift(Complex z)
{
    if (std::abs(z) >= 1.0) return std::log(std::abs(rk4_factor(z))) - z.real();
    // R(z) = e^z - (z⁵/5! + z⁶/6! + ...), so R(z)/e^z = 1 + w with w = -e^(-z)·(the tail): the
    // tail summed term by term keeps the digits that R(z) - e^z would lose.
    Complex term = z * z * z * z * z / 120.0;
    Complex tail = 0.0;
    for (int k = 6; k <= 30; ++k) {
        tail += term;
        term *= z / static_cast<double>(k);
    }
    const Complex w = -std::exp(-z) * tail;
    return 0.5 * std::log1p(2.0 * w.real() + std::norm(w)); // ln|1 + w|
}

double rk4_stability_limit(Complex z)
{
    // Along every ray of the left half-plane |R| crosses 1 once, before |z| = 3.
    const Complex ray = z / std::abs(z);
    double inside = 0.0;
    double outside = 4.0;
    for (int i = 0; i < 100; ++i) {
        const double middle = 0.5 * (inside + outside);
        (rk4_log_gain(middle * ray) > 0.0 ? outside : inside) = middle;
    }
    return 0.5 * (inside + outside);
}

double rk4_log_gain(Complex z) { return z.real() + rk4_log_drift(z); }

double mode_horizon(Complex lambda, double t_run)
{
    return lambda.real() < 0.0 ? std::min(t_run, std::log(100.0) / -lambda.real()) : t_run;
}

double amplitude_ratio(Complex lambda, double h, double t_run)
{
    return std::exp(mode_horizon(lambda, t_run) / h * rk4_log_drift(h * lambda));
}

bool amplitude_strays(Complex lambda, double h, double t_run)
{
    return !(std::abs(amplitude_ratio(lambda, h, t_run) - 1.0) <= amplitude_tolerance);
}

double amplitude_step(Complex lambda, double h, double t_run)
{
    double good = h;
    while (good > 0.0 && amplitude_strays(lambda, good, t_run)) good /= 2.0;
    double bad = good + good;
    for (int i = 0; i < 60; ++i) {
        const double middle = 0.5 * (good + bad);
        (amplitude_strays(lambda, middle, t_run) ? bad : good) = middle;
    }
    const double decade = std::pow(10.0, std::floor(std::log10(good)));
    double step = decade;
    for (const double leading : {5.0, 2.0})
        if (leading * decade <= good) {
            step = leading * decade;
            break;
        }
    while (amplitude_strays(lambda, step, t_run) && step > 0.0) step /= 10.0;
    return step;
}

} // namespace osc
