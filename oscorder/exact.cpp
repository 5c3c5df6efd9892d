#include "oscorder/exact.hpp"

#include <cmath>

namespace osc {

double exact_position(double t, double x0, double v0)
{
    const double w0sq = 1.0;
    const double g = 0.5;
    const double F = 0.5;
    const double wf = 3.0;
    // The steady state A sin(wf t) + B cos(wf t).
    const double D = std::pow(w0sq - wf * wf, 2) + std::pow(g * wf, 2);
    const double A = F * (w0sq - wf * wf) / D;
    const double B = -F * g * wf / D;
    // The free motion, e^(-a t) (C1 cos(wd t) + C2 sin(wd t)), that makes up x0 and v0.
    const double a = g / 2;
    const double wd = std::sqrt(w0sq - a * a);
    const double C1 = x0 - B;
    const double C2 = (v0 - A * wf + a * C1) / wd;
    return std::exp(-a * t) * (C1 * std::cos(wd * t) + C2 * std::sin(wd * t)) +
           A * std::sin(wf * t) + B * std::cos(wf * t);
}

} // namespace osc
