#include "stepmath/sampling.hpp"

#include "motion/motion.hpp"

#include <cmath>
#include <limits>

namespace osc {

namespace {
const double two_pi = 2.0 * pi;
} // namespace

double damped_period(double w0, double beta)
{
    const double squared = w0 * w0 - beta * beta;
    return squared > 0.0 ? two_pi / std::sqrt(squared) : std::numeric_limits<double>::infinity();
}

double alias_period(double period, double h)
{
    const double turn = std::abs(std::remainder(two_pi * h / period, two_pi)); // in [0, π]
    return turn > 0.0 ? two_pi * h / turn : std::numeric_limits<double>::infinity();
}

} // namespace osc
