// The step maths in-process, against R(z) and e^z worked out by hand, the exact solutions of
// the oscillator and the running sum of h: one row per branch, on each side of each threshold.

#include "motion/motion.hpp"
#include "step_by_hand.hpp"
#include "stepmath/rk4.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using by_hand::Complex;
using by_hand::Long;

// Every mode of x'' = -w0²·x - 2β·x' at step h over `steps`: h·λ, ln R(z), the deviation up to
// the horizon, and the step offered, which must be finite, typed as it reads, within the
// tolerance and not needlessly small, with an N that a program taking at most `most` steps accepts.
TEST(StepMath, EveryModeAgainstItsFormula)
{
    struct Case {
        double h, w0, beta, steps, most;
    };
    const double any = HUGE_VAL;
    const Case cases[] = {
        {0.1, 5, 0, 35, any},       // 0.91%, quiet
        {0.1, 5, 0, 40, any},       // 1.04%: the phase 0.0095 rad and the amplitude 0.42%
        {0.1, 2, 0, 3000, any},     // h·w0 = 0.2 is small ...
        {0.1, 2, 0, 40000, any},    // ... but 40000 steps add up
        {0.1, 28.2842712474619, 0, 4, any}, // at the limit the phase goes round
        {0.4, 1, 0.25, 200, INT_MAX}, // judged until the mode has decayed: quiet
        {0.5, 1, 0.25, 200, INT_MAX}, // 1.07% there
        {0.5, 1, 0.25, 20, INT_MAX},  // the run ends before: 0.9%
        {-0.2, 1, 0.25, 3000, INT_MAX}, // backward the mode grows: judged to the end
        {-0.2, 1, 0.25, 5000, INT_MAX},
        {-100, 1, 0.25, 3, INT_MAX},    // and a step far too large grows it far too little
        {3, 1, 0.25, 10, INT_MAX},      // unstable
        {1e10, 1, 0.25, 1, INT_MAX},    // unstable; the end needs more steps than an int
        {1e20, 1, 0.25, 1, any},        // R(z) ~ z⁴/24; the running sum stalls before the end
        {0.5, 1, 0.25, 2e9, INT_MAX},   // more than an int ...
        {0.5, 1, 0.25, 2e9, any},       // ... which drivenosc takes
        {1e308, 1, 0.25, 2, INT_MAX},   // N·h overflows
        {0.1, 1, 50, 200, any},         // overdamped: unstable fast mode, accurate slow one
        {0.1, 14, 15, 50, any},         // both off
        {0.1, 0, 15, 50, any},          // no spring: e^(-30·t) is unstable, the other mode still
        {0.1, 1, 1, 200, any},          // critical
        {0.1, 1, 5e299, 10, any},       // β² overflows, h·λ does not
        {1e200, 1, 5, 1, any},          // and (h·w0)² too
        {0.1, 1, -500, 20, any}};       // growing modes
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + " " + std::to_string(c.w0) + " " +
                     std::to_string(c.beta) + " " + std::to_string(c.steps));
        const auto lambdas = by_hand::modes(c.w0, c.beta);
        const auto zs = osc::step_modes(c.h, c.w0, c.beta);
        ASSERT_EQ(zs.size(), lambdas.size());
        for (std::size_t i = 0; i < zs.size(); ++i) {
            const Complex lambda = lambdas[i];
            const Complex z = zs[i];
            EXPECT_NEAR(std::abs(z - c.h * lambda), 0, 1e-12 * std::abs(z));
            if (z == 0.0) continue;
            const Long r = by_hand::R(Long(z.real(), z.imag()));
            const double log_gain = static_cast<double>(std::log(std::abs(r)));
            EXPECT_NEAR(osc::rk4_log_gain(z), log_gain, 1e-12 * std::abs(log_gain) + 1e-15);
            EXPECT_EQ(osc::rk4_unstable(z), z.real() <= 0 && log_gain > 1e-12);
            if (std::abs(z) > 1e3) {
                // The leading term: ln|R| = 4·ln|z| - ln 24 + O(1/|z|).
                EXPECT_NEAR(osc::rk4_log_factor(z).real(),
                            4 * std::log(std::abs(z)) - std::log(24.0), 1e-2);
            } else {
                const by_hand::Verdict v = by_hand::verdict(lambda, c.h, c.steps);
                const osc::Deviation d = osc::deviation(z, c.steps);
                EXPECT_NEAR(osc::rk4_log_factor(z).imag(), static_cast<double>(std::arg(r)), 1e-12);
                EXPECT_NEAR(d.steps, v.steps, 1e-9 * v.steps);
                EXPECT_NEAR(d.log_amplitude, v.log_amplitude,
                            1e-8 * std::abs(v.log_amplitude) + 1e-12);
                EXPECT_NEAR(std::remainder(d.phase - v.phase, 2 * osc::pi), 0,
                            1e-8 * std::abs(v.phase) + 1e-12);
                EXPECT_NEAR(d.largest, v.largest, 0.002 * v.largest + 1e-15);
                EXPECT_EQ(osc::strays(z, c.steps), v.largest > osc::tolerance);
                const double turns = 20 * osc::pi / std::abs(z);
                const bool by_length = v.warns && turns >= 1 && v.steps > turns &&
                                       !by_hand::verdict(lambda, c.h, turns).warns;
                EXPECT_EQ(osc::strays_by_length(z, c.steps), by_length);
                // Up to where a fixed step stays within the tolerance.
                const double within = osc::steps_within(z, c.steps);
                EXPECT_TRUE(!by_length || !by_hand::verdict(lambda, c.h, within).warns);
                EXPECT_EQ(by_hand::verdict(lambda, c.h, within + 1).warns, v.warns);
                if (!v.warns) continue;
            }
            const double step = osc::accurate_step(z, c.h, c.steps);
            ASSERT_TRUE(std::isfinite(step));
            EXPECT_EQ(step < 0, c.h < 0);
            char typed[32];
            std::snprintf(typed, sizeof typed, "%.0e", step);
            EXPECT_EQ(std::strtod(typed, nullptr), step) << typed;
            const double end = std::min(c.steps * c.h, DBL_MAX);
            EXPECT_FALSE(by_hand::verdict(lambda, step, end / step).warns) << step;
            EXPECT_TRUE(by_hand::verdict(lambda, 2.5 * step, end / (2.5 * step)).warns) << step;
            // The N that reaches the end, where the running sum still moves.
            const double n = std::ceil(c.steps * c.h / step - 1e-9);
            const bool taken = n <= c.most && n * step + step != n * step;
            const double steps = osc::steps_to_reach(c.steps * c.h, step, c.most);
            EXPECT_EQ(std::isfinite(steps), taken) << n;
            if (taken) {
                EXPECT_EQ(steps, n);
            }
        }
    }
}

// Where the computed rows pass the largest double, against the exact solutions: the state,
// or the state times 6·max(1, w0² + 2|β|), what the stages of the next step sum.
TEST(StepMath, RowsOverflowWhereTheExactMotionDoes)
{
    // x = (1 - t)·e^t, v = -t·e^t for x'' = -x + 2x': t·e^t·18 = DBL_MAX, or t·e^t = DBL_MAX.
    double sums = 700.0;
    double rows = 700.0;
    for (int i = 0; i < 50; ++i) {
        sums = std::log(DBL_MAX / 18.0) - std::log(sums);
        rows = std::log(DBL_MAX) - std::log(rows);
    }
    // Backward, the damped oscillation grows as e^(|t|/4), times at most 1.04; from rest what
    // grows is minus the forced motion Im(F·e^(3i·t)), F = 0.5/(-8 + 1.5i).
    const double backward = std::log(DBL_MAX / 9.0) / 0.25;
    const Complex F = 0.5 / Complex(-8, 1.5);
    const double forced = backward - std::log(std::hypot(F.imag(), 3 * F.real())) / 0.25;
    const double none = std::nan("");
    struct Case {
        double h, w0, beta, f, wf, x0, v0, steps, t, within;
        bool rows = false; // the state itself, not the sums of the next step
    };
    const Case cases[] = {{0.1, 1, -1, 0, 0, 1, 0, 10000, sums, 0.5},
                          {0.1, 1, -1, 0, 0, 1, 0, 10000, rows, 0.5, true},
                          {0.1, 1, -1, 0, 0, 1, 0, 6000, none, 0},
                          {-0.1, 1, 0.25, 0, 0, 1, 0, 40000, -backward, 7},
                          {-0.1, 1, 0.25, 0.5, 3, 0, 0, 40000, -forced, 7},
                          {-0.1, 1, 0.25, 0.5, 3, 0, 0, 20000, none, 0},
                          {0.1, 0, 0, 0, 0, 0, 1e300, 1e10, DBL_MAX / 6e300, 3e5}, // x = v0·t
                          {0.1, 1, 0, 0, 0, 1e308, 0, 10, 0, 0},
                          {0.1, 1, 0, 0, 0, 1e308, 0, 10, none, 0, true},
                          {0.1, 1, 0, 0, 0, 2e307, 0, 100, none, 0},
                          {0.1, 1, 0.25, 0, 0, 1, 0, 1e6, none, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + " " + std::to_string(c.beta) + " " +
                     std::to_string(c.v0) + " " + std::to_string(c.steps));
        const double factor = 6 * std::max(1.0, c.w0 * c.w0 + 2 * std::abs(c.beta));
        EXPECT_EQ(osc::stage_factor(c.w0, c.beta), factor);
        const double step = osc::overflow_step(c.h, c.w0, c.beta, c.f, c.wf, c.x0, c.v0,
                                               c.steps, c.rows ? 1 : factor);
        EXPECT_EQ(std::isnan(step), std::isnan(c.t));
        if (!std::isnan(c.t)) {
            EXPECT_NEAR(step * c.h, c.t, c.within);
        }
    }
}

} // namespace
