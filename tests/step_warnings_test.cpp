// What the step does to the motion, found before the first step, checked against the physics:
// one RK4 step multiplies a mode e^(λ·t) of x'' = -w0²·x - 2β·x' by
// R(z) = 1 + z + z²/2 + z³/6 + z⁴/24, z = h·λ, where the exact motion multiplies it by e^z.
// A mode is found when |R| > 1 although it does not grow, or when (R/e^z)^k strays from 1 by
// more than the tolerance for some k up to n, n counting the steps to the end of the run or to
// the time the exact mode has decayed. Rows that turn to inf or nan, and rows whose time (or
// drivenosc's n) repeats the previous row's, are found by running the steps by hand. Each shape
// of sentence is worded once: from a finding made here where it names the tolerance, else from
// a run of the program, which checks that the rest stays as it is.

#include "motion/motion.hpp"
#include "sandbox.hpp"
#include "step_by_hand.hpp"
#include "warnings/run_error.hpp"
#include "warnings/step_warnings.hpp"
#include "warnings/wording.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

using by_hand::Complex;
using by_hand::verdict;
using by_hand::Verdict;
using Kind = osc::ModeFinding::Kind;

// The steps after which classical RK4 on x'' = -w0²·x - 2β·x' + f·sin(wf·t) first holds a
// number that is not finite, time included; HUGE_VAL when none of `steps` does.
double finite_steps(const osc::Motion &m, double h, double steps)
{
    using State = std::complex<double>; // x + i·v
    const auto slope = [&](double t, State s) {
        return State(s.imag(), -m.w0 * m.w0 * s.real() - 2 * m.beta * s.imag() +
                                   m.f * std::sin(m.wf * t));
    };
    double t = 0;
    State s(m.x0, m.v0);
    for (double n = 1; n <= steps; ++n) {
        const State k1 = slope(t, s);
        const State k2 = slope(t + h / 2, s + h / 2 * k1);
        const State k3 = slope(t + h / 2, s + h / 2 * k2);
        const State k4 = slope(t + h, s + h * k3);
        s += h / 6 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
        t += h;
        if (!std::isfinite(t) || !std::isfinite(s.real()) || !std::isfinite(s.imag())) return n;
    }
    return HUGE_VAL;
}

// The step offered, where the step is the student's to choose, keeps the mode within the
// tolerance up to the same end, is not needlessly small (2.5 times it would not do), and comes
// with an N the program takes, up to `most`; or the finding says that no such N reaches the end.
void expect_offered_step(const osc::Remedy &r, Complex lambda, double h, double steps,
                         double most)
{
    using R = osc::Remedy::Kind;
    if (r.kind == R::shorter_run || r.kind == R::constants || r.kind == R::no_step) return;
    EXPECT_FALSE(verdict(lambda, r.h, steps * h / r.h).warns) << r.h;
    EXPECT_TRUE(verdict(lambda, 2.5 * r.h, steps * h / (2.5 * r.h)).warns) << r.h;
    EXPECT_EQ(r.kind == R::step, std::ceil(steps * h / r.h - 1e-9) <= most) << r.h;
    if (r.kind != R::step) return;
    EXPECT_GE(r.steps * r.h / h, steps * (1 - 1e-12));
    EXPECT_LE(r.steps, most);
}

// The findings on the modes of the motion at step h over `steps` are the verdicts by hand, of
// which the first `finite` steps leave the rows finite (past them nothing is judged).
void expect_mode_findings(const osc::StepFindings &found, const osc::Motion &m,
                          const osc::Grid &grid, double finite)
{
    const double h = grid.h;
    const double steps = std::min(grid.steps, finite);
    const double most = grid.step == osc::Step::chosen_int ? INT_MAX : HUGE_VAL;
    std::size_t warned = 0;
    for (const Complex lambda : by_hand::modes(m.w0, m.beta)) {
        Verdict v = verdict(lambda, h, steps);
        // Amplitude and phase are said where the run's own rows stray (its own table below).
        if (!v.warns || (!v.unstable && !(found.run_error > osc::tolerance))) continue;
        ++warned;
        SCOPED_TRACE("λ = " + std::to_string(lambda.real()) + " + " +
                     std::to_string(lambda.imag()) + "i");
        const auto mode = std::find_if(found.modes.begin(), found.modes.end(), [&](auto &f) {
            return std::abs(std::abs(f.z) - v.size) < 1e-9 * v.size;
        });
        ASSERT_NE(mode, found.modes.end()) << "no finding has h·|λ| = " << v.size;
        EXPECT_EQ(mode->kind == Kind::unstable, v.unstable);
        if (grid.step != osc::Step::fixed)
            expect_offered_step(mode->remedy, lambda, h, steps, most);
        // A step within the tolerance over ten of its mode's turns, one step at least, is small:
        // the steps add up.
        const double turns = 20.0 * osc::pi / v.size;
        EXPECT_EQ(mode->remedy.by_length,
                  turns >= 1 && v.steps > turns && !verdict(lambda, h, turns).warns);
        if (v.unstable) {
            EXPECT_NEAR(mode->limit, v.limit, 1e-9 * v.limit);
            continue;
        }
        // Judged where the rows still hold numbers: up to a step or two before they do not.
        if (finite < grid.steps) {
            EXPECT_LE(mode->deviation.steps, finite + 0.5);
            EXPECT_GE(mode->deviation.steps, finite - 3.0);
            v = verdict(lambda, h, mode->deviation.steps);
        }
        EXPECT_NEAR(osc::horizon_time(*mode, grid), v.steps * h, 1e-6 * std::abs(v.steps * h));
        const double share = std::abs(std::expm1(v.log_amplitude));
        EXPECT_EQ(mode->kind, share <= osc::tolerance ? Kind::phase : Kind::amplitude);
        // The phase, with the period the rows show, where it is off or alone off.
        EXPECT_EQ(mode->kind == Kind::phase || mode->phase_off,
                  lambda.imag() != 0.0 &&
                      (std::abs(v.phase) > osc::tolerance || share <= osc::tolerance));
        if (std::abs(v.log_amplitude) < 700) {
            EXPECT_NEAR(std::exp(mode->deviation.log_amplitude), std::exp(v.log_amplitude),
                        1e-6 * std::exp(v.log_amplitude));
        } else {
            EXPECT_NEAR(mode->deviation.log_amplitude, v.log_amplitude,
                        1e-6 * std::abs(v.log_amplitude));
        }
        if (mode->kind == Kind::phase) {
            EXPECT_NEAR(mode->deviation.largest, v.largest, 1e-3 * v.largest);
            EXPECT_EQ(mode->amplitude_said, share >= osc::tolerance / 10); // its words' edge
            continue;
        }
        // Which way the method errs: a damped mode decays faster when the ratio is below 1.
        using Effect = osc::ModeFinding::Effect;
        if (lambda.real() * h < 0.0) {
            EXPECT_EQ(mode->effect,
                      v.log_amplitude < 0.0 ? Effect::damps_faster : Effect::damps_slower);
        }
        // A phase said as the phase at the horizon is that phase.
        if (mode->phase_off && !mode->turn.per_step) {
            EXPECT_NEAR(mode->turn.phase, v.phase, 1e-6 + 1e-6 * std::abs(v.phase));
        }
    }
    EXPECT_EQ(found.modes.size(), warned);
}

TEST(StepFindings, EveryModeAsTheVerdictByHand)
{
    // harmosc: w0 = sqrt(k/m), β = b/(2m), h = 0.1, the step fixed; drivenosc and rkstepper:
    // w0 = 1, β = 0.25, f = 0.5, wf = 1 or 3.
    struct Case {
        osc::Motion motion;
        double h, steps;
        osc::Step step;
    };
    const auto harmosc = [](double k, double b, double tf, double x0 = 1) {
        return Case{{std::sqrt(k), b / 2, 0, 0, x0, 0}, 0.1, std::floor(tf / 0.1 + 0.5),
                    osc::Step::fixed};
    };
    const auto driven = [](double N, double h, osc::Step step) {
        return Case{{1, 0.25, 0.5, step == osc::Step::chosen ? 1.0 : 3.0, 1, 0}, h, N, step};
    };
    const auto drivenosc = [&](double N, double h) { return driven(N, h, osc::Step::chosen); };
    const auto rkstepper = [&](double N, double h) { return driven(N, h, osc::Step::chosen_int); };
    const Case cases[] = {
        harmosc(1, 0, 628.32),     // a hundred periods: the position strays 0.05%
        harmosc(4, 0.4, 20),       // w0 = 2, β = 0.2
        harmosc(25, 0, 3.5),       // h·w0 = 0.5: 0.91% by t = 3.5, quiet
        harmosc(25, 0, 9),         // the phase 0.021 rad behind, the amplitude 0.94%: 2.3%
        harmosc(25, 0, 14),        // the amplitude 1.5% smaller, the phase 0.033 rad behind
        harmosc(100, 0, 20),       // h·w0 = 1: 71% smaller by t = 20, 1.1 rad behind
        harmosc(790, 0, 100),      // just inside the stability limit, damped away
        harmosc(800, 0, 100),      // on it: the amplitude is kept, a step turns it by -1.91 rad
        harmosc(810, 0, 100),      // just outside it
        harmosc(4, 0, 4000),       // h·w0 = 0.2 is small: 40000 steps make 11%
        harmosc(4, 0, 200000),     // and 2e6 steps 59%, the phase 5.3 rad behind
        harmosc(1, 0, 14000),      // the phase 1.2% off, the amplitude 0.097% smaller: unsaid
        harmosc(1, 0, 15000),      // 1.3% and 0.104%, said
        harmosc(1, 100, 20),       // the fast mode e^(-100·t) is unstable, the slow one fine
        harmosc(0, 30, 5),         // no spring: e^(-30·t) is unstable, the other mode is still
        harmosc(196, 30, 5),       // two decays, both off: 815% and 7.6% when at 1%
        harmosc(25, 1, 100),       // 2.5% by the time e^(-t/2) has decayed to 1%
        harmosc(64, 1, 100),       // 8.6% smaller when it has decayed to 1%
        harmosc(25, 0.001, 100),   // damped, if lightly: the method damps it faster
        harmosc(1, -1000, 20),     // grows as e^(1000·t): judged until the rows overflow
        harmosc(1, -2, 1000),      // grows as e^t: past 1.8e308 by t = 700
        harmosc(1, -2, 600),       // not yet
        harmosc(1, 1e300, 1),      // β² overflows, h·λ does not: the fast mode is unstable
        harmosc(1e300, 0, 10),     // h·w0 = 1e149 turns ten times in less than a step: not small
        harmosc(1, 0, 1, 1e308),   // the first step sums six slopes of 1e308
        harmosc(1, 0, 10, 2e307),  // those of 2e307 still fit
        drivenosc(1000, 0.05),     // the README's run
        drivenosc(200, 0.5),       // 1.1% when the transient has decayed to 1%, at t = 18.4
        drivenosc(200, 0.6),       // 2.3%
        drivenosc(100, 1),         // 8.6% larger, 0.17 rad behind
        drivenosc(10, 2.7),        // stable, 6.1 times the exact amplitude
        drivenosc(30, 3),          // unstable: h·w0 = 3 beyond the limit 2.9 on this ray
        drivenosc(200, 0.4),       // 0.43%, quiet
        drivenosc(1000, 2),        // 48% smaller, and each step turns 1.53 rad instead of 1.94
        rkstepper(3000, 0.01),     // the README's run
        rkstepper(1, 3),           // one step is enough to be unstable
        rkstepper(1, 1e20),        // and so is one of any size: R(z) ~ z⁴/24
        rkstepper(1, 1e10),        // the step that would do needs more steps than an int holds
        rkstepper(2, 1e308),       // N·h overflows: t turns to inf, sin(wf·t) to nan
        rkstepper(10, 1),          // 4.6% smaller by t = 10, the phase 0.091 rad behind
        rkstepper(3, 2.7),         // stable, 2.2 times the exact amplitude
        rkstepper(3, -100),        // backward, the oscillation grows as e^(t/4), the method's less
        rkstepper(5000, -0.2),     // backward, h·w0 = 0.2: 5000 steps make 1.3%
        rkstepper(250010, -0.04)}; // backward: the rows overflow at t = -2830
    for (const Case &c : cases) {
        const osc::Motion &m = c.motion;
        SCOPED_TRACE("w0 = " + std::to_string(m.w0) + ", β = " + std::to_string(m.beta) +
                     ", x0 = " + std::to_string(m.x0) + ", h = " + std::to_string(c.h) +
                     ", N = " + std::to_string(c.steps));
        const osc::Grid grid{c.h, c.steps, c.step};
        const osc::StepFindings found = osc::step_findings(m, grid);
        const double finite = finite_steps(m, c.h, c.steps);
        expect_mode_findings(found, m, grid, finite);
        // Rows that turn to inf or nan were foretold, with their cause; rows said to, do.
        const bool unstable = std::any_of(found.modes.begin(), found.modes.end(),
                                          [](auto &f) { return f.kind == Kind::unstable; });
        EXPECT_TRUE(std::isinf(finite) || found.overflow || unstable || found.time_overflows);
        if (found.overflow && found.overflow->kind == osc::OverflowFinding::Kind::reaches) {
            EXPECT_TRUE(std::isfinite(finite));
        }
        EXPECT_EQ(found.backward, c.h < 0);
    }
}

// The run's own error, the largest |x - x_exact| over its rows as a share of the largest
// |x_exact|, as measured from the programs' rows against the exact motion.
TEST(StepFindings, TheRunsOwnErrorAsTheRowsShowIt)
{
    struct Case {
        osc::Motion motion;
        double h, steps, share;
    };
    const Case cases[] = {
        {{5, 0, 0, 0, 1, 0}, 0.1, 200, 0.0509},              // largest |x - cos 5t|
        {{1, 0.25, 0.5, 1, 1, 0}, 0.5, 2000, 2.2e-3},        // drivenosc choice 2
        {{1, 0.25, 0.5, 1.0 / 3, 1, 0}, 0.5, 2000, 8.9e-4},  // and choice 1
        {{1, 0.25, 0.5, 3, 0, 0}, 0.9, 1, 0.099},            // 0.116904 against 0.106349
        {{10, 0, 0, 0, 0, 0}, 0.1, 200, NAN}};               // at rest: every row is 0
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.motion.w0) + " " + std::to_string(c.h));
        const double share = osc::run_error(c.motion, c.h, c.steps);
        EXPECT_EQ(std::isnan(share), std::isnan(c.share));
        if (!std::isnan(c.share)) {
            EXPECT_NEAR(share, c.share, 0.01 * c.share);
        }
    }
}

// The first time (and step index n = t/h) that the next row writes alike in six significant
// digits, with the rows written t = h, 2h, ... by the running sum, as the programs do.
TEST(StepFindings, RepeatedTimesAsTheRowsWriteThem)
{
    struct Case {
        double h, steps;
        bool index;
    };
    const Case cases[] = {
        {0.1, 1000, false},     // quiet
        {0.09, 111110, true},   // t ends at 9999.9: every t is written apart
        {0.09, 111200, true},   // from t = 10000 t and t + 0.09 are written alike; n apart
        {0.001, 1000002, true}, // from t = 1000 t repeats, and from n = 1e+06 n does too
        {-0.04, 250010, false}, // backward: from t = -10000
        {0.1, 200000, false},   // to t = 20000: the sixth digit is h itself, all apart
        {0.09, 111116, false},  // 10000.35 and 10000.44 are both written 10000.4
        {0.02, 500010, false}}; // from t = 10000, where the sixth digit is worth 0.1
    // As printf's %g writes it; to_chars, which is specified so, takes a fraction of the time
    // over the million rows below.
    const auto written = [](double value) {
        char text[32];
        return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + " × " + std::to_string(c.steps));
        double t_alike = NAN;
        double n_alike = NAN;
        double t = 0;
        std::string t_text = "0";
        std::string n_text = "0";
        for (double n = 0; n < c.steps && (std::isnan(t_alike) || std::isnan(n_alike)); ++n) {
            const double next = t + c.h;
            const std::string next_t = written(next);
            const std::string next_n = written(next / c.h);
            if (std::isnan(t_alike) && t_text == next_t) t_alike = t;
            if (c.index && std::isnan(n_alike) && n_text == next_n) n_alike = t / c.h;
            t = next;
            t_text = next_t;
            n_text = next_n;
        }
        const auto found = osc::repeated_times(c.h, c.steps * c.h, c.index);
        ASSERT_EQ(found.has_value(), !std::isnan(t_alike));
        if (!found) continue;
        EXPECT_EQ(written(found->t), written(t_alike));
        EXPECT_EQ(std::isnan(found->n), std::isnan(n_alike));
        if (c.index && !std::isnan(n_alike)) {
            EXPECT_EQ(written(found->n), written(n_alike));
        }
    }
    EXPECT_TRUE(osc::repeated_times(0, 1, false)->still);
}

// A run whose loop, while end >= t, writes the row at t = 0 alone; and whether N and h the other
// way round, N·h the same end, would take a step of N and end.
TEST(StepFindings, OneRowAndWhetherNAndHWereSwapped)
{
    const double time = NAN; // the end asked as a final time, not as N steps
    struct Case {
        double end, h, steps;
        bool swapped;
    };
    const Case cases[] = {
        {50, 1000, 0.05, true},       // 1 0 0.05 1000: 1000 steps of 0.05 reach 50
        {0, 0.1, 0, false},           // N = 0 on purpose
        {0.25, 0.5, 0.5, false},      // swapped, a step of 0.5 passes 0.25 at once
        {0.5, 1, 0.5, true},          // 1 0 0.5 1: one step of 0.5 ends at 0.5 itself
        {1, 1e300, 1e-300, false},    // swapped, steps of 1e-300 never pass 1
        {0.05, 0.1, time, false},     // harmosc's tf = 0.05
        {0.1, 0.1, time, false},      // the row at t = h is written too
        {-1, 0.1, time, false},       // no row at all
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.end) + " at " + std::to_string(c.h));
        int rows = 0;
        for (double t = 0; c.end >= t && rows < 2; t += c.h) ++rows;
        const auto found = osc::one_row(c.end, c.h, c.steps);
        ASSERT_EQ(found.has_value(), rows == 1);
        if (found) {
            EXPECT_EQ(found->swapped, c.swapped);
        }
    }
}

struct Said {
    const char *program, *parameters, *input, *said;
};

// What a program says, byte for byte, against a quiet run of the same dialogue: the dialogue
// and the exit status stay what they are.
void expect_said(const Said &c)
{
    SCOPED_TRACE(std::string(c.parameters) + " " + c.input);
    Sandbox reference;
    Sandbox box;
    std::string input = c.input;
    std::string quiet = c.input[0] == '1' ? "1\n1 1\n1 0\n0\n" : "2\n1 1 0\n1 0\n0\n";
    if (*c.parameters != '\0') {
        reference.write(c.parameters, "1 0 1 0.1\n");
        box.write(c.parameters, input + "\n");
        input = quiet = c.program == std::string(DRIVENOSC) ? "2\n" : "";
    }
    const RunResult run = box.run(c.program, input);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, reference.run(c.program, quiet).out);
    EXPECT_EQ(run.err, c.said);
    // Each warning's first line fits 100 columns.
    for (const std::string &line : lines_of(run.err))
        if (line.rfind("  ", 0) != 0) {
            EXPECT_LE(std::count_if(line.begin(), line.end(), [](char b) { return (b & 0xC0) != 0x80; }), 100)
                << line;
        }
}

// Each shape of a step or driven warning whose remedy the tolerance sets, worded once from a
// finding made here: the numbers a run would find, the sentence as the student reads it.
TEST(StepWarnings, EachShapeWordedFromItsFinding)
{
    char percent[16];
    std::snprintf(percent, sizeof percent, "%g%%", 100 * osc::tolerance);
    const std::string within = std::string("ficaria abaixo de ") + percent;
    using Mode = osc::ModeFinding;
    using R = osc::Remedy::Kind;
    const auto found = [](double w0, double beta, osc::Grid grid, double run_error,
                          std::vector<Mode> modes) {
        osc::StepFindings f{};
        f.w0 = w0;
        f.beta = beta;
        f.grid = grid;
        f.run_error = run_error;
        f.run_until = grid.steps * grid.h;
        f.modes = std::move(modes);
        return f;
    };
    const auto fixed = [](double steps) { return osc::Grid{0.1, steps, osc::Step::fixed}; };
    // Free oscillations at h·w0 = 0.5 and 0.224, behind in phase, the amplitude 0.94% and 0.86%
    // smaller: a fixed step too large, then a run too long; the damped driven oscillation at
    // h·w0 = 2; the run's own error alone; steps beyond the stability limit whose remedy the end
    // or the largest N stands in the way of.
    const osc::StepFindings phase = found(
        5, 0, fixed(90), 0.022,
        {{Mode::Kind::phase, {}, {0, 0.5}, osc::Cause::spring, 0,
          {90, std::log(1 - 0.0094), -0.0214, 0.022}, true, false,
          {false, 0.479, 0.5, -0.0214, 1.2572, 1.2566}, {R::constants, false, 0.1, 90, 9}}});
    const osc::StepFindings long_run = found(
        std::sqrt(5), 0, fixed(10000), 0.046,
        {{Mode::Kind::phase, {}, {0, 0.1 * std::sqrt(5)}, osc::Cause::spring, 0,
          {10000, std::log(1 - 0.0086), -0.0458, 0.046}, true, false,
          {false, 0.2235, 0.2236, -0.0458, 2.81, 2 * osc::pi / std::sqrt(5)},
          {R::shorter_run, true, 0.1, 10000, 214.9}}});
    const osc::StepFindings amplitude = found(
        1, 0.25, {2, 1000, osc::Step::chosen}, 0.46,
        {{Mode::Kind::amplitude, Mode::Effect::damps_faster, {-0.5, std::sqrt(3.75)},
          osc::Cause::spring, 0, {9.2, std::log(0.52), 0.2, 0.5}, false, true,
          {true, 1.53, 1.936, 0.2, 8.2, 6.5}, {R::step, false, 0.2, 10000, 2000}}});
    osc::StepFindings run = found(1, 0.25, {0.9, 1, osc::Step::chosen_int}, 0.099, {});
    run.run = osc::RunErrorFinding{false, 0.5, 2};
    const auto unstable = [](double z, R remedy, double steps) {
        return Mode{Mode::Kind::unstable, {}, std::polar(z, 1.82), osc::Cause::spring, 2.9, {},
                    false, false, {}, {remedy, false, 0.2, steps, z}};
    };
    osc::StepFindings overflows = found(1, 0.25, {1e308, 2, osc::Step::chosen_int}, NAN,
                                        {unstable(1e308, R::end_not_finite, 0)});
    overflows.time_overflows = true;
    overflows.overflow_step = 2;
    const osc::StepFindings too_many = found(1, 0.25, {1e10, 1, osc::Step::chosen_int}, NAN,
                                             {unstable(1e10, R::too_many_steps, 2147483647)});
    // Just past the limit, h·w0 and the limit in the digits that tell them apart.
    Mode past = unstable(2.9, R::step, 435);
    past.limit = 2.8967;
    const osc::StepFindings just_past = found(1, 0.25, {2.9, 30, osc::Step::chosen}, NAN, {past});
    const osc::DrivenFinding driven{2, 0.54, 1, -0.0131,
                                    {osc::DrivenRemedy::Kind::step, 2, 0.5, 4000}};
    const struct {
        std::vector<std::string> said;
        std::string expected;
    } cases[] = {
        {osc::sentences(phase),
         "a posição afasta-se 2.2% da exata; h = 0.1 é fixo: baixe k/m\n"
         "  até t = 9, com h·w0 = 0.5 o método atrasa a oscilação: a fase vai 0.0214 rad "
         "atrasada, com um\n"
         "  período de 1.2572 em vez de 2π/w0 = 1.2566, e a amplitude é 0.94% menor do que a "
         "exata; é k/m = 25 que torna h·w0 grande"},
        {osc::sentences(long_run),
         "a posição afasta-se 4.6% da exata; até t = 214 " + within + "\n"
         "  até t = 1000, com h·w0 = 0.224 o método atrasa a oscilação: a fase vai 0.0458 rad "
         "atrasada, com um\n"
         "  período de 2.81 em vez de 2π/w0 = 2.8099, e a amplitude é 0.86% menor do que a "
         "exata; h·w0 = 0.224 é pequeno, mas o desvio de cada passo acumula-se nos 10000 passos "
         "até t = 1000"},
        {osc::sentences(amplitude),
         "a posição afasta-se 46% da exata; com h = 0.2 e N = 10000 " + within + "\n"
         "  até t = 2000, com h·w0 = 2 o método amortece a oscilação mais depressa do que a "
         "física:\n"
         "  em t = 18.4 a amplitude é 48% menor do que a exata, e cada passo roda a oscilação de "
         "1.53 rad em vez de 1.94"},
        {osc::sentences(run), "a posição afasta-se 9.9% da exata; com h = 0.5 e N = 2 " + within +
                                  "\n  até t = 0.9"},
        {{osc::sentence(driven)},
         "a amplitude sai 46% menor; com h = 0.5 e N = 4000 " + within + "\n"
         "  com h·wf = 2, passado o transitório, as linhas oscilam com amplitude 0.54 em vez de "
         "A(wf) = 1, e\n  com a fase atrasada 0.0131 rad"},
        {osc::sentences(overflows),
         "N·h passa o maior double: a soma do tempo chega a inf no passo 2\n"
         "  o maior número que um double guarda é 1.79769e+308; daí em diante as linhas são inf "
         "e nan\n"
         "passo instável, cresce sem limite; h = 0.2 bastaria, mas N·h não é finito\n"
         "  com h·w0 = 1e+308 passa o limite do método para a oscilação, h·w0 = 2.9, seja qual "
         "for a física"},
        {osc::sentences(too_many),
         "passo instável, cresce sem limite; h = 0.2 bastaria, mas N passaria do máximo\n"
         "  com h·w0 = 1e+10 passa o limite do método para a oscilação, h·w0 = 2.9, seja qual "
         "for a física; só\n  chegaria a t = 1e+10 com mais de 2147483647 passos, o maior N que "
         "se aceita"},
        {osc::sentences(just_past),
         "passo instável, cresce sem limite; com h = 0.2 e N = 435 " + within + "\n"
         "  com h·w0 = 2.9 passa o limite do método para a oscilação, h·w0 = 2.897, seja qual "
         "for a física"},
    };
    for (const auto &c : cases) {
        std::string said;
        for (const std::string &sentence : c.said) said += (said.empty() ? "" : "\n") + sentence;
        EXPECT_EQ(said, c.expected);
    }
}

// The other sentences byte for byte, as each program says them: its findings, in their order.
TEST(StepWarnings, EachProgramSaysItsFindings)
{
    const Said cases[] = {
        {HARMOSC, "", "2\n196 1 30\n1 0\n5\n",
         "harmosc: aviso: a posição afasta-se 18% da exata; h = 0.1 é fixo: baixe b/m\n"
         "  até t = 5, com h·|λ| = 2.04 o método amortece a parte do movimento que varia como "
         "e^(λ·t)\n"
         "  com λ = -20.4 mais devagar do que a física: em t = 0.226 a amplitude é 9.15 vezes a "
         "exata; é b/m = 30 que torna h·|λ| grande\n"
         "harmosc: aviso: a amplitude sai 7.6% maior do que a exata; h = 0.1 é fixo: baixe k/m e "
         "b/m\n"
         "  com h·|λ| = 0.961 o método amortece a parte do movimento que varia como e^(λ·t) com λ "
         "= -9.61 mais\n"
         "  devagar do que a física: em t = 0.479 a amplitude é 7.6% maior do que a exata; são "
         "k/m = 196 e b/m = 30 que tornam h·|λ| grande\n"},
        {HARMOSC, "", "2\n1 1 -1000\n1 0\n20\n",
         "harmosc: aviso: a constante de amortecimento b = -1000 é negativa\n"
         "  em vez de amortecer, faz o movimento crescer, o que não tem sentido físico\n"
         "harmosc: aviso: a posição afasta-se 100% da exata; h = 0.1 é fixo: baixe b/m\n"
         "  até t = 4.7, com h·|λ| = 100 o método faz crescer a parte do movimento que varia como "
         "e^(λ·t)\n"
         "  com λ = 1e+03 mais devagar do que a física: em t = 4.7 a amplitude é 5.92e-1730 vezes "
         "a exata; é b/m = -1000 que torna h·|λ| grande\n"
         "harmosc: aviso: por volta de t = 4.7 a solução calculada passa o maior double\n"
         "  o maior número que um double guarda, 1.79769e+308: daí em diante as linhas são inf e "
         "nan; a física\n"
         "  faz a solução crescer como e^(1e+03·t)\n"},
        {DRIVENOSC, "input_1a.txt", "1 0 111200 0.09",
         "drivenosc: aviso: linhas seguidas repetem t a partir de t = 10000.4\n"
         "  os números escritos têm seis algarismos significativos, que a partir daí não "
         "distinguem t de\n"
         "  t + 0.09\n"},
        {DRIVENOSC, "input_1a.txt", "1 0 0.05 1000", // N and h swapped
         "drivenosc: aviso: N = 0.05 não chega a um passo: só a linha de t = 0 será escrita\n"
         "  lidos como x0 v0 N h, N conta os passos e h é o seu tamanho; se N e h vieram trocados, "
         "N = 1000\n  e h = 0.05 iriam até t = 50\n"},
        {HARMOSC, "", "1\n810 1\n0 0\n20\n",
         ""}}; // at rest, however unstable the step
    for (const Said &c : cases) expect_said(c);
}

// The step index n repeats only from n = 1e+06: a million rows, so this one is slow.
TEST(StepWarnings, DrivenoscSaysRepeatedStepIndices)
{
    expect_said({DRIVENOSC, "input_1a.txt", "1 0 1000002 0.001",
                 "drivenosc: aviso: linhas seguidas repetem t a partir de t = 1000, e n a partir de n = "
                 "1e+06\n"
                 "  os números escritos têm seis algarismos significativos, que a partir daí não "
                 "distinguem t de\n"
                 "  t + 0.001 nem n de n + 1\n"});
}

} // namespace
