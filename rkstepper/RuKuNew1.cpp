#include "RuKu.hpp"

double RuKuNew1(AccelerationFn *f, double h, double t, double x, double v)
{
    const double k1x = v;
    const double k1v = f(t, x, v);
    const double k2x = (0.5 * h) * k1v + v;
    const double k2v = f((0.5 * h) + t, (0.5 * h) * k1x + x, (0.5 * h) * k1v + v);
    const double k3x = (0.5 * h) * k2v + v;
    const double k3v = f((0.5 * h) + t, (0.5 * h) * k2x + x, (0.5 * h) * k2v + v);
    const double k4x = h * k3v + v;
    const double k4v = f(t + h, h * k3x + x, h * k3v + v);

    forRK::x1 = ((((k2x + k2x) + k1x) + (k3x + k3x)) + k4x) * (h / 6.0) + forRK::x1;
    forRK::v1 = ((((k2v + k2v) + k1v) + (k3v + k3v)) + k4v) * (h / 6.0) + forRK::v1;
    return t + h;
}
