// What the step does to the motion, said before the first step, checked against the physics:
// one RK4 step multiplies a mode e^(λ·t) of x'' = -w0²·x - 2β·x' by
// R(z) = 1 + z + z²/2 + z³/6 + z⁴/24, z = h·λ, where the exact motion multiplies it by e^z.
// A mode warns when |R| > 1 although it does not grow, or when (R/e^z)^k strays more than 1%
// from 1 for some k up to n, n counting the steps to the end of the run or to the time the
// exact mode has decayed to 1%. Rows whose time (or drivenosc's n) repeats the previous row's
// are found in the data file itself, and so are rows that turn to inf or nan. Standard output
// and the rows stay what they are without warnings.

#include "motion/motion.hpp"
#include "sandbox.hpp"
#include "step_by_hand.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using by_hand::Complex;
using by_hand::verdict;
using by_hand::Verdict;

// The number written after `marker` (and after the " = " that follows it, with `equals`),
// or NaN when the marker is missing.
double number_after(const std::string &line, const std::string &marker, bool equals = false,
                    std::string *rest = nullptr)
{
    std::size_t at = line.find(marker);
    if (at == std::string::npos) return std::nan("");
    at += marker.size();
    if (equals) at = line.find(" = ", at) + 3;
    char *end = nullptr;
    const double value = std::strtod(line.c_str() + at, &end);
    if (rest != nullptr) *rest = end;
    return value;
}

void expect_close(double stated, double expected, double relative, const std::string &what)
{
    EXPECT_NEAR(stated, expected, relative * std::abs(expected)) << what;
}

bool has(const std::string &line, const std::string &part)
{
    return line.find(part) != std::string::npos;
}

// The step offered, where the step is the student's to choose, keeps the mode within 1% up to
// the same end, is no needlessly small (2.5 times it would not do), and comes with an N the
// program takes, up to `most`; or the line says that no such N reaches the end.
void expect_offered_step(const std::string &line, Complex lambda, double h, double steps,
                         double most)
{
    const double offered = number_after(line, "com h = ");
    const double cut = number_after(line, "um passo que mantenha o desvio abaixo de 1%, h = ");
    const double step = std::isnan(offered) ? cut : offered;
    if (std::isnan(step)) return;
    EXPECT_FALSE(verdict(lambda, step, steps * h / step).warns) << line;
    EXPECT_TRUE(verdict(lambda, 2.5 * step, steps * h / (2.5 * step)).warns) << line;
    const double offered_steps = number_after(line, " e N = ");
    EXPECT_EQ(std::isnan(offered), !(std::ceil(steps * h / step - 1e-9) <= most)) << line;
    if (std::isnan(offered)) return;
    EXPECT_GE(offered_steps * offered / h, steps * (1 - 1e-12)) << line;
    EXPECT_LE(offered_steps, most) << line;
}

// The step warnings in err are the verdicts' on the modes of (w0, β) at step h over `steps`,
// of which the first `finite` leave the rows finite (past them nothing is judged).
void expect_step_warnings(const std::string &err, double w0, double beta, double h, double steps,
                          double most, double finite = HUGE_VAL)
{
    std::vector<std::string> lines;
    for (const std::string &line : lines_of(err))
        if (has(line, ": aviso: com h·")) lines.push_back(line);
    std::size_t warned = 0;
    for (const Complex lambda : by_hand::modes(w0, beta)) {
        Verdict v = verdict(lambda, h, std::min(steps, finite));
        if (!v.warns) continue;
        ++warned;
        SCOPED_TRACE("λ = " + std::to_string(lambda.real()) + " + " +
                     std::to_string(lambda.imag()) + "i");
        const std::string *line = nullptr;
        for (const std::string &candidate : lines)
            if (std::abs(number_after(candidate, "com h·", true) - v.size) < 0.006 * v.size)
                line = &candidate;
        ASSERT_NE(line, nullptr) << "no warning names h·|λ| = " << v.size << " in\n" << err;
        EXPECT_EQ(has(*line, "instável"), v.unstable) << *line;
        expect_offered_step(*line, lambda, h, std::min(steps, finite), most);
        if (v.unstable) {
            expect_close(number_after(*line, "limite do método, ", true), v.limit, 0.006, *line);
            continue;
        }
        const double said = number_after(*line, "em t = ");
        if (finite < steps && !std::isnan(said)) {
            // Judged where the rows still hold numbers: up to a step or two before they do not.
            EXPECT_LE(said / h, finite + 0.5) << *line;
            EXPECT_GE(said / h, finite - 3.0) << *line;
            v = verdict(lambda, h, said / h);
        }
        // A step whose mode stays within 1% over ten of its turns is small: the steps add up.
        const double turns = 20.0 * osc::pi / v.size;
        EXPECT_EQ(has(*line, " é pequeno, mas o desvio de cada passo acumula-se"),
                  v.steps > turns && !verdict(lambda, h, turns).warns) << *line;
        // The phase, with the period the rows show, where it is off or alone off.
        const double share = std::abs(std::expm1(v.log_amplitude));
        EXPECT_EQ(has(*line, "com um período de "),
                  lambda.imag() != 0.0 && (std::abs(v.phase) > 0.01 || share <= 0.01)) << *line;
        if (share <= 0.01) {
            EXPECT_TRUE(has(*line, "chega a afastar-se da exata ")) << *line;
            continue;
        }
        expect_close(number_after(*line, "em t = "), v.steps * h, 0.006, *line);
        // Which way the method errs: a damped mode decays faster when the ratio is below 1.
        if (lambda.real() * h < 0.0) {
            EXPECT_TRUE(has(*line, v.log_amplitude < 0.0 ? "mais depressa" : "mais devagar"))
                << *line;
        }
        std::string rest;
        const double amount = number_after(*line, "a amplitude calculada é ", false, &rest);
        if (rest.rfind("% menor", 0) == 0 || rest.rfind("% maior", 0) == 0) {
            EXPECT_EQ(rest[2] == 'm' && rest[3] == 'e', v.log_amplitude < 0.0) << *line;
            EXPECT_NEAR(amount / 100.0, share, share >= 0.1 ? 0.0051 : 0.00051) << *line;
        } else {
            EXPECT_EQ(rest.rfind(" vezes", 0), 0u) << *line;
            if (std::abs(v.log_amplitude) < 700) {
                expect_close(amount, std::exp(v.log_amplitude), 0.006, *line);
            }
            EXPECT_FALSE(has(*line, " é 0 vezes")) << *line; // beyond a double: 5.92e-1730
        }
    }
    EXPECT_EQ(lines.size(), warned) << err;
}

// The first text in column `column` of the data that the next row repeats; empty if none.
std::string first_repeat(const std::string &data, std::size_t column)
{
    std::string_view previous;
    std::size_t start = 0;
    while (start < data.size()) {
        const std::size_t end = data.find('\n', start);
        if (end == std::string::npos) break;
        std::string_view row(data.data() + start, end - start);
        for (std::size_t i = 0; i < column; ++i) row.remove_prefix(row.find(' ') + 1);
        const std::string_view field = row.substr(0, row.find(' '));
        if (field == previous) return std::string(field);
        previous = field;
        start = end + 1;
    }
    return "";
}

// A warning names the time from which rows repeat a time (and an index) iff the data does.
void expect_repeat_warning(const std::string &err, const std::string &data, bool index)
{
    const std::string t = first_repeat(data, index ? 1 : 0);
    const std::string n = index ? first_repeat(data, 0) : "";
    std::vector<std::string> lines;
    for (const std::string &line : lines_of(err))
        if (line.find("mesmo t") != std::string::npos) lines.push_back(line);
    ASSERT_EQ(lines.size(), t.empty() ? 0u : 1u) << err;
    if (t.empty()) return;
    EXPECT_NE(lines[0].find("a partir de t = " + t + " "), std::string::npos)
        << "t repeats from " << t << ": " << lines[0];
    EXPECT_EQ(lines[0].find("n = " + n + " ") != std::string::npos, !n.empty()) << lines[0];
}

std::size_t rows_in(const std::string &data)
{
    return static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n'));
}

// Rows written at t = 0, h, h + h, ... while the running sum has not passed t_end.
std::size_t running_sum_rows(double h, double t_end)
{
    std::size_t rows = 0;
    for (double t = 0.0; t_end >= t; t += h) ++rows;
    return rows;
}

// A number as the parameter files take it, every digit kept.
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// How many rows come before the first that holds inf or nan.
double finite_rows(const std::string &data)
{
    const std::vector<std::string> rows = lines_of(data);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (has(rows[i], "inf") || has(rows[i], "nan")) return static_cast<double>(i);
    return HUGE_VAL;
}

// Rows that turn to inf or nan were foretold, with their cause; rows said to turn to them do.
void expect_overflow_said(const std::string &err, const std::string &data)
{
    const bool turns = std::isfinite(finite_rows(data));
    if (turns) {
        EXPECT_TRUE(has(err, "inf e nan") || has(err, "instável") ||
                    has(err, "não são ambos finitos"))
            << err;
    }
    EXPECT_TRUE(turns || !has(err, "as linhas são inf e nan")) << err;
}

void expect_warnings_only(const std::string &err, const std::string &program)
{
    for (const std::string &line : lines_of(err))
        EXPECT_EQ(line.rfind(program + ": aviso: ", 0), 0u) << line;
}

TEST(StepWarnings, HarmoscJudgesEveryModeOfItsFixedStep)
{
    struct Case {
        int selection;
        double k, m, b, tf;
        double x0 = 1;
    };
    const Case cases[] = {
        {1, 1, 1, 0, 628.32},    // a hundred periods: the position strays 0.05%
        {2, 4, 1, 0.4, 20},      // w0 = 2, β = 0.2
        {1, 25, 1, 0, 3.5},      // h·w0 = 0.5: 0.91% by t = 3.5, quiet
        {1, 25, 1, 0, 9},        // the phase 0.021 rad behind, the amplitude 0.94%: 2.3%
        {1, 25, 1, 0, 14},       // the amplitude 1.5% smaller, the phase 0.033 rad behind
        {1, 100, 1, 0, 20},      // h·w0 = 1: 71% smaller by t = 20, 1.1 rad behind
        {1, 790, 1, 0, 100},     // just inside the stability limit, damped away
        {1, 800, 1, 0, 100},     // on it: the amplitude is kept, a step turns it by -1.91 rad
        {1, 810, 1, 0, 100},     // just outside it
        {1, 4, 1, 0, 4000},      // h·w0 = 0.2 is small: 40000 steps make 11%
        {2, 1, 1, 100, 20},      // the fast mode e^(-100·t) is unstable, the slow one is fine
        {2, 0, 1, 30, 5},        // no spring: e^(-30·t) is unstable, the other mode is still
        {2, 196, 1, 30, 5},      // two decays, both off: 815% and 7.6% when at 1%
        {2, 25, 1, 1, 100},      // 2.5% by the time e^(-t/2) has decayed to 1%
        {2, 64, 1, 1, 100},      // 8.6% smaller when it has decayed to 1%
        {2, 1, 1, -1000, 20},    // grows as e^(1000·t): judged until the rows overflow
        {2, 1, 1, -2, 1000},     // grows as e^t: past 1.8e308 by t = 700
        {2, 1, 1, -2, 600},      // not yet
        {2, 1, 1, 1e300, 1},     // β² overflows, h·λ does not: the fast mode is unstable
        {2, 1, 0.5, 1e308, 1},   // β is finite, 2β = β + β is not
        {1, 1, 1, 0, 1, 1e308},  // the first step sums six slopes of 1e308
        {1, 1, 1, 0, 10, 2e307}}; // those of 2e307 still fit
    Sandbox reference;
    const std::string dialogue[2] = {reference.run(HARMOSC, "1\n1 1\n1 0\n0\n").out,
                                     reference.run(HARMOSC, "2\n1 1 0\n1 0\n0\n").out};
    for (const Case &c : cases) {
        const std::string input = std::to_string(c.selection) + "\n" + number(c.k) + " " +
                                  number(c.m) + (c.selection == 2 ? " " + number(c.b) : "") +
                                  "\n" + number(c.x0) + " 0\n" + number(c.tf) + "\n";
        SCOPED_TRACE(input);
        Sandbox box;
        const RunResult run = box.run(HARMOSC, input);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, dialogue[c.selection - 1]);
        expect_warnings_only(run.err, "harmosc");
        const double h = 0.1;
        const std::string data = box.read("Oscilador_Kutta.dat");
        expect_overflow_said(run.err, data);
        if (std::isfinite(c.b / c.m)) {
            expect_step_warnings(run.err, std::sqrt(c.k / c.m), c.b / (2 * c.m), h,
                                 std::floor(c.tf / h + 0.5), HUGE_VAL, finite_rows(data));
        }
        // The constants that make h·|λ| large, since h is not the student's to change.
        if (c.k == 100) {
            EXPECT_NE(run.err.find("k/m = 100 "), std::string::npos) << run.err;
        }
        if (c.b == 100) {
            EXPECT_NE(run.err.find("b/m = 100 "), std::string::npos) << run.err;
        }
        EXPECT_EQ(rows_in(data), running_sum_rows(h, c.tf));
        char first[40];
        std::snprintf(first, sizeof first, "0 %g 0\n", c.x0);
        EXPECT_EQ(data.rfind(first, 0), 0u);
        expect_repeat_warning(run.err, data, false);
    }
}

TEST(StepWarnings, DrivenoscJudgesItsOscillationAndItsWrittenTimes)
{
    // w0 = 1, 2β = 0.5; x0 = 1, v0 = 0, N, h.
    struct Case {
        double N, h;
    };
    const Case cases[] = {
        {1000, 0.05},   // the README's run
        {200, 0.5},     // 1.1% when the transient has decayed to 1%, at t = 18.4
        {200, 0.6},     // 2.3%
        {100, 1},       // 8.6% larger, 0.17 rad behind
        {10, 2.7},      // stable, 6.1 times the exact amplitude
        {30, 3},        // unstable: h·w0 = 3 beyond the limit 2.9 on this ray
        {200, 0.4},     // 0.43%, quiet
        {1000, 2},      // 48% smaller, and each step turns 1.53 rad instead of 1.94
        {111110, 0.09}, // t ends at 9999.9: every t is written apart
        {111200, 0.09}, // from t = 10000 t and t + 0.09 are written alike; n stays apart
        {1000002, 0.001}}; // from t = 1000 t repeats, and from n = 1e+06 n does too
    Sandbox reference;
    reference.write("input_1a.txt", "1 0 1 0.1\n");
    const std::string console = reference.run(DRIVENOSC, "2\n").out;
    for (const Case &c : cases) {
        const std::string parameters = "1 0 " + std::to_string(c.N) + " " + std::to_string(c.h);
        SCOPED_TRACE(parameters);
        Sandbox box;
        box.write("input_1a.txt", parameters + "\n");
        const RunResult run = box.run(DRIVENOSC, "2\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, console);
        expect_warnings_only(run.err, "drivenosc");
        const std::string data = box.read("Kutta_1a_w0.dat");
        expect_step_warnings(run.err, 1.0, 0.25, c.h, std::floor(c.N + 0.5), HUGE_VAL,
                             finite_rows(data));
        expect_overflow_said(run.err, data);
        EXPECT_EQ(rows_in(data), running_sum_rows(c.h, c.N * c.h));
        EXPECT_EQ(data.rfind("0 0 1 0\n", 0), 0u);
        expect_repeat_warning(run.err, data, true);
    }
}

TEST(StepWarnings, RkstepperJudgesItsOscillationAndItsWrittenTimes)
{
    // w0 = 1, 2β = 0.5; x0 = 1, v0 = 0, N, h.
    struct Case {
        int N;
        double h;
    };
    const Case cases[] = {
        {3000, 0.01},   // the README's run
        {1, 3},         // one step is enough to be unstable
        {1, 1e20},      // and so is one of any size: R(z) ~ z⁴/24
        {1, 1e10},      // the step that would do needs more steps than an int holds
        {2, 1e308},     // N·h overflows: t turns to inf, sin(wf·t) to nan
        {10, 1},        // 4.6% smaller by t = 10, the phase 0.091 rad behind
        {200, 0.5},     // 1.1% when the transient has decayed to 1%
        {3, 2.7},       // stable, 2.2 times the exact amplitude
        {10, 3},        // unstable
        {10, 0.4},      // 0.09%, quiet
        {3, -100},      // backward, the oscillation grows as e^(t/4) and the method's far less
        {5000, -0.2},   // backward, h·w0 = 0.2: 5000 steps make 1.3%
        {250010, -0.04}, // backward: the rows overflow at t = -2830; from -10000 t repeats
        {200000, 0.1},  // to t = 20000: the sixth digit is h itself, so every t is written apart
        {111115, 0.09}, // ends at the first t = 10000.4, quiet
        {111116, 0.09}, // t = 10000.35 and 10000.44 are both written 10000.4
        {500010, 0.02}}; // from t = 10000, where the sixth digit is worth 0.1
    for (const Case &c : cases) {
        const std::string parameters = "1 0 " + std::to_string(c.N) + " " + number(c.h);
        SCOPED_TRACE(parameters);
        Sandbox box;
        box.write("parametros_sistema.txt", parameters + "\n");
        const RunResult run = box.run(RKSTEPPER, "");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "");
        expect_warnings_only(run.err, "rkstepper");
        const std::string data = box.read("RK_generico_1b.txt");
        // Row i holds the state after step i + 1.
        expect_step_warnings(run.err, 1.0, 0.25, c.h, c.N, INT_MAX, finite_rows(data) + 1.0);
        expect_overflow_said(run.err, data);
        EXPECT_EQ(rows_in(data), static_cast<std::size_t>(c.N));
        expect_repeat_warning(run.err, data, false);
    }
}

} // namespace
