// Fixed-step methods for x'' = a(t, x, v), each one step that reads like its equations, behind
// one shape, as a table of named entries: name, nominal order and step, after GSL's step types
// (gsl_odeiv2_step_type) and Boost.Odeint's stepper concept with its order(). What each does
// to the linear oscillator follows from its entry by stepping it: the one-step amplification
// matrix, the largest stable h·w0, the energy factor of a step and the turn of a step. Numbers
// only.
#pragma once

#include "stepmath/matrix.hpp"

#include <functional>

namespace osc {

// The acceleration x'' = a(t, x, v), with the arithmetic of the program it comes from.
using Acceleration = std::function<double(double t, double x, double v)>;

// One step of h from (t, x, v): x and v become the state at t + h.
using OneStep = void (*)(const Acceleration &a, double h, double t, double &x, double &v);

// det M - 1 on undamped motion at z = h·w0, from the exact coefficients of the method's
// polynomial: what a step adds to the area of the phase plane, and so to the energy where M is
// normal; exactly 0 for the symplectic ones, whose energy oscillates instead.
using EnergyDrift = double (*)(double z);

struct Method {
    const char *name;
    int order; // the error at a fixed end falls as h^order
    OneStep step;
    EnergyDrift energy_drift;
};

// x1 = x + h·v, v1 = v + h·a(t, x, v).
void euler(const Acceleration &a, double h, double t, double &x, double &v);
// Euler-Cromer: v1 = v + h·a(t, x, v) first, then x1 = x + h·v1.
void euler_cromer(const Acceleration &a, double h, double t, double &x, double &v);
// The midpoint method: Euler to t + h/2, and the whole step with the slopes found there.
void midpoint(const Acceleration &a, double h, double t, double &x, double &v);
// Velocity Verlet: x1 = x + h·v + h²/2·a0, v1 = v + h/2·(a0 + a1), a1 taken at x1 and at the
// Euler velocity v + h·a0, so that a force that depends on v keeps the second order.
void verlet(const Acceleration &a, double h, double t, double &x, double &v);
// The classical Runge-Kutta method, stage by stage as harmosc, drivenosc and rkstepper take it.
void rk4(const Acceleration &a, double h, double t, double &x, double &v);

// z², 0, z⁴/4, 0 and -z⁶/72 + z⁸/576 = z⁶·(z² - 8)/576.
inline double euler_drift(double z) { return z * z; }
inline double area_kept(double /*z*/) { return 0.0; }
inline double midpoint_drift(double z) { return z * z * z * z / 4.0; }
inline double rk4_drift(double z) { return z * z * z * z * z * z * (z * z - 8.0) / 576.0; }

// The step of harmosc, drivenosc and rkstepper, by its own name: the one a study integrates
// their runs with, wherever the table puts it.
inline constexpr Method programs_method{"RK4", 4, rk4, rk4_drift};

// The methods a study sets side by side, in the order of its tables and its figure.
inline constexpr Method methods[] = {{"Euler", 1, euler, euler_drift},
                                     {"Euler-Cromer", 1, euler_cromer, area_kept},
                                     {"ponto médio", 2, midpoint, midpoint_drift},
                                     {"Verlet", 2, verlet, area_kept},
                                     programs_method};

// The matrix M, row by row, with (x1, v1) = M·(x, v) for one step of h on
// x'' = -w0²·x - 2β·x'.
using Matrix = Matrix2<double>;
Matrix amplification(const Method &method, double h, double w0, double beta);

// The largest |eigenvalue| of M: above 1 some motion grows step after step.
double spectral_radius(const Matrix &m);

// The largest h·w0 up to which no motion of x'' = -w0²·x - 2β·x' grows (2·β/w0 is kept as the
// ratio), up to h·w0 = 4; NaN when it grows at every step, however small, or, with damping,
// when the limit lies where one step's damping is below the rounding of M.
double stability_limit(const Method &method, double damping_ratio);

// det M on undamped motion at z = h·w0, 1 + the method's energy_drift: the factor by which a
// step multiplies the area of the phase plane (Euler 1 + z², midpoint 1 + z⁴/4, RK4
// 1 - z⁶/72 + z⁸/576); 1 for the symplectic ones.
double energy_factor(const Method &method, double z);

// The angle by which one step turns the computed oscillation, the argument of M's eigenvalue;
// NaN where its eigenvalues are real (or a double root to the rounding of M).
double turn(const Matrix &m);

} // namespace osc
