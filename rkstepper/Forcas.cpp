#include "RuKu.hpp"

#include <cmath>

// x'' = -(k/m) x - (lbd/m) x' + (F0/m) sin(wf t)
double D2_Oscilador(double t, double x, double v)
{
    using namespace forF;
    const double a = (-(k / m)) * x;
    const double d = (lbd / m) * v;
    const double s = std::sin(wf * t) * (F0 / m);
    return s + (a - d);
}
