// drivenosc as it is defined: its fixed constants, what it reads and asks in its order, its
// files, the motion of each menu choice and its acceleration, evaluated as drivenosc does.
#pragma once

#include "motion/motion.hpp"
#include "programs/layout.hpp"

#include <array>
#include <cmath>
#include <limits>

namespace osc::drivenosc {

inline constexpr double m = 1.0;
inline constexpr double k = 1.0;
inline constexpr double lambda = 0.5;
inline constexpr double F0 = 0.5;

// x0, v0, N and h from its parameter file, then the menu's choice of frequency.
inline constexpr std::array<const char *, 5> names = {"x0", "v0", "N", "h", "escolha"};

// One file per driving frequency: w0/3, w0 and 3·w0, the menu's choices 1, 2 and 3.
inline constexpr Layout layout{"drivenosc",
                               {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat", "Kutta_1a_3w0.dat"},
                               Columns::n_t_x_v, "input_1a.txt"};

// w0 = sqrt(k/m), 2β = λ/m, f = F0/m, driven at choice 1, 2 or 3: wf = w0/3, w0 or 3·w0.
inline Motion motion(int choice, double x0, double v0)
{
    const double w0 = std::sqrt(k / m);
    double wf = std::numeric_limits<double>::quiet_NaN();
    switch (choice) {
    case 1: wf = w0 / 3; break;
    case 2: wf = w0; break;
    case 3: wf = 3 * w0; break;
    default: break;
    }
    return {w0, lambda / m / 2, F0 / m, wf, x0, v0};
}

// x'' = -w0²·x - γ·x' + F·sin(wf·t), γ = λ/m and F = F0/m.
inline double acceleration(double x, double v, double t, double w0, double gamma, double F,
                           double wf)
{
    // order fixed: the data files are compared digit for digit
    const double a = ((-w0) * w0) * x;
    const double d = gamma * v;
    return std::sin(wf * t) * F + (a - d);
}

} // namespace osc::drivenosc
