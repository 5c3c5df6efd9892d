// rkstepper as it is defined: its fixed constants, what it reads in its order, its files, the
// motion its constants make and its force law, evaluated as rkstepper evaluates it.
#pragma once

#include "motion/motion.hpp"
#include "programs/layout.hpp"

#include <array>
#include <cmath>

namespace osc::rkstepper {

// x0, v0, N and h, from its parameter file.
inline constexpr std::array<const char *, 4> names = {"x0", "v0", "N", "h"};

inline constexpr Layout layout{"rkstepper", {"RK_generico_1b.txt"}, Columns::t_x_v,
                               "parametros_sistema.txt"};

// The constants of its force law, which it sets before the first step.
inline constexpr double m = 1.0;
inline constexpr double k = 1.0;
inline constexpr double lbd = 0.5;
inline constexpr double F0 = 0.5;
inline constexpr double wf = 3.0;

// w0 = sqrt(k/m), 2β = lbd/m, f = F0/m.
inline Motion motion(double x0, double v0)
{
    return {std::sqrt(k / m), lbd / (2 * m), F0 / m, wf, x0, v0};
}

// x'' = -(k/m)·x - (lbd/m)·x' + (F0/m)·sin(wf·t), from the constants as given.
inline double acceleration(double t, double x, double v, double m, double k, double lbd,
                           double F0, double wf)
{
    // order fixed: the data files are compared digit for digit
    const double a = (-(k / m)) * x;
    const double d = (lbd / m) * v;
    const double s = std::sin(wf * t) * (F0 / m);
    return s + (a - d);
}

} // namespace osc::rkstepper
