#include "stepmath/time_grid.hpp"

#include <cmath>

namespace osc {

double stall_time(double h)
{
    int exponent = 0;
    const double mantissa = std::frexp(h, &exponent); // h = mantissa * 2^exponent
    return std::ldexp(1.0, mantissa == 0.5 ? exponent + 52 : exponent + 53);
}

bool grid_ends(double h, double t_end)
{
    if (!(t_end >= 0.0)) return true;
    if (!(h > 0.0)) return false;
    return t_end < stall_time(h);
}

double whole_steps(double h, double t_end) { return std::floor(t_end / h + 1e-9); }

double steps_needed(double h, double t_end) { return std::ceil(t_end / h - 1e-9); }

double running_sum(double h, double steps)
{
    double t = 0.0;
    for (double n = 0.0; n < steps; ++n) t = t + h;
    return t;
}

} // namespace osc
