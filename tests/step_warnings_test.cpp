// What the step does to the motion, said before the first step, checked against the physics:
// one RK4 step multiplies a mode e^(λ·t) of x'' = -w0²·x - 2β·x' by
// R(z) = 1 + z + z²/2 + z³/6 + z⁴/24, z = h·λ, where the exact motion multiplies it by e^z.
// A mode warns when |R| > 1 although it does not grow, or when (|R| / |e^z|)^n strays more
// than 1% from 1, n counting the steps to the end of the run or to the time the exact mode has
// decayed to 1%. Rows whose time (or drivenosc's n) repeats the previous row's are found in
// the data file itself. Standard output and the rows stay what they are without warnings.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Complex = std::complex<double>;

Complex R(Complex z) { return 1.0 + z + z * z / 2.0 + z * z * z / 6.0 + z * z * z * z / 24.0; }

// The roots of λ² + 2β·λ + w0² = 0; a complex pair is one oscillation.
std::vector<Complex> modes(double w0, double beta)
{
    const Complex root = std::sqrt(Complex(beta * beta - w0 * w0));
    if (root.real() == 0.0) return {-beta + std::abs(root.imag()) * Complex(0.0, 1.0)};
    return {-beta - root, -beta + root};
}

// What a mode's warning has to say, computed from R itself.
struct Verdict {
    bool warns;
    bool unstable;
    double size;  // h·|λ|
    double ratio; // computed over exact amplitude at the horizon
    double time;  // the horizon
    double limit; // |z| where |R| = 1 on the ray through z
};

Verdict verdict(Complex lambda, double h, double steps)
{
    const Complex z = h * lambda;
    const double gain = std::abs(R(z));
    const double n = lambda.real() < 0.0 ? std::min(steps, std::log(100.0) / -z.real()) : steps;
    const double ratio = std::pow(gain / std::exp(z.real()), n);
    double inside = 0.0;
    double outside = 4.0;
    for (int i = 0; i < 60; ++i) {
        const double s = 0.5 * (inside + outside);
        (std::abs(R(s * z / std::abs(z))) > 1.0 ? outside : inside) = s;
    }
    const bool unstable = z.real() <= 0.0 && gain > 1.0 + 1e-9;
    return {unstable || std::abs(ratio - 1.0) > 0.01, unstable, std::abs(z), ratio, n * h, inside};
}

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

// The step warnings in err are the verdicts' on the modes of (w0, β) at step h over `steps`.
void expect_step_warnings(const std::string &err, double w0, double beta, double h, double steps)
{
    std::vector<std::string> lines;
    for (const std::string &line : lines_of(err)) { // what the rows show is judged apart
        const auto lacks = [&line](const char *s) { return line.find(s) == std::string::npos; };
        if (lacks("mesmo t") && lacks("oscilação forçada") && lacks("livre tem período"))
            lines.push_back(line);
    }
    std::size_t warned = 0;
    for (const Complex lambda : modes(w0, beta)) {
        const Verdict v = verdict(lambda, h, steps);
        if (!v.warns) continue;
        ++warned;
        SCOPED_TRACE("λ = " + std::to_string(lambda.real()) + " + " +
                     std::to_string(lambda.imag()) + "i");
        const std::string *line = nullptr;
        for (const std::string &candidate : lines)
            if (std::abs(number_after(candidate, "com h·", true) - v.size) < 0.006 * v.size)
                line = &candidate;
        ASSERT_NE(line, nullptr) << "no warning names h·|λ| = " << v.size << " in\n" << err;
        EXPECT_EQ(line->find("instável") != std::string::npos, v.unstable) << *line;
        // Where the step is the student's to choose, the step offered keeps the mode within
        // 1% up to the same end, and is no needlessly small: 2.5 times it would not do.
        const double offered = number_after(*line, "com h = ");
        if (!std::isnan(offered)) {
            const double offered_steps = number_after(*line, " e N = ");
            EXPECT_GE(offered_steps * offered, steps * h * (1 - 1e-12)) << *line;
            EXPECT_FALSE(verdict(lambda, offered, offered_steps).warns) << *line;
            EXPECT_TRUE(verdict(lambda, 2.5 * offered, steps * h / (2.5 * offered)).warns)
                << *line;
        }
        if (v.unstable) {
            expect_close(number_after(*line, "limite do método, ", true), v.limit, 0.006, *line);
            continue;
        }
        expect_close(number_after(*line, "em t = "), v.time, 0.006, *line);
        // Which way the method errs: a damped mode decays faster when the ratio is below 1.
        if (lambda.real() < 0.0) {
            EXPECT_NE(line->find(v.ratio < 1.0 ? "mais depressa" : "mais devagar"),
                      std::string::npos) << *line;
        }
        std::string rest;
        const double amount = number_after(*line, "a amplitude calculada é ", false, &rest);
        const double share = std::abs(v.ratio - 1.0);
        if (rest.rfind("% menor", 0) == 0 || rest.rfind("% maior", 0) == 0) {
            EXPECT_EQ(rest[2] == 'm' && rest[3] == 'e', v.ratio < 1.0) << *line;
            EXPECT_NEAR(amount / 100.0, share, share >= 0.1 ? 0.0051 : 0.00051) << *line;
        } else {
            EXPECT_EQ(rest.rfind(" vezes", 0), 0u) << *line;
            expect_close(amount, v.ratio, 0.006, *line);
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
    };
    const Case cases[] = {
        {1, 1, 1, 0, 628.32},    // a hundred periods: the amplitude loses 4.4e-5
        {2, 4, 1, 0.4, 20},      // w0 = 2, β = 0.2
        {1, 25, 1, 0, 6},        // h·w0 = 0.5: 0.63% by t = 6, quiet
        {1, 25, 1, 0, 14},       // 1.5% by t = 14
        {1, 100, 1, 0, 20},      // h·w0 = 1: 71% smaller by t = 20
        {1, 790, 1, 0, 100},     // just inside the stability limit, damped away
        {1, 800, 1, 0, 100},     // on it: |R| = 1 but for rounding, the amplitude is kept
        {1, 810, 1, 0, 100},     // just outside it
        {2, 1, 1, 100, 20},      // the fast mode e^(-100·t) is unstable, the slow one is fine
        {2, 25, 1, 1, 100},      // 0.2% by the time e^(-t/2) has decayed to 1%, 2.3% by t = 100
        {2, 64, 1, 1, 100}};     // 8.6% smaller when it has decayed to 1%
    Sandbox reference;
    const std::string dialogue[2] = {reference.run(HARMOSC, "1\n1 1\n1 0\n0\n").out,
                                     reference.run(HARMOSC, "2\n1 1 0\n1 0\n0\n").out};
    for (const Case &c : cases) {
        const std::string input = std::to_string(c.selection) + "\n" + std::to_string(c.k) + " " +
                                  std::to_string(c.m) +
                                  (c.selection == 2 ? " " + std::to_string(c.b) : "") +
                                  "\n1 0\n" + std::to_string(c.tf) + "\n";
        SCOPED_TRACE(input);
        Sandbox box;
        const RunResult run = box.run(HARMOSC, input);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, dialogue[c.selection - 1]);
        expect_warnings_only(run.err, "harmosc");
        const double h = 0.1;
        expect_step_warnings(run.err, std::sqrt(c.k / c.m), c.b / (2 * c.m), h,
                             std::floor(c.tf / h + 0.5));
        // The constants that make h·|λ| large, since h is not the student's to change.
        if (c.k == 100) {
            EXPECT_NE(run.err.find("k/m = 100 "), std::string::npos) << run.err;
        }
        if (c.b == 100) {
            EXPECT_NE(run.err.find("b/m = 100 "), std::string::npos) << run.err;
        }
        const std::string data = box.read("Oscilador_Kutta.dat");
        EXPECT_EQ(rows_in(data), running_sum_rows(h, c.tf));
        EXPECT_EQ(data.rfind("0 1 0\n", 0), 0u);
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
        {200, 0.5},     // 0.8% when the transient has decayed to 1%, at t = 18.4
        {200, 0.6},     // 1.6%
        {100, 1},       // 8.6%
        {10, 2.7},      // stable, 2.2 times the exact amplitude
        {30, 3},        // unstable: h·w0 = 3 beyond the limit 2.9 on this ray
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
        expect_step_warnings(run.err, 1.0, 0.25, c.h, std::floor(c.N + 0.5));
        const std::string data = box.read("Kutta_1a_w0.dat");
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
        {10, 1},        // 4.6% by t = 10
        {200, 0.5},     // 0.8% when the transient has decayed to 1%, 4.4% by t = 100
        {3, 2.7},       // stable, 2.2 times the exact amplitude
        {10, 3},        // unstable
        {200000, 0.1},  // to t = 20000: the sixth digit is h itself, so every t is written apart
        {111115, 0.09}, // ends at the first t = 10000.4, quiet
        {111116, 0.09}, // t = 10000.35 and 10000.44 are both written 10000.4
        {500010, 0.02}}; // from t = 10000, where the sixth digit is worth 0.1
    for (const Case &c : cases) {
        const std::string parameters = "1 0 " + std::to_string(c.N) + " " + std::to_string(c.h);
        SCOPED_TRACE(parameters);
        Sandbox box;
        box.write("parametros_sistema.txt", parameters + "\n");
        const RunResult run = box.run(RKSTEPPER, "");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "");
        expect_warnings_only(run.err, "rkstepper");
        expect_step_warnings(run.err, 1.0, 0.25, c.h, c.N);
        const std::string data = box.read("RK_generico_1b.txt");
        EXPECT_EQ(rows_in(data), static_cast<std::size_t>(c.N));
        expect_repeat_warning(run.err, data, false);
    }
}

} // namespace
