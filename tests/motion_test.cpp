// The exact motion against oracles that share nothing with it: the equation itself by central
// differences, a long-double RK4 integration at a small step, and the initial conditions.

#include "motion/motion.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// x'' = -w0²·x - 2β·x' + f·sin(wf·t), stepped in long double until t = n·h.
osc::State integrated(const osc::Motion &m, long double h, int n)
{
    struct Y { long double x, v; };
    // The slope at t of y + by·k.
    const auto slope = [&](long double t, const Y &y, long double by, const Y &k) {
        const long double x = y.x + by * k.x;
        const long double v = y.v + by * k.v;
        return Y{v, -m.w0 * (m.w0 * x) - 2 * m.beta * v + m.f * std::sin(m.wf * t)};
    };
    Y y{m.x0, m.v0};
    for (int i = 0; i < n; ++i) {
        const long double t = i * h;
        const Y k1 = slope(t, y, 0, y);
        const Y k2 = slope(t + h / 2, y, h / 2, k1);
        const Y k3 = slope(t + h / 2, y, h / 2, k2);
        const Y k4 = slope(t + h, y, h, k3);
        y = {y.x + h / 6 * (k1.x + 2 * k2.x + 2 * k3.x + k4.x),
             y.v + h / 6 * (k1.v + 2 * k2.v + 2 * k3.v + k4.v)};
    }
    return {static_cast<double>(y.x), static_cast<double>(y.v)};
}

TEST(Motion, ExactStateSolvesTheEquationInEveryRegime)
{
    const double below = 1.3 * (1 - 4 * DBL_EPSILON);
    const double above = 1.3 * (1 + 4 * DBL_EPSILON);
    const osc::Motion rows[] = {
        {2, 0, 0, 0, 1, -0.5},        {1, 0.25, 0, 0, 1, 0},       // undamped, underdamped
        {1.3, 1.3, 0, 0, 0.5, 2},     {1, 3, 0, 0, 1, -4},         // critical, overdamped
        {1.3, below, 0, 0, 1, 1},     {1.3, above, 0, 0, 1, 1},    // a few ulps from critical
        {1, 0.25, 0.5, 3, 1, 0},      {1, 0.25, 0.5, 1, 0, 0},     // driven; at wf = w0
        {1.5, 0, 0.5, 1.5, 0.2, 0.1}, {1, 0, 0.5, 3, 1, 0},        // resonance; β = 0, driven
        {1, -0.2, 0, 0, 1, 0},        {1, -3, 0.5, 3, 0, 1}};      // growing
    const double d = 1e-3;  // central differences err by d²/12 times the fourth derivative
    const long double h = 1e-3L; // RK4 errs by (h·rate)⁵/120 a step, at most
    for (const osc::Motion &m : rows) {
        SCOPED_TRACE(testing::Message() << m.w0 << " " << m.beta << " " << m.f << " " << m.wf);
        const double rate = std::max({m.w0, 2 * std::abs(m.beta), m.wf, 1.0});
        const auto x = [&](double t) { return osc::exact_state(m, t).x; };
        EXPECT_NEAR(x(0), m.x0, 1e-15);
        EXPECT_NEAR(osc::exact_state(m, 0).v, m.v0, 1e-15 * rate);
        if (m.beta > 0 && m.f == 0) {
            EXPECT_LT(std::abs(x(400)), 1e-20); // decayed, with no inf·0 on the way
        }
        for (const int n : {700, 2300, 6100}) {
            const double t = n * static_cast<double>(h);
            const osc::State s = osc::exact_state(m, t);
            const double size = std::abs(s.x) + std::abs(s.v) / rate + m.f / (rate * rate);
            const double velocity = (x(t + d) - x(t - d)) / (2 * d);
            const double acceleration = (x(t + d) - 2 * x(t) + x(t - d)) / (d * d);
            EXPECT_NEAR(acceleration + 2 * m.beta * velocity + m.w0 * m.w0 * s.x,
                        m.f * std::sin(m.wf * t), d * d * std::pow(rate, 4) * size) << t;
            const osc::State oracle = integrated(m, h, n);
            const double stepping = std::pow(static_cast<double>(h) * rate, 4) * rate * t * size;
            EXPECT_NEAR(s.x, oracle.x, stepping) << t;
            EXPECT_NEAR(s.v, oracle.v, stepping * rate) << t;
            // dE/dt = -2β·v² + f·sin(wf·t)·v
            const double power =
                (osc::exact_energy(m, t + d) - osc::exact_energy(m, t - d)) / (2 * d);
            EXPECT_NEAR(power, (-2 * m.beta * s.v + m.f * std::sin(m.wf * t)) * s.v,
                        d * d * std::pow(rate, 4) * size * size) << t;
        }
    }
}

} // namespace
