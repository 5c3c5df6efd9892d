// harmosc as it is defined: its fixed step, what it asks in its order, the file it writes, the
// motion its constants make and its acceleration, evaluated as harmosc evaluates it.
#pragma once

#include "motion/motion.hpp"
#include "programs/layout.hpp"

#include <array>
#include <cmath>

namespace osc::harmosc {

inline constexpr double h = 0.1;

// k and m, b for damped motion only, then x0, v0 and tf.
inline constexpr std::array<const char *, 6> names = {"k", "m", "b", "x0", "v0", "tf"};

inline constexpr Layout layout{"harmosc", {"Oscilador_Kutta.dat"}, Columns::t_x_v};

// Damped motion: w0 = sqrt(k/m) and γ = β = b/(m + m), as harmosc computes them; no force.
inline Motion motion(double k, double m, double b, double x0, double v0)
{
    return {std::sqrt(k / m), b / (m + m), 0.0, 0.0, x0, v0};
}

// Simple harmonic motion: no b is asked, and β is exactly 0 whatever m is.
inline Motion simple_motion(double k, double m, double x0, double v0)
{
    return {std::sqrt(k / m), 0.0, 0.0, 0.0, x0, v0};
}

// x'' = -w0²·x - 2γ·x', with 2γ formed as γ + γ.
inline double acceleration(double x, double v, double w0, double gamma)
{
    // order fixed: the data files are compared digit for digit
    return ((-w0) * w0) * x - (gamma + gamma) * v;
}

} // namespace osc::harmosc
