// The step maths in-process, against R(z) and e^z worked out by hand, the exact solutions of
// the oscillator and the running sum of h: one row per branch, on each side of each threshold.

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
using by_hand::verdict;

const Complex rk_mode(-0.25, std::sqrt(1.0 - 0.0625)); // w0 = 1, β = 0.25

// ln|R(z)| and arg R(z), also where R(z) and z⁴ overflow a double; and whether the step makes
// a mode that does not grow grow.
TEST(StepMath, OneStepAgainstItsFormula)
{
    const Complex cases[] = {
        {0.0, 0.05},  {0.0, 0.5},  {0.0, 1.0},   {0.0, 2 * std::sqrt(2.0)}, {0.0, 2.81},
        {0.0, 2.85},  {-2.7, 0.0}, {-2.9, 0.0},  0.1 * rk_mode, -100.0 * rk_mode,
        1e20 * rk_mode, // R ~ z⁴/24 ~ 4e78, far beyond the stability limit
        {-1e299, 0.0},  // the fast mode of b = 1e300, whose β² overflows
        1e308 * rk_mode};
    for (const Complex z : cases) {
        SCOPED_TRACE(std::to_string(z.real()) + " + " + std::to_string(z.imag()) + "i");
        const Long r = by_hand::R(Long(z.real(), z.imag()));
        const double log_gain = static_cast<double>(std::log(std::abs(r)));
        EXPECT_NEAR(osc::rk4_log_gain(z), log_gain, 1e-12 * std::abs(log_gain) + 1e-15);
        EXPECT_EQ(osc::rk4_unstable(z), z.real() <= 0.0 && log_gain > 1e-12);
        if (std::abs(z) > 1e10) {
            // The leading term: ln|R| = 4·ln|z| - ln 24 + O(1/|z|).
            EXPECT_NEAR(osc::rk4_log_factor(z).real(), 4 * std::log(std::abs(z)) - std::log(24.0),
                        1e-9);
            continue;
        }
        const Long q = r / std::exp(Long(z.real(), z.imag()));
        const Complex error = osc::rk4_log_error(z);
        const double drift = static_cast<double>(std::log(std::abs(q)));
        EXPECT_NEAR(error.real(), drift, 1e-9 * std::abs(drift) + 1e-15);
        EXPECT_NEAR(error.imag(), static_cast<double>(std::arg(q)), 1e-9 * std::abs(std::arg(q)) + 1e-20);
        EXPECT_NEAR(osc::rk4_log_factor(z).imag(), static_cast<double>(std::arg(r)), 1e-12);
    }
}

// h·λ of every mode, worked out without forming β² or w0².
TEST(StepMath, ModesOfEveryKind)
{
    struct Case {
        double h, w0, beta;
    };
    const Case cases[] = {{0.1, 5, 0},        {0.1, 2, 0.2},     {0.1, 1, 50},
                          {0.1, 14, 15},      {0.1, 0, 15},      {0.1, 1, 1},
                          {0.1, 1, 5e299},    {0.1, 1e150, 5e299}, {0.1, 1, 5e154},
                          {-0.1, 1, 0.25},    {1e308, 1, 0.25},  {0.1, 1, -500}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + " " + std::to_string(c.w0) + " " + std::to_string(c.beta));
        const auto expected = by_hand::modes(c.w0, c.beta);
        const auto zs = osc::step_modes(c.h, c.w0, c.beta);
        ASSERT_EQ(zs.size(), expected.size());
        for (std::size_t i = 0; i < zs.size(); ++i) {
            const Long z = Long(c.h) * Long(expected[i].real(), expected[i].imag());
            EXPECT_NEAR(zs[i].real(), static_cast<double>(z.real()), 1e-12 * static_cast<double>(std::abs(z)));
            EXPECT_NEAR(zs[i].imag(), static_cast<double>(z.imag()), 1e-12 * static_cast<double>(std::abs(z)));
        }
    }
    EXPECT_TRUE(osc::step_modes(0.0, 1, 1).empty());
    EXPECT_TRUE(osc::step_modes(0.1, 0, 0).empty());
}

// The complex deviation up to the horizon, and whether the run's length is what makes it.
TEST(StepMath, DeviationUpToTheHorizon)
{
    struct Case {
        Complex lambda;
        double h, steps;
    };
    const Case cases[] = {
        {{0, 5}, 0.1, 35},          // 0.91%
        {{0, 5}, 0.1, 40},          // 1.04%: the phase 0.0095 rad and the amplitude 0.42%
        {{0, 2}, 0.1, 3000},        // h·w0 = 0.2: quiet for ten turns and more
        {{0, 2}, 0.1, 40000},       // ... but not for 40000 steps
        {{0, 10}, 0.1, 200},        // both off, within ten turns
        {{0, 28.2842712474619}, 0.1, 1000}, // the phase goes round: the largest difference is 2
        {rk_mode, 0.4, 200},        // judged until the decay to 1%, at t = 18.4: quiet
        {rk_mode, 0.5, 200},        // 1.07% there
        {rk_mode, 0.5, 20},         // the run ends before: 0.9%
        {rk_mode, -0.2, 3000},      // backward the mode grows: judged to the end
        {rk_mode, -0.2, 5000},
        {-1, 0.1, 200},             // real modes: the amplitude alone
        {-9.615, 0.1, 50}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.lambda.imag()) + " " + std::to_string(c.h) + " " +
                     std::to_string(c.steps));
        const by_hand::Verdict v = verdict(c.lambda, c.h, c.steps);
        const Complex z = c.h * c.lambda;
        const osc::Deviation d = osc::deviation(z, c.steps);
        EXPECT_NEAR(d.steps, v.steps, 1e-9 * v.steps);
        EXPECT_NEAR(d.log_amplitude, v.log_amplitude, 1e-8 * std::abs(v.log_amplitude) + 1e-12);
        if (std::abs(v.phase) < 3) {
            EXPECT_NEAR(d.phase, v.phase, 1e-8 * std::abs(v.phase) + 1e-15);
        }
        EXPECT_NEAR(d.largest, v.largest, 0.002 * v.largest + 1e-15);
        EXPECT_EQ(osc::strays(z, c.steps), v.warns);
        const double turns = 20 * std::acos(-1.0) / std::abs(z);
        EXPECT_EQ(osc::strays_by_length(z, c.steps),
                  v.warns && v.steps > turns && !verdict(c.lambda, c.h, turns).warns);
    }
}

// The step offered is finite, keeps h's sign, is what its text reads as, keeps the mode within
// 1% up to the same end and is no needlessly small; the N offered with it is taken or refused
// as the program would: beyond `most`, or past the point where the running sum stalls.
TEST(StepMath, OfferedStepIsOneTheProgramTakes)
{
    struct Case {
        double h, steps, most;
        bool reaches;
    };
    const Case cases[] = {{3, 10, INT_MAX, true},     {0.5, 200, INT_MAX, true},
                          {-100, 3, INT_MAX, true},   {1e10, 1, INT_MAX, false},
                          {1e20, 1, INT_MAX, false},  {1e20, 1, HUGE_VAL, false},
                          {0.5, 2e9, INT_MAX, false}, {0.5, 2e9, HUGE_VAL, true},
                          {0.5, 5e15, HUGE_VAL, false}, {1e308, 2, INT_MAX, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + " " + std::to_string(c.steps));
        const double step = osc::accurate_step(c.h * rk_mode, c.h, c.steps);
        ASSERT_TRUE(std::isfinite(step));
        EXPECT_EQ(step < 0, c.h < 0);
        char typed[32];
        std::snprintf(typed, sizeof typed, "%.0e", step);
        EXPECT_EQ(std::strtod(typed, nullptr), step) << typed;
        const double end = std::min(c.steps * c.h, DBL_MAX); // where N·h overflows: far
        EXPECT_FALSE(verdict(rk_mode, step, end / step).warns);
        EXPECT_TRUE(verdict(rk_mode, 2.5 * step, end / (2.5 * step)).warns);
        const double steps = osc::steps_to_reach(c.steps * c.h, step, c.most);
        EXPECT_EQ(std::isfinite(steps), c.reaches);
        if (!c.reaches) continue;
        EXPECT_LE(steps, c.most);
        EXPECT_GE(steps * step / (c.steps * c.h), 1 - 1e-12);
        EXPECT_LT((steps - 1) * step / (c.steps * c.h), 1);
        const double t = steps * step;
        EXPECT_NE(t + step, t) << "the running sum still moves there";
    }
}

// Where the computed rows pass the largest double, against the exact solutions: the state
// times 6·max(1, w0² + 2|β|), what the stages of the next step sum, reaches 1.8e308.
TEST(StepMath, RowsOverflowWhereTheExactMotionDoes)
{
    // x = (1 - t)·e^t, v = -t·e^t for x'' = -x + 2x': t·e^t·18 = DBL_MAX.
    double critical = 700.0;
    for (int i = 0; i < 50; ++i) critical = std::log(DBL_MAX / 18.0) - std::log(critical);
    // Backward, the damped oscillation grows as e^(|t|/4), times at most 1.04.
    const double backward = std::log(DBL_MAX / 9.0) / 0.25;
    // From rest, what grows is minus the forced motion Im(F·e^(3i·t)), F = 0.5/(-8 + 1.5i).
    const Complex F = 0.5 / Complex(-8, 1.5);
    const double forced = backward - std::log(std::hypot(F.imag(), 3 * F.real())) / 0.25;
    // The rows themselves: t·e^t = DBL_MAX.
    double itself = 700.0;
    for (int i = 0; i < 50; ++i) itself = std::log(DBL_MAX) - std::log(itself);
    struct Case {
        double h, w0, beta, f, wf, x0, v0, steps, t, within;
        bool rows = false; // the state itself, not the sums of the next step
    };
    const double none = std::nan("");
    const Case cases[] = {
        {0.1, 1, -1, 0, 0, 1, 0, 10000, critical, 0.5},
        {0.1, 1, -1, 0, 0, 1, 0, 10000, itself, 0.5, true},
        {0.1, 1, 0, 0, 0, 1e308, 0, 10, none, 0, true},
        {0.1, 1, -1, 0, 0, 1, 0, 6000, none, 0},
        {-0.1, 1, 0.25, 0, 0, 1, 0, 40000, -backward, 7},
        {-0.1, 1, 0.25, 0.5, 3, 0, 0, 40000, -forced, 7},
        {-0.1, 1, 0.25, 0.5, 3, 0, 0, 20000, none, 0},
        {0.1, 0, 0, 0, 0, 0, 1e300, 1e10, DBL_MAX / 6e300, 3e5}, // x = v0·t, no spring
        {0.1, 1, 0, 0, 0, 1e308, 0, 10, 0, 0},
        {0.1, 1, 0, 0, 0, 2e307, 0, 100, none, 0},
        {0.1, 1, 0.25, 0, 0, 1, 0, 1e6, none, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + " " + std::to_string(c.beta) + " " +
                     std::to_string(c.v0) + " " + std::to_string(c.steps));
        const double margin = c.rows ? 1 : 6 * std::max(1.0, c.w0 * c.w0 + 2 * std::abs(c.beta));
        if (!c.rows) {
            EXPECT_EQ(osc::stage_factor(c.w0, c.beta), margin);
        }
        const double step =
            osc::overflow_step(c.h, c.w0, c.beta, c.f, c.wf, c.x0, c.v0, c.steps, margin);
        EXPECT_EQ(std::isnan(step), std::isnan(c.t));
        if (!std::isnan(c.t)) {
            EXPECT_NEAR(step * c.h, c.t, c.within);
        }
    }
}

} // namespace
