// oscstudy: its maths in-process against closed forms (crossings of a damped cosine, the period
// from arg R, the resonance peak and its half-power points, |Y| against drivenosc's own rows,
// the orders and energy factors of the methods), each answer's classification against the one
// the exact motion and R(z) give, the rows of each program byte for byte, and the command line.

#include "sandbox.hpp"
#include "step_by_hand.hpp"

#include "oscstudy/answers.hpp"
#include "oscstudy/study.hpp"
#include "oscstudy/wording.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <csignal>
#include <string>
#include <vector>

namespace {

using osc::pi;

osc::Setup setup_of(osc::Program program, const std::map<std::string, double> &given)
{
    osc::Setup setup;
    EXPECT_EQ(osc::make_setup(program, given, setup), "");
    return setup;
}

std::vector<osc::Row> rows_of(const osc::Setup &setup)
{
    std::vector<osc::Row> rows;
    osc::RunRows run(setup, osc::programs_method);
    for (osc::Row r{}; run.next(r);) rows.push_back(r);
    return rows;
}

// Rows every h of e^(-β·t)·cos(w·t), with its velocity, whose zeros are π/w apart; also as a
// student's rows with six decimals write them, where v is 0 at each peak.
TEST(OscstudyMaths, CrossingsAndPeaksOfAKnownOscillation)
{
    const struct {
        double beta, w, h;
        bool decimals;
    } cases[] = {{0, 5, 0.1, false}, {0.3, 0.95, 0.1, false}, {0.05, 2, 0.02, false},
                 {0, pi, 0.1, true}};
    for (const auto &c : cases) {
        osc::Oscillation o(0.0);
        const auto written = [&](double y) { return c.decimals ? std::round(y * 1e6) / 1e6 : y; };
        for (int i = 0; i <= 2000; ++i) {
            const double t = i * c.h;
            const double e = std::exp(-c.beta * t);
            o.take({t, written(e * std::cos(c.w * t)),
                    written(-e * (c.beta * std::cos(c.w * t) + c.w * std::sin(c.w * t)))});
        }
        o.take({2001 * c.h, NAN, 0}); // a row that is not finite ends the oscillation
        EXPECT_NEAR(o.period(), 2 * pi / c.w, 1e-4 * c.h) << c.w;
        // The first peak after the first zero, at tan(w·t) = -β/w in the second half-turn, within
        // the cubic's own error, (h·w)⁴/384 of the amplitude.
        const double t = (2 * pi - std::atan(c.beta / c.w)) / c.w;
        EXPECT_NEAR(o.first_peak, std::exp(-c.beta * t) * std::cos(c.w * t), std::pow(c.h * c.w, 4) / 384)
            << c.w;
    }
}

// |X|² = f²/((w0² - w²)² + 4β²w²): highest at wr² = w0² - 2β², half as high where
// (w0² - u)² + 4β²u = 2·4β²(w0² - β²), u = w², a quadratic in u; none below the peak where its
// smaller root is negative (β = 0.5). The search over a curve finds the same; a curve without
// a peak (w0² <= 2β²) is at half power where |X|² = f²/(2·w0⁴).
TEST(OscstudyMaths, ResonancePeakAndHalfPower)
{
    for (const double beta : {0.25, 0.1, 0.5, 0.8}) {
        const osc::Motion m{1, beta, 0.5, 0, 0, 0};
        const auto amplitude = [&](double w) { return std::abs(osc::steady_amplitude({1, beta, 0.5, w, 0, 0})); };
        if (2 * beta * beta >= 1) {
            const double w = osc::falling_half_power(m);
            EXPECT_NEAR(amplitude(w), 0.5 / std::sqrt(2.0), 1e-12) << beta;
            EXPECT_TRUE(std::isnan(osc::exact_peak(m).wf)) << beta;
            continue;
        }
        const double b2 = beta * beta;
        const double centre = 1 - 2 * b2;
        const double spread = std::sqrt(centre * centre - 1 + 8 * b2 * (1 - b2));
        const double low = centre > spread ? std::sqrt(centre - spread) : NAN;
        for (const osc::CurvePeak &p : {osc::exact_peak(m), osc::curve_peak(amplitude, 0, 3, 400, {})}) {
            EXPECT_NEAR(p.wf, std::sqrt(centre), 1e-7) << beta;
            EXPECT_NEAR(p.height, 0.5 / (2 * beta * std::sqrt(1 - b2)), 1e-12) << beta;
            if (std::isnan(low)) EXPECT_TRUE(std::isnan(p.low)) << beta;
            else EXPECT_NEAR(p.low, low, 1e-9) << beta;
            EXPECT_NEAR(p.high, std::sqrt(centre + spread), 1e-9) << beta;
        }
    }
}

// Each program's rows, as oscstudy makes them and prints them with six digits, are its data
// file byte for byte, and read back in step with the run they are its rows; drivenosc's steady
// rows fit the method's Y within what six digits show.
TEST(OscstudyRows, EqualTheProgramsDataFiles)
{
    const struct {
        osc::Program program;
        std::map<std::string, double> given;
        const char *binary, *parameter_file, *parameters, *input, *data_file;
    } cases[] = {
        {osc::Program::harmosc, {{"k", 4}, {"m", 1}, {"b", 0.4}, {"x0", 1}, {"v0", 2}, {"tf", 30}},
         HARMOSC, nullptr, "", "2\n4 1 0.4\n1 2\n30\n", "Oscilador_Kutta.dat"},
        {osc::Program::drivenosc, {{"x0", 0}, {"v0", 1}, {"N", 1600}, {"h", 0.05}, {"escolha", 1}},
         DRIVENOSC, "input_1a.txt", "0 1 1600 0.05\n", "1\n", "Kutta_1a_w0_3.dat"},
        {osc::Program::drivenosc, {{"x0", 1}, {"v0", 0}, {"N", 200}, {"h", 0.5}, {"escolha", 2}},
         DRIVENOSC, "input_1a.txt", "1 0 200 0.5\n", "2\n", "Kutta_1a_w0.dat"}, // t = N·h exactly
        {osc::Program::rkstepper, {{"x0", 1}, {"v0", 0}, {"N", 1000}, {"h", 0.07}}, RKSTEPPER,
         "parametros_sistema.txt", "1 0 1000 0.07\n", "", "RK_generico_1b.txt"},
    };
    for (const auto &c : cases) {
        Sandbox box;
        if (c.parameter_file != nullptr) box.write(c.parameter_file, c.parameters);
        ASSERT_EQ(box.run(c.binary, c.input).status, 0) << c.binary;
        const osc::Setup setup = setup_of(c.program, c.given);
        const std::vector<osc::Row> rows = rows_of(setup);
        EXPECT_EQ(osc::data_text(setup, rows), box.read(c.data_file)) << c.binary;
        std::vector<osc::Row> printed;
        EXPECT_EQ(osc::file_rows(setup, box.path(c.data_file), [&](const osc::Row &r, double) { printed.push_back(r); }), "");
        ASSERT_EQ(printed.size(), rows.size()) << c.binary;
        EXPECT_EQ(printed.back().t, rows.back().t) << c.binary; // the running sum, bit for bit
        // What a file fixes, read back from it, is what its run was given.
        for (const auto &[name, value] : osc::values_of_file(c.program, box.path(c.data_file), {}))
            EXPECT_EQ(value, c.given.at(name)) << name;
        if (c.program == osc::Program::harmosc) continue;
        const osc::Motion &m = setup.motion;
        osc::SteadyFit fit(m.wf, std::log(1e5) / m.beta);
        for (const osc::Row &r : printed) fit.take(r);
        EXPECT_NEAR(std::abs(fit.amplitude()), std::abs(osc::rk4_response(m.w0, m.beta, m.f, m.wf, setup.h)), 1e-5)
            << c.binary;
    }
}

// On x'' = -x from (1, 0) to T = 10 (100 steps), each method gives a settled order near its
// own, and E/E0 - 1 at the end is what its factor a step, det M = 1 + its drift (checked against
// each closed form in the methods' table), raised to the 100 steps gives, worked out here in
// long double where 1 + a drift of 1e-8 keeps its digits; where the drift is 0, the energy
// oscillates. At the edges: past a method's limit (k = 799, h·w0 = 2.83) Euler's errors are
// growth, with no order, and Euler-Cromer's energy grows (an eigenvalue of M of -5.8), its
// period the step's, not the motion's, absent; critical damping's errors down to 1e-15 are
// RK4's own, far above the doubles' rounding; λ = -400 puts the limits below h·w0 = 0.01, where
// |R(h·λ)| = 1 (RK4, by hand) and |1 + h·λ| = 1 (Euler).
TEST(OscstudyMaths, ObservedOrdersAndEnergyFactors)
{
    const osc::MethodsFinding found = osc::find_methods(setup_of(osc::Program::harmosc, {}));
    ASSERT_EQ(found.methods.size(), std::size(osc::methods));
    for (const osc::MethodFinding &s : found.methods) {
        SCOPED_TRACE(s.method->name);
        EXPECT_EQ(s.verdict.outcome, osc::Outcome::settled);
        EXPECT_NEAR(s.verdict.order, s.method->order, 0.1);
        const long double factor = 1.0L + s.method->energy_drift(0.1);
        EXPECT_EQ(s.energy == osc::MethodFinding::Energy::oscillates, factor == 1);
        if (factor == 1) continue;
        const double predicted = static_cast<double>(std::pow(factor, 100.0L) - 1);
        EXPECT_NEAR(s.energy_predicted.value, predicted, 1e-9 * std::fabs(predicted));
        EXPECT_NEAR(s.energy_end.value, predicted, 1e-6 * std::fabs(predicted)); // normal M
    }
    using E = osc::MethodFinding::Energy;
    const double fast = 200 + std::sqrt(200.0 * 200 - 1); // |λ| of b = 400
    const struct {
        std::map<std::string, double> given;
        std::size_t method; // in the table's order
        osc::Outcome outcome;
        E energy;
        osc::Absent period;
        double limit;
    } edges[] = {
        {{{"k", 799}}, 0, osc::Outcome::none, E::predicted, osc::Absent::none, NAN},
        {{{"k", 799}}, 1, osc::Outcome::unsettled, E::grows, osc::Absent::method_no_turn, 2},
        {{{"x0", 0}, {"v0", 1}, {"k", 4}, {"b", 4}}, 4, osc::Outcome::settled, E::predicted,
         osc::Absent::no_oscillation, by_hand::verdict({-2, 0}, 1, 1).limit},
        {{{"b", 400}, {"tf", 1}}, 0, osc::Outcome::none, E::predicted, osc::Absent::no_oscillation, 2 / fast},
        {{{"b", 400}, {"tf", 1}}, 4, osc::Outcome::none, E::predicted, osc::Absent::no_oscillation,
         by_hand::verdict({-fast, 0}, 1, 1).limit / fast},
    };
    for (const auto &c : edges) {
        const osc::MethodFinding s = osc::find_methods(setup_of(osc::Program::harmosc, c.given)).methods[c.method];
        SCOPED_TRACE(s.method->name);
        EXPECT_EQ(s.verdict.outcome, c.outcome);
        if (c.outcome == osc::Outcome::settled) { EXPECT_NEAR(s.verdict.order, s.method->order, 0.1); }
        EXPECT_EQ(s.energy, c.energy);
        EXPECT_EQ(s.period.absent, c.period);
        if (std::isnan(c.limit)) { EXPECT_EQ(s.limit.absent, osc::Absent::always_grows); }
        else { EXPECT_NEAR(s.limit.value, c.limit, 1e-6 * c.limit); }
    }
}

// What the test works out for a run: the modes z = h·λ of the exact motion, each with R(z) by
// hand; the rows by a plain RK4 step, and their error against the exact motion in the run's
// first and second halves.
struct Expected {
    double log_growth = -HUGE_VAL; // the largest ln|R(z)| and Re z
    bool unstable = false;         // |R(z)| > 1 for a mode that does not grow
    double drift = 0;              // the largest |ln(R/e^z)| over the steps up to each horizon
    double ratio = NAN;            // the rows' largest error, second half over first
    double end_energy = NAN;       // (v² + w0²·x²)/2 at the last row
    double last_t = NAN;           // the last row's time: the running sum of h
    double largest_x = 0;          // the largest |x_exact| of the rows
    bool overflowed = false;       // a row past the largest double
    double left = 0, left_long = 0; // the largest error over the force's last period, and that
                                    // of the same steps in long double, its own clock too: the
                                    // method's own
    bool settled = false;          // driven: the transient x0 - X below 1e-5·|X| a period before the end
    double crossed = NAN;          // the rows' mean period, twice the time between their first and
                                   // last crossings of x = 0 over the half periods, each on the cubic
                                   // Hermite through the two rows' x and v
};

Expected expect(const osc::Setup &s)
{
    const osc::Motion &m = s.motion;
    Expected e;
    for (const std::complex<double> lambda : by_hand::modes(m.w0, m.beta)) {
        const by_hand::Verdict v = by_hand::verdict(lambda, s.h, s.steps);
        const by_hand::Long z = by_hand::Long(s.h) * by_hand::Long(lambda.real(), lambda.imag());
        e.log_growth = std::max({e.log_growth, static_cast<double>(std::log(std::abs(by_hand::R(z)))),
                                 static_cast<double>(z.real())});
        e.unstable = e.unstable || v.unstable;
        e.drift = std::max(e.drift, std::hypot(v.log_amplitude, v.phase));
    }
    // A plain RK4 step on x + i·v, at the time t + c of a stage.
    const auto step = [&](auto &y, auto t, auto h) {
        using T = decltype(t);
        const auto slope = [&](T at, auto z) {
            return decltype(z)(z.imag(), -T(m.w0 * m.w0) * z.real() - 2 * T(m.beta) * z.imag() + T(m.f) * std::sin(T(m.wf) * at));
        };
        const auto k1 = slope(t, y);
        const auto k2 = slope(t + h / 2, y + h / 2 * k1);
        const auto k3 = slope(t + h / 2, y + h / 2 * k2);
        const auto k4 = slope(t + h, y + h * k3);
        y += h / 6 * (k1 + T(2) * k2 + T(2) * k3 + k4);
    };
    std::complex<double> y(m.x0, m.v0);
    std::complex<long double> y_long(m.x0, m.v0);
    double t = 0;
    long double t_long = 0;
    double halves[2] = {0, 0};
    const bool after = s.program == osc::Program::rkstepper; // its rows follow the step
    const double period = 2 * pi / m.wf;
    double first = NAN;
    double last = NAN;
    double halves_crossed = -1;
    for (double n = 0; n < s.rows; ++n) {
        const std::complex<double> before = y;
        const double t_before = t;
        if (after || n > 0) {
            step(y, t, s.h);
            step(y_long, t_long, static_cast<long double>(s.h));
            t += s.h;
            t_long += s.h;
        }
        if (n > 0 && before.real() != 0 && (y.real() == 0 || (y.real() > 0) != (before.real() > 0))) {
            // x on the cubic through (x, v) at both ends, u from 0 to 1; its root by bisection.
            const double h = t - t_before;
            const auto x = [&](double u) {
                return (2 * u * u * u - 3 * u * u + 1) * before.real() + (u * u * u - 2 * u * u + u) * h * before.imag() +
                       (-2 * u * u * u + 3 * u * u) * y.real() + (u * u * u - u * u) * h * y.imag();
            };
            double lo = 0;
            double hi = 1;
            for (int i = 0; i < 60; ++i) ((x((lo + hi) / 2) > 0) == (before.real() > 0) ? lo : hi) = (lo + hi) / 2;
            last = t_before + h * (lo + hi) / 2;
            first = std::isnan(first) ? last : first;
            ++halves_crossed;
        }
        const double exact = osc::exact_state(m, t).x;
        double &half = halves[n < std::floor(s.rows / 2) ? 0 : 1];
        half = std::max(half, std::fabs(y.real() - exact));
        e.largest_x = std::max(e.largest_x, std::fabs(exact));
        e.overflowed = e.overflowed || !std::isfinite(std::abs(y));
        if (t >= s.last_t - period) {
            e.left = std::max(e.left, std::fabs(y.real() - exact));
            e.left_long = std::max(e.left_long, std::fabs(static_cast<double>(
                                                    y_long.real() - osc::exact_state(m, static_cast<double>(t_long)).x)));
        }
    }
    // The transient: the start less X's state, f/(w0² - wf² + 2i·β·wf), falling at the slower
    // of the exact rate β and the computed -ln|R|/h.
    const std::complex<double> X = m.f / std::complex<double>(m.w0 * m.w0 - m.wf * m.wf, 2 * m.beta * m.wf);
    const double transient = std::hypot(m.x0 - X.imag(), (m.v0 - m.wf * X.real()) / m.w0);
    const double rate = std::min(m.beta, -e.log_growth / s.h);
    e.settled = std::log(transient / (1e-5 * std::abs(X))) / rate + period <= s.last_t;
    e.crossed = 2 * (last - first) / halves_crossed;
    e.ratio = halves[1] / halves[0];
    e.end_energy = (std::norm(y.imag()) + std::norm(m.w0 * y.real())) / 2;
    e.last_t = t;
    return e;
}

// Each regime at each class of step, for each question: the finding's classification against
// the one above, and the last line only for the classification it names. The error grows by
// its factor where the step is unstable, whatever the run's length, or the physics grows by at
// least 2 over the run; it cannot be measured where the rows pass the largest double though
// nothing grows; driven and settled (the transient below 1e-5·|X| a period of the force before
// the end), it is the method's own, or more: rounding; else as the rows show it: nearly
// linearly (by 1.5 or more between halves), less, not at all, still settling, or dying out
// with damped free motion.
TEST(OscstudyFindings, ClassifiedAsTheExactMotionAndRSay)
{
    using Growth = osc::ErrorFinding::Growth;
    using Energy = osc::EnergyFinding::Kind;
    using P = osc::Program;
    const struct {
        const char *regime;
        P program;
        std::map<std::string, double> given;
    } cases[] = {
        {"undamped, small step", P::harmosc, {{"k", 25}, {"tf", 20}}},
        {"undamped, a hundred periods", P::harmosc, {{"tf", 628.32}}},
        {"undamped, near the limit", P::harmosc, {{"k", 790}, {"tf", 100}}},
        {"undamped, past the limit", P::harmosc, {{"k", 810}, {"tf", 100}}},
        {"underdamped, to E = 1e-18·E0", P::harmosc, {{"k", 4}, {"b", 0.4}, {"tf", 100}}},
        {"underdamped, near the limit", P::harmosc, {{"k", 700}, {"b", 1}}},
        {"underdamped, short", P::harmosc, {{"b", 0.2}}},
        {"critical", P::harmosc, {{"b", 2}}},
        {"overdamped", P::harmosc, {{"b", 10}}},
        {"overdamped, fast mode past the limit", P::harmosc, {{"b", 60}}},
        {"negative damping", P::harmosc, {{"b", -0.1}, {"tf", 50}}},
        {"at rest", P::harmosc, {{"x0", 0}}},
        {"no spring", P::harmosc, {{"k", 0}, {"v0", 1}}},
        {"driven at resonance", P::drivenosc, {}},
        {"driven near", P::drivenosc, {{"escolha", 1}}},
        {"driven far", P::drivenosc, {{"escolha", 3}}},
        {"from rest, with a force", P::drivenosc, {{"x0", 0}}},
        {"driven, past the limit", P::drivenosc, {{"h", 3}, {"N", 40}}},
        {"driven, near the limit", P::rkstepper, {{"h", 2.8}, {"N", 200}}},
        {"driven, short", P::rkstepper, {{"N", 100}}},
        {"driven, negative step", P::rkstepper, {{"h", -0.01}}},
        {"driven, past the limit, growing less than twofold", P::drivenosc, {{"h", 2.9}, {"N", 100}}},
        {"driven, h = 0", P::rkstepper, {{"h", 0}, {"N", 10}}},
        {"driven, settled for 10^5 steps: rounding left", P::rkstepper, {{"N", 1e5}, {"h", 0.002}}},
        {"driven, from the largest double", P::rkstepper, {{"x0", 1e308}, {"v0", 1e308}}},
        {"from rest, past the limit", P::rkstepper, {{"x0", 0}, {"h", 3}, {"N", 40}}},
        {"undamped, loss below rounding", P::harmosc, {{"k", 1e-4}, {"tf", 1300}}},
        {"undamped, x subnormal", P::harmosc, {{"x0", 1e-320}}},
        {"undamped, E0 below the least double", P::harmosc, {{"x0", 1e-200}}},
        {"undamped, k = 1e-300: no drift a double shows", P::harmosc, {{"k", 1e-300}}},
        {"underdamped, x below the least double before its second zero", P::harmosc, {{"b", 1.99999}}},
    };
    const char *const growth_says[] = {"exatamente", "arredondamento", "perto de linearmente",
                                       "menos do que linearmente", "não cresce", "|Y - X|",
                                       "apaga-se", "exponencialmente", "ainda não acabou", "não se pode medir",
                                       "arredondamento das contas"};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.regime);
        const osc::Setup setup = setup_of(c.program, c.given);
        const osc::Motion &m = setup.motion;
        const Expected e = expect(setup);
        const bool driven = m.f != 0;
        const bool at_rest = m.x0 == 0 && m.v0 == 0 && !driven;
        const bool still = setup.h == 0;
        const double n = setup.steps;
        // What a double resolves of the motion: ε, or the least double over x's or v's size.
        const double size = std::hypot(m.x0, m.v0 / m.w0);
        const double share = (size > 0 ? std::max(DBL_EPSILON, DBL_TRUE_MIN / std::min(size, m.w0 * size)) : DBL_EPSILON) * std::sqrt(n);
        const bool settles = driven && setup.h > 0 && e.log_growth < 0;
        Growth growth = Growth::bounded;
        if (at_rest || still || (m.w0 == 0 && m.beta == 0)) growth = Growth::exact;
        else if (e.log_growth > 0 && (e.unstable || e.log_growth * n >= std::log(2.0))) growth = Growth::exponential;
        else if (e.overflowed) growth = Growth::overflow;
        else if (!driven && e.drift <= share) growth = Growth::doubles;
        else if (settles && e.settled) growth = Growth::steady;
        else if (e.ratio > 1.1) growth = e.ratio >= 1.5 ? Growth::linear : Growth::slowing;
        else if (settles) growth = Growth::settling;
        else if (!driven && e.log_growth < 0 && e.ratio < 1) growth = Growth::decaying;
        osc::ErrorFinding error;
        ASSERT_EQ(osc::find_error({setup, ""}, error), "");
        EXPECT_EQ(error.growth, growth) << e.ratio << " " << e.drift << " " << e.log_growth * n;
        if (growth != Growth::exact && !e.overflowed && !std::isnan(e.ratio)) { // 0/0 where x is exact
            EXPECT_NEAR(error.ratio.value, e.ratio, 1e-6 * e.ratio);
        }
        EXPECT_EQ(error.largest_x.absent == osc::Absent::none, !e.overflowed);
        EXPECT_EQ(error.shown.back().t, e.last_t); // each table ends on the run's last row
        EXPECT_NE(osc::error_text(setup, error, "").find(at_rest ? "nada se move" : still ? "não avança"
                                                                 : growth_says[static_cast<int>(growth)]),
                  std::string::npos);
        // What is left passes the method's own error (the same steps in long double): rounding.
        if (growth == Growth::steady) { EXPECT_EQ(error.rounding_left, e.left > (1 + osc::tolerance) * e.left_long); }
        if (growth == Growth::exponential) {
            EXPECT_NEAR(error.log_factor, e.log_growth, 1e-12);
            const double factor = std::exp(e.log_growth);
            if (e.log_growth * n >= std::log(2.0)) { EXPECT_NEAR(error.measured.value, factor, 0.03 * factor); } // the rows agree
        }
        // A prediction one step off shows: max|(R/e^z)^k - 1|, k up to the steps, times A, the
        // last k's while the phase has not gone half a turn off (and long double resolves it).
        const by_hand::Verdict undamped = by_hand::verdict({0, m.w0}, setup.h, n);
        if (!driven && m.beta == 0 && m.w0 > 0 && std::fabs(undamped.phase) < pi && undamped.largest > 1e-12) {
            EXPECT_NEAR(error.predicted.value,
                        std::hypot(m.x0, m.v0 / m.w0) * undamped.largest,
                        1e-9 * error.predicted.value);
        }

        // |R|², undamped, to the steps: a loss under the doubles' rounding, ε·√n, is none to see.
        const long double R0 = std::norm(by_hand::R({0, setup.h * m.w0}));
        Energy energy = Energy::forced;
        if (still || (!driven && (at_rest || (m.w0 == 0 && m.beta == 0)))) energy = Energy::kept;
        else if (driven) energy = e.unstable || setup.h < 0 ? Energy::growing : Energy::forced;
        else if (m.beta == 0) energy = R0 > 1 ? Energy::growing
                                       : 1 - std::pow(R0, n) <= share ? Energy::kept : Energy::drifting;
        else energy = m.beta > 0 && !e.unstable ? Energy::decaying : Energy::growing;
        osc::EnergyFinding found;
        ASSERT_EQ(osc::find_energy({setup, ""}, found), "");
        EXPECT_EQ(found.kind, energy);
        EXPECT_EQ(found.shown.back().t, e.last_t);
        const char *const energy_says[] = {"conserva", "perde-a", "decai", "cresce", "troca energia"};
        const std::string said = osc::energy_text(setup, found, "");
        // Where less than 5e-4 of E0 is left, E/E0 - 1 would read -1 to three digits: E/E0 is said.
        if (energy == Energy::decaying) {
            const double left = e.end_energy / ((m.v0 * m.v0 + m.w0 * m.w0 * m.x0 * m.x0) / 2);
            EXPECT_NEAR(found.end_ratio.value, left, 1e-9 * left);
            EXPECT_EQ(said.find(": E/E0 = ") != std::string::npos, left < 5e-4) << left;
        }
        EXPECT_NE(said.find(at_rest ? "nada se move" : still ? "não avança" : energy_says[static_cast<int>(energy)]),
                  std::string::npos);
        if (m.v0 == 0 && (m.x0 == 0 || m.w0 == 0)) { EXPECT_EQ(said.find("E/E0 - 1 = "), std::string::npos); } // E itself, from rest
        // E from the row itself, never E0·(1 + E/E0 - 1), which rounds 1e-18·E0 to 0.
        if (!e.overflowed) { EXPECT_NEAR(found.end_e.value, e.end_energy, 1e-9 * e.end_energy); }
        if (energy == Energy::drifting) {
            EXPECT_NEAR(found.predicted.value, static_cast<double>(std::pow(R0, n) - 1),
                        1e-9 * std::fabs(found.predicted.value));
        }
        if (driven) continue;

        osc::PeriodFinding period;
        ASSERT_EQ(osc::find_period({setup, ""}, period), "");
        const bool oscillates = !at_rest && m.beta * m.beta < m.w0 * m.w0;
        const double omega = std::sqrt(m.w0 * m.w0 - m.beta * m.beta);
        EXPECT_EQ(period.kind == osc::PeriodFinding::Kind::defined, oscillates);
        EXPECT_EQ(period.exact.absent == osc::Absent::none, m.beta * m.beta < m.w0 * m.w0); // at rest too
        if (oscillates) {
            const std::complex<double> z = setup.h * by_hand::modes(m.w0, m.beta)[0];
            EXPECT_NEAR(period.method.value, 2 * pi * setup.h / std::abs(std::arg(by_hand::R(z))), 1e-12 * std::max(1.0, period.method.value));
            // The exact peak is one of the exact motion's, searched within the run.
            EXPECT_FALSE(std::fabs(period.first_peak_exact.value) > e.largest_x * (1 + 1e-9)); // where there is one
            // The gap to the exact period is the method's where the rows measure nearer the
            // method's period than that is to the exact one.
            const double method = period.method.value;
            if (period.agrees && !period.rounding && !e.unstable) {
                EXPECT_EQ(osc::period_text(setup, period, "").find("a do próprio método") != std::string::npos,
                          std::fabs(e.crossed / method - 1) < std::fabs(method * omega / (2 * pi) - 1))
                    << e.crossed;
            }
        }
        // Its second zero at about 2π/ω, where |x| < e^(-β·2π/ω) may be below the least double.
        EXPECT_NE(osc::period_text(setup, period, "").find(at_rest ? "nada se move" : !oscillates ? "não oscila" : e.unstable ? "o passo é instável"
                                                           : m.beta * 2 * pi / omega > 745 ? "nenhum tf maior"
                                                           : 2 * pi / omega > e.last_t ? "passam por zero" : "o período das linhas"),
                  std::string::npos);
        EXPECT_EQ(period.rounding, share > DBL_EPSILON * std::sqrt(n)); // subnormal x: its rounding shows
    }
}

// The steady oscillation is fitted from the time the transient, drivenosc's start (1, 0) less
// X = -i's state (-1, 0), has fallen below 1e-5 of |X| = 1, exact and computed:
// ln(2/1e-5)/rate at the slower rate of the two, β and -ln|R(z)|/h; once a period of the
// force fits after it; else from half the run, said unsettled (x0 = 1e6 by t = 100 too). Below
// two rows a period of the force the rows show an alias. Each curve's peak is its whole
// curve's, placed against the range shown; the exact |X| has one also with b < 0 (it holds β²)
// and Q tends to w0/(2β) with light damping; the method's curve exists where no mode grows
// (a mode λ = 0 without a spring stays), and repeats every 4π/h.
TEST(OscstudyFindings, SteadyFitAndResonanceWhereTheyExist)
{
    const by_hand::Long z = 0.05L * by_hand::Long(-0.25, std::sqrt(1 - 0.0625));
    const double rate = std::min(0.25, static_cast<double>(-std::log(std::abs(by_hand::R(z)))) / 0.05);
    const struct {
        osc::Program program;
        std::map<std::string, double> given;
        osc::SteadyFinding::Kind kind;
        double from;
    } fits[] = {
        {osc::Program::drivenosc, {}, osc::SteadyFinding::Kind::settled, std::log(2e5) / rate},
        {osc::Program::drivenosc, {{"x0", 1e6}}, osc::SteadyFinding::Kind::unsettled, 0.5 * (0 + 100)},
        {osc::Program::rkstepper, {}, osc::SteadyFinding::Kind::unsettled, 0.5 * (0.01 + 10)},
        {osc::Program::rkstepper, {{"h", 2.5}, {"N", 100}}, osc::SteadyFinding::Kind::settled, NAN},
        {osc::Program::drivenosc, {{"h", 3}, {"N", 40}}, osc::SteadyFinding::Kind::never, NAN},
    };
    for (const auto &f : fits) {
        osc::SteadyFinding found;
        const osc::Setup setup = setup_of(f.program, f.given);
        ASSERT_EQ(osc::find_steady({setup, ""}, found), "");
        EXPECT_EQ(found.kind, f.kind);
        EXPECT_EQ(std::isnan(found.alias), 2 * pi / (setup.motion.wf * setup.h) >= 2);
        EXPECT_EQ(osc::steady_text(setup, found, "").find("regime estacionário, das") != std::string::npos,
                  f.kind == osc::SteadyFinding::Kind::settled);
        if (!std::isnan(f.from)) {
            EXPECT_NEAR(found.from, f.from, 1e-9);
        }
    }
    using K = osc::PeakFinding::Kind;
    using W = osc::Placed::Where;
    const struct {
        std::map<std::string, double> given;
        K exact, method;
        W where;          // of each peak against the range
        double low, high; // of wf
    } curves[] = {
        {{{"b", 0.5}}, K::peak, K::peak, W::inside, NAN, NAN},
        {{{"b", 0.5}, {"k", 0.3}}, K::peak, K::peak, W::inside, NAN, NAN}, // no lower half power
        {{{"b", 2}}, K::falls, K::falls, W::inside, NAN, NAN},
        {{}, K::no_damping, K::peak, W::inside, NAN, NAN}, // the method's own damping gives it one
        {{{"b", -0.2}}, K::peak, K::never_settles, W::inside, NAN, NAN},
        {{{"k", 900}, {"b", 0.5}}, K::peak, K::never_settles, W::inside, NAN, NAN},
        {{{"k", 1e300}, {"b", 1}}, K::peak, K::never_settles, W::inside, NAN, NAN},
        {{{"k", 0}, {"b", 1}}, K::no_spring, K::no_spring, W::inside, NAN, NAN},
        {{{"b", 0.5}}, K::peak, K::peak, W::rises, 0, 0.5},
        {{{"b", 0.5}}, K::peak, K::peak, W::rises, 0, 1e-300}, // flat to the double's digits
        {{{"b", 0.5}}, K::peak, K::peak, W::falls, 2, 3},
    };
    for (const auto &c : curves) {
        const osc::Setup setup = setup_of(osc::Program::harmosc, c.given);
        const osc::ResonanceFinding r = osc::find_resonance(setup, c.low, c.high);
        EXPECT_EQ(r.exact.kind, c.exact);
        EXPECT_EQ(r.method.kind, c.method);
        for (const osc::PeakFinding *p : {&r.exact, &r.method})
            if (p->kind == K::peak) { EXPECT_EQ(p->place.where, c.where); }
        // A width where wr² - 2|β|·sqrt(w0² - β²) > 0, m = 1; Q = wr/width tends to w0/(2β)
        // with light damping.
        if (c.exact == K::peak) {
            const double w0 = std::sqrt(setup.values.at("k"));
            const double beta = std::fabs(setup.values.at("b")) / 2;
            const bool lower = w0 * w0 - 2 * beta * beta - 2 * beta * std::sqrt(w0 * w0 - beta * beta) > 0;
            EXPECT_EQ(r.exact.width.absent == osc::Absent::none, lower);
            if (beta < 1e-3 * w0) { EXPECT_NEAR(r.exact.q.value * 2 * beta / w0, 1, 1e-9); }
        }
    }
    // drivenosc's three runs, each measured where its transient has died out, on the method's
    // curve to what their rounding leaves.
    for (const osc::MeasuredPoint &p : osc::find_resonance(setup_of(osc::Program::drivenosc, {}), NAN, NAN).points)
        EXPECT_LT(std::fabs(p.gap.value), 1e-6) << p.wf;
    // At a large step the method's peak is where its curve is highest: far from the exact one
    // (2.13 against 0.94 at h = 2.5), the first of its repeats every 4π/h, over wf up to 1e300.
    const osc::Setup large = setup_of(osc::Program::drivenosc, {{"h", 2.5}});
    const osc::ResonanceFinding r = osc::find_resonance(large, NAN, 1e300);
    EXPECT_LE(r.method.wf.value, 2 * pi / 2.5);
    for (double wf = 0; wf <= 4 * pi / 2.5; wf += 1e-3)
        EXPECT_GE(r.method.height.value * (1 + 1e-12), std::abs(osc::rk4_response(1, 0.25, 0.5, wf, 2.5))) << wf;
}

// The command line: the answers of the cases, the program's warnings before them, and
// every refusal with its status.
TEST(OscstudyCommandLine, AnswersAndRefusals)
{
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char *out, *err; // said on each; "" for nothing on standard error
    } cases[] = {
        {{"erro", "harmosc", "k=25", "m=1", "x0=1", "v0=0", "tf=20"}, 0, "maior |x - x exato|: 0.0509 em t = 19.9",
         "oscstudy: aviso: a posição afasta-se 5.1% da exata"},
        {{"energia", "k=1", "m=1", "x0=1", "v0=0", "tf=628.32"}, 0, "E/E0 - 1 = -8.72e-05 ao fim de 6283 passos", ""},
        {{"período", "k=25", "m=1"}, 0, "é 1.2572 (16 passagens por zero), contra 2π/sqrt(w0² - β²) = 1.2566", "aviso"},
        {{"--", "periodo", "k=25", "m=1"}, 0, "é 1.2572", "aviso"},
        {{"ressonância", "drivenosc"}, 0, "wr = sqrt(w0² - 2β²) = 0.935, com altura 1.033", ""},
        {{"métodos", "k=1", "m=1", "x0=1", "v0=0", "tf=10"}, 0,
         "\nRK4               -1.387e-06     -1.387e-06        6.28319        2.82843\n", ""},
        {{"energia", "drivenosc", "x0=0", "v0=0"}, 0, "no fim, t = 100: E = 0.5, exata 0.5", ""},
        {{"erro", "rkstepper", "N=40", "h=3"}, 0, "cresce exponencialmente", "passo instável"},
        {{"erro", "x0=1e308", "v0=1e308"}, 0, "não se pode medir", "perto demais do maior double"},
        {{"energia", "k=900", "tf=100"}, 0, "E/E0 - 1 = 1.54e+355 no fim", "passo instável"},
        {{"peri\u0301odo", "k=25", "m=1"}, 0, "é 1.2572", "aviso"},
        {{"erro", "=1"}, 2, "", "falta o nome antes de '=' em '=1'"},
        {{}, 2, "", "falta a PERGUNTA"},
        {{"quanto"}, 2, "", "pergunta desconhecida 'quanto'"},
        {{"erro", "z=1"}, 2, "", "o harmosc não lê 'z': conhece k, m, b, x0, v0, tf, ficheiro"},
        {{"erro", "k="}, 2, "", "falta o valor de k"},
        {{"erro", "k=1", "k=4"}, 2, "", "k dado duas vezes: 'k=1' e 'k=4'"},
        {{"erro", "-o", "a.png", "-o", "b.png"}, 2, "", "-o dado duas vezes: 'a.png' e 'b.png'"},
        {{"erro", "drivenosc", "harmosc"}, 2, "", "'harmosc': o programa já é o drivenosc"},
        {{"erro", "k=-1"}, 2, "", "oscstudy: k = -1 e m = 1: o estudo precisa de m > 0 e k >= 0\n"},
        {{"erro", "k=1,5"}, 2, "", "use ponto decimal"},
        {{"erro", "tf=1e300"}, 2, "", "o instante final 1e+300 nunca é atingido"},
        {{"erro", "rkstepper", "N=1000000000", "h=1e-9"}, 2, "", "até 10000000 passos, e esta execução dá 1000000000"},
        {{"erro", "tf=-1"}, 2, "", "o instante final -1 é negativo"},
        {{"ressonancia", "drivenosc", "wmin=3", "wmax=1"}, 2, "", "wmin = 3 não é menor do que wmax = 1"},
        {{"erro", "drivenosc", "escolha=4"}, 2, "", "escolha = 4 não serve: esperado 1, 2 ou 3"},
        {{"erro", "rkstepper", "N=-5"}, 2, "", "o número de passos N = -5 é negativo"},
        {{"erro", "rkstepper", "h=500", "N=0.01"}, 2, "", "oscstudy: \"0.01\" não serve para N: esperado um "
         "número inteiro; tem parte decimal\n  N conta os passos e h é o seu tamanho; se N e h vieram "
         "trocados, N = 500 e h = 0.01 iriam\n  até t = 5\n"},
        {{"metodos", "ficheiro=a"}, 2, "", "a pergunta metodos não lê ficheiro="},
        {{"verificar", "tempo=5", "ficheiro=a"}, 2, "", "tempo= é o limite de uma execução de programa="},
        {{"erro", "-o", "a.png", "-t"}, 2, "", "-o e -t não se combinam"},
        {{"erro", "ficheiro=nenhum.dat"}, 1, "", "nenhum.dat"},
        {{"--version"}, 0, "oscstudy " OSC_VERSION "\n", ""},
    };
    for (const auto &c : cases) {
        Sandbox box;
        std::vector<std::string> command{OSCSTUDY};
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = box.run_command(command);
        EXPECT_EQ(run.status, c.status) << c.out << c.err << "\n" << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << c.out << "\n" << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.err << "\n" << run.err;
        EXPECT_EQ(*c.err == '\0', run.err.empty()) << run.err;
        for (const std::string &line : lines_of(run.out))
            for (const std::string &field : fields_of(line))
                EXPECT_TRUE(field.find("nan") == std::string::npos && field.find("inf") == std::string::npos) << line;
    }
}

// A student's file is read in step with the run, and six digits are said to limit it; what it
// fixes and is not given comes from it; a file of another length is refused with both counts;
// a figure is the one file written, also of a motion at rest.
TEST(OscstudyCommandLine, StudentsFileAndFigure)
{
    Sandbox box;
    ASSERT_EQ(box.run(HARMOSC, "1\n25 1\n1 0\n20\n").status, 0);
    const RunResult file = box.run_command({OSCSTUDY, "erro", "k=25", "tf=20", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_NE(file.out.find("maior |x - x exato|: 0.0509"), std::string::npos) << file.out;
    EXPECT_NE(file.out.find("com seis algarismos"), std::string::npos) << file.out;
    const RunResult shorter =
        box.run_command({OSCSTUDY, "erro", "k=25", "tf=10", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_NE(shorter.err.find("tem mais linhas do que as 101 desta execução"), std::string::npos) << shorter.err;
    const RunResult taken =
        box.run_command({OSCSTUDY, "erro", "k=25", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_NE(taken.out.find("tf = 20; h = 0.1; do ficheiro: x0, v0, tf (200 linhas)"),
              std::string::npos)
        << taken.out;
    const RunResult other = box.run_command({OSCSTUDY, "erro", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_NE(other.err.find("são as linhas do RK4 com k/m = 25 e b/m = 0 (w0 = 5, β = 0)"),
              std::string::npos)
        << other.err;
    // flock(1) holds the file as a run of ours that writes it does.
    const RunResult held = box.run_command({"/usr/bin/flock", "Oscilador_Kutta.dat", OSCSTUDY,
                                            "erro", "k=25", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_NE(held.err.find("está a escrevê-lo agora"), std::string::npos) << held.err;
    EXPECT_EQ(held.err.find("aviso"), std::string::npos) << held.err; // nothing from its rows so far
    // As students write it: a header, commas, CRLF.
    std::string csv = "t,x,v\r\n";
    for (const std::string &row : lines_of(box.read("Oscilador_Kutta.dat")))
        csv += fields_of(row)[0] + "," + fields_of(row)[1] + "," + fields_of(row)[2] + "\r\n";
    box.write("aluno.csv", csv);
    const RunResult shaped = box.run_command({OSCSTUDY, "erro", "k=25", "ficheiro=aluno.csv"});
    EXPECT_NE(shaped.out.find("maior |x - x exato|: 0.0509"), std::string::npos) << shaped.err;
    const RunResult wrong = box.run_command({OSCSTUDY, "erro", "rkstepper", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_EQ(wrong.status, 1);
    const RunResult start = box.run_command({OSCSTUDY, "erro", "k=25", "tf=20", "x0=2", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_NE(start.err.find("a primeira linha tem x = 1 e v = 0, e não x0 = 2"), std::string::npos) << start.err;
    // A nan where the run's row is finite is not the run passing the largest double.
    std::string nan_row;
    for (const std::string &row : lines_of(box.read("Oscilador_Kutta.dat")))
        nan_row += (fields_of(row)[0] == "4.9" ? "4.9 nan " + fields_of(row)[2] : row) + "\n";
    box.write("aluno.csv", nan_row);
    const RunResult nan = box.run_command({OSCSTUDY, "erro", "k=25", "ficheiro=aluno.csv"});
    EXPECT_NE(nan.err.find("a linha 50 tem x = nan, que não é um número finito"), std::string::npos) << nan.err;
    // Two rows, to six digits, hide E/E0 - 1 up to 1.1e-5 (by hand: 2·1·5e-6 at t = 0, and
    // 2·0.99·5e-7 + 0.2·5e-7 at t = 0.1), above the -1.11e-7 of RK4's factor.
    ASSERT_EQ(box.run(HARMOSC, "1\n2 1\n1 0\n0.1\n").status, 0);
    osc::EnergyFinding two;
    ASSERT_EQ(osc::find_energy({setup_of(osc::Program::harmosc, {{"k", 2}, {"tf", 0.1}}), box.path("Oscilador_Kutta.dat")}, two), "");
    EXPECT_EQ(two.why_kept, osc::EnergyFinding::Kept::digits);
    EXPECT_NEAR(two.digits, 1.1e-5, 1e-7);
    REQUIRE_GNUPLOT();
    for (const std::string question : {"erro", "energia", "periodo", "ressonancia", "metodos"}) {
        const RunResult drawn = box.run_command({OSCSTUDY, question, "-o", question + ".png"});
        EXPECT_EQ(drawn.status, 0) << question << drawn.err;
        EXPECT_EQ(box.read(question + ".png").substr(1, 3), "PNG") << question;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.dir()),
                            std::filesystem::directory_iterator()), 7);
    const RunResult rest = box.run_command({OSCSTUDY, "energia", "drivenosc", "x0=0", "v0=0", "-t"});
    EXPECT_EQ(rest.status, 0) << rest.err;
}

// Each figure answers its question without the text, as its tables (--tabela) show it: each
// panel's title and log scale, the marks present and absent, and their numbers against the
// closed forms: cos 5t and its period 2π/5, the key's numbers the mark's and the exact, the
// mark clear of the frame; drivenosc's |X| = f/|w0² - w² + 2iβw| (w0 = 1, β = 0.25, f = 0.5),
// its phase, peak and half-power points; RK4's arg Y at h·w0 = 2, from the steps iterated;
// e^(-2βt); the step's factor raised to the steps; the dots one row in `stride` of h apart;
// past the stability limit (h·w0 = 3, 2.5), no period marked, x(t) on the scale of the motion
// and no order's slope through a diverged error.
TEST(OscstudyFigures, EachAnswersItsQuestionOnItsOwn)
{
    REQUIRE_GNUPLOT();
    using Curves = std::vector<Curve>;
    const auto X = [](double w) { return 0.5 / std::complex<double>(1 - w * w, 0.5 * w); };
    const auto get = [](const Curves &curves, const std::string &key) {
        const auto c = std::find_if(curves.begin(), curves.end(), [&](const Curve &c) { return c.key.rfind(key, 0) == 0; });
        return c == curves.end() ? Curve{} : *c;
    };
    // Each defined point of the curve on f, within what nine digits of x and y leave.
    const auto near = [](const Curve &c, const std::function<double(double)> &f, double within) {
        EXPECT_FALSE(c.points.empty()) << c.key;
        for (std::size_t i = 0; i < c.points.size(); ++i)
            if (c.marks[i] != "u") {
                EXPECT_NEAR(c.points[i].second, f(c.points[i].first), within)
                    << c.key << " at " << c.points[i].first;
            }
    };
    std::vector<std::map<std::string, std::string>> panels; // the case's
    // A mark of the period: two points at one height, `period` apart, below the top of its
    // panel, whose key says its length and the exact period, to the five digits shown.
    const auto lasts = [&](const Curve &c, double period, std::size_t panel) {
        ASSERT_EQ(c.points.size(), 2u) << c.key;
        const double length = c.points[1].first - c.points[0].first;
        EXPECT_NEAR(length, period, 1e-3 * period) << c.key;
        EXPECT_NEAR(std::stod(c.key.substr(c.key.find(": ") + 2)), length, 1e-4 * length) << c.key;
        EXPECT_NEAR(std::stod(c.key.substr(c.key.rfind(' ') + 1)), period, 1e-4 * period) << c.key;
        const Point y = axis_of(panels.at(panel).at("eixo y")).second;
        EXPECT_LT(c.points[0].second, y.second - 0.05 * (y.second - y.first)) << c.key;
    };
    // The dots: every stride-th row, at most 61 in a window.
    const auto dots = [&](const Curves &curves, double step) {
        const Curve c = get(curves, "x calculado");
        EXPECT_LE(c.points.size(), 61u);
        for (std::size_t i = 1; i < c.points.size(); ++i)
            EXPECT_NEAR(c.points[i].first - c.points[i - 1].first, step, 1e-9);
    };
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> panels; // a piece of each one's title; "log " first where y is
        std::vector<std::string> keys, absent;
        const char *note;
        std::function<void(const Curves &)> numbers;
    } cases[] = {
        {{"periodo", "k=25", "tf=20"}, {"primeiros períodos: t de 0 a 3.77", "últimos períodos: t de 16.13 a 19.9"},
         {"x exato", "x calculado (as linhas)", "período medido"}, {}, "", [&](const Curves &c) {
             near(get(c, "x exato"), [](double t) { return std::cos(5 * t); }, 1e-7);
             dots(c, 0.1);
             lasts(c[2], 2 * pi / 5, 0);
             lasts(c[5], 2 * pi / 5, 1);
         }},
        {{"periodo", "tf=20"}, {"toda a execução: t de 0 a 19.9"}, {"x calculado (uma em cada 4 linhas)"}, {}, "",
         [&](const Curves &c) { dots(c, 0.4); }},
        {{"periodo", "b=10"}, {"toda a execução"}, {}, {"período medido"}, "não oscila", nullptr},
        {{"periodo", "drivenosc", "escolha=1"}, {"toda a execução: t de 0 a 100"},
         {"x calculado (uma em cada 34 linhas)", "período medido", "amplitude estacionária"}, {}, "",
         [&](const Curves &c) {
             dots(c, 34 * 0.05);
             lasts(get(c, "período medido"), 6 * pi, 0);
             const Curve level = get(c, "amplitude");
             for (const Point &p : level.points) EXPECT_NEAR(std::fabs(p.second), std::abs(X(1.0 / 3)), 1e-5);
         }},
        {{"periodo", "drivenosc", "h=3", "N=40"}, {"primeiros", "últimos"}, {}, {"período medido", "amplitude"},
         "o passo é instável", nullptr},
        {{"periodo", "k=900"}, {"primeiros", "últimos"}, {"x calculado"}, {"período medido"}, "o passo é instável", nullptr},
        {{"energia", "k=4", "b=0.4", "tf=30"}, {"log a energia", "log a diferença"}, {"calculada", "exata", "e^(-2β·t)"},
         {}, "", [&](const Curves &c) { near(get(c, "e^"), [](double t) { return std::exp(-0.4 * t); }, 1e-8); }},
        {{"energia", "tf=628.32"}, {"a energia", "a diferença"}, {"calculada"}, {"e^"}, "", [&](const Curves &c) {
             const double factor = 1 - std::pow(0.1, 6) / 72 + std::pow(0.1, 8) / 576;
             EXPECT_NEAR(c[0].points.back().second, std::pow(factor, 6283) - 1, 1e-3 * 8.72e-5);
         }},
        {{"energia", "harmosc", "k=810", "tf=100"}, {"log a energia", "log a diferença"}, {}, {}, "o passo é instável",
         [&](const Curves &c) { // the exact energy, kept, is a level clear of the frame
             EXPECT_LT(axis_of(panels.at(0).at("eixo y")).second.first, get(c, "exata").points.at(0).second);
         }},
        {{"erro", "k=25", "tf=20"}, {"log o erro"}, {"|x - x exato|", "|v - v exato|", "previsto"}, {}, "",
         [&](const Curves &c) {
             near(get(c, "previsto"), [](double t) { return by_hand::verdict({0, 5}, 0.1, std::round(t / 0.1)).largest; }, 1e-6);
         }},
        {{"erro", "drivenosc"}, {"log o erro"}, {"|Y - X|"}, {"previsto"}, "", nullptr},
        {{"erro", "rkstepper", "N=40", "h=3"}, {"log o erro"}, {}, {"previsto", "|Y - X|"}, "o passo é instável", nullptr},
        {{"ressonancia", "drivenosc"}, {"a amplitude", "a fase"}, {"exata |X|", "RK4 |Y|", "largura", "pico exato"}, {}, "",
         [&](const Curves &c) {
             const double wr = std::sqrt(0.875);
             const double top = std::abs(X(wr));
             const Point peak = get(c, "pico exato").points.at(0);
             EXPECT_NEAR(peak.first, wr, 1e-8);
             EXPECT_NEAR(peak.second, top, 1e-8);
             const Curve width = get(c, "largura");
             ASSERT_EQ(width.points.size(), 2u);
             near(width, [&](double) { return top / std::sqrt(2.0); }, 1e-8);
             EXPECT_NEAR(width.points[0].first, std::sqrt(0.875 - 0.5 * std::sqrt(0.9375)), 1e-8);
             EXPECT_NEAR(width.points[1].first, std::sqrt(0.875 + 0.5 * std::sqrt(0.9375)), 1e-8);
             near(get(c, "exata, arg X"), [&](double w) { return std::arg(X(w)); }, 1e-7);
             near(get(c, "medidas"), [&](double w) { return std::arg(X(w)); }, 1e-3);
         }},
        {{"ressonancia"}, {"log a amplitude", "a fase"}, {"pico do RK4"}, {"pico exato", "largura"}, "",
         [&](const Curves &c) {
             const Curve method = get(c, "RK4 |Y|");
             const double highest = std::max_element(method.points.begin(), method.points.end(),
                                                     [](Point a, Point b) { return a.second < b.second; })->second;
             EXPECT_EQ(get(c, "pico do RK4").points.at(0).second, highest);
         }},
        {{"ressonancia", "drivenosc", "h=3", "N=40"}, {"a amplitude", "a fase"}, {"exata |X|"}, {"RK4", "medid"},
         "sem a curva do RK4", nullptr},
        {{"ressonancia", "k=400", "b=2"}, {"a amplitude", "a fase"}, {"RK4 |Y|"}, {}, "", [&](const Curves &c) {
             near(get(c, "RK4, arg Y"), [](double w) { return std::arg(by_hand::iterated_response(20, 1, w, 0.1)); }, 1e-6);
         }},
        {{"metodos", "-t"}, {"log harmosc: k = 1, m = 1, b = 0, x0 = 1, v0 = 0, tf = 10; h = 0.1 / o erro em x(T) contra h"},
         {"Euler (instável)"}, {}, "instáveis com h·w0 = 0.1", nullptr},
        {{"metodos", "k=625"}, {"log o erro em x(T)", "log o afastamento", "x(t)", "log o erro de x(t)"},
         {"RK4", "Verlet (instável)"}, {}, "instáveis com h·w0 = 2.5", [&](const Curves &c) {
             const Point x = axis_of(panels.at(2).at("eixo y")).second;
             EXPECT_LE(std::max(-x.first, x.second), 2.0);
             // Each slope drawn goes through an error below the motion's size, 1.
             for (const Curve &slope : c) {
                 if (!slope.key.empty() || slope.points.empty() || slope.marks[0][0] == '"') continue;
                 double lowest = INFINITY;
                 for (const Point &p : slope.points) lowest = std::fmin(lowest, p.second);
                 EXPECT_TRUE(std::isinf(lowest) || lowest <= 1.0) << lowest;
             }
         }},
        {{"metodos"}, {"log o erro em x(T)", "log o afastamento da energia", "x(t)", "log o erro de x(t)"}, {"RK4", "exato"}, {},
         "limite): Euler e ponto médio com qualquer passo",
         [&](const Curves &c) {
             std::vector<std::string> orders;
             for (const osc::Method &m : osc::methods) orders.push_back("\"h^" + std::to_string(m.order) + "\"");
             std::vector<std::string> labels;
             for (const Curve &curve : c)
                 if (curve.marks.size() == 1 && curve.marks[0][0] == '"') labels.push_back(curve.marks[0]);
             EXPECT_EQ(labels, orders);
         }},
    };
    for (const auto &c : cases) {
        Sandbox box;
        std::vector<std::string> command{OSCSTUDY, "--tabela", "tabela"};
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        ASSERT_EQ(box.run_command(command).status, 0);
        const std::string table = box.read("tabela");
        panels = panels_of(table);
        ASSERT_EQ(panels.size(), c.panels.size()) << table;
        for (std::size_t i = 0; i < panels.size(); ++i) {
            const bool log = c.panels[i].rfind("log ", 0) == 0;
            EXPECT_NE(panels[i].at("painel").find(c.panels[i].substr(log ? 4 : 0)), std::string::npos) << panels[i].at("painel");
            EXPECT_EQ(panels[i].at("eixo y").find("(log)") != std::string::npos, log) << panels[i].at("eixo y");
        }
        EXPECT_EQ(panels[0].count("nota") == 1 && panels[0].at("nota").find(c.note) != std::string::npos,
                  *c.note != '\0');
        const Curves curves = keyed_curves_of(table);
        for (const std::string &key : c.keys) EXPECT_FALSE(get(curves, key).points.empty()) << key;
        for (const std::string &key : c.absent) EXPECT_TRUE(get(curves, key).key.empty()) << key;
        if (c.numbers) c.numbers(curves);
    }
}

// verificar's wiring: a class's folder, its table and statuses, the table kept out of the folder
// it is written in and its cells never a formula; a student's program run at four steps, one
// that hangs, writes without end, ignores its parameters, links its file or leaves a process
// of its own session, leaving nothing behind.
TEST(OscstudyCommandLine, VerifiesAClassAndAStudentsProgram)
{
    Sandbox box;
    ASSERT_EQ(box.run(HARMOSC, "2\n4 1 0.4\n1 0\n2\n").status, 0);
    std::filesystem::create_directories(box.path("turma"));
    std::filesystem::create_directories(box.path("tmp"));
    std::filesystem::copy_file(box.path("Oscilador_Kutta.dat"), box.path("=1.dat"));
    std::filesystem::rename(box.path("Oscilador_Kutta.dat"), box.path("turma/ana.dat"));
    box.write("turma/bruno.dat", "0 1 0\n0.1 1 -0.4\n0.2 0.96 -0.784\n"); // Euler, by hand
    box.write("turma/carla.dat", "0;1;0\n");
    std::filesystem::create_directory_symlink(box.dir(), box.path("turma/volta"));
    const auto program = [&](const char *name, const std::string &body) {
        box.write(name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(box.path(name), std::filesystem::perms::owner_all);
        return "programa=./" + std::string(name);
    };
    const std::string rkstepper = std::string("exec ") + RKSTEPPER;
    const std::string harmosc = "verificar harmosc k=4 m=1 b=0.4 ficheiro=";
    // The programs that run rkstepper, which a sanitized build cannot run within their bounds.
    const std::string rk = "verificar " + program("rk", rkstepper);
    const std::string fixed =
        "verificar " + program("fixo", "echo 1 0 10 1 > parametros_sistema.txt; " + rkstepper);
    const std::string escapes =
        "verificar " + program("fuga", "setsid sleep 300 < /dev/null > /dev/null 2>&1 & echo $! > " +
                                           box.path("fuga.pid").string() + "; " + rkstepper);
    // One step short of N; and two files at h and h/2, one pair of errors: an order not settled.
    const std::string short_by_one =
        "verificar " + program("curto", "read x0 v0 n h < parametros_sistema.txt\n"
                                        "echo $x0 $v0 $((n - 1)) $h > parametros_sistema.txt; " +
                                            rkstepper);
    std::filesystem::create_directories(box.path("escada"));
    for (const char *run : {"4 0.5", "8 0.25"}) {
        box.write("parametros_sistema.txt", "1 0 " + std::string(run) + "\n");
        ASSERT_EQ(box.run(RKSTEPPER).status, 0);
        std::filesystem::rename(box.path("RK_generico_1b.txt"),
                                box.path("escada/" + std::string(run)));
    }
    const struct {
        std::string arguments;
        int status;
        const char *out;
        const char *first, *last; // the CSV's first and last rows after its head
    } cases[] = {
        {harmosc + "turma --csv t.csv", 1,
         "resumo: 3 itens: 1 passa, 1 de outro método, 1 recusado",
         "\"turma/ana.dat\",\"passa\",\"RK4, ", "\"turma/carla.dat\",\"recusado\",\"\",,,"},
        {harmosc + "turma", 1, "turma/volta: fica de fora: é uma ligação para uma pasta", nullptr,
         nullptr},
        {harmosc + "=1.dat --csv t.csv", 0, "=1.dat: passa", "\"'=1.dat\",\"passa\"",
         "\"'=1.dat\",\"passa\""},
        {harmosc + "turma --csv turma/t.csv", 1, "resumo: 3 itens", nullptr, nullptr},
        {harmosc + "turma --csv turma/t.csv", 1,
         "turma/t.csv: fica de fora: é a tabela que esta verificação escreve", nullptr, nullptr},
        {harmosc + "turma/ana.dat", 0, "turma/ana.dat: passa: h = 0.1, 20 linhas", nullptr, nullptr},
        {harmosc + "turma/bruno.dat", 1, "as linhas de Euler, não as do RK4: a linha 2 tem x = 1",
         nullptr, nullptr},
        {rk, 0, "ordem observada, h = 1 a 0.125 (./rk): 4.06 (a do RK4 é 4)", nullptr, nullptr},
        {short_by_one, 1,
         "./curto, h = 1: cortado: h = 1, 9 linhas; as linhas do RK4, mas acaba em "
         "t = 9: falta-lhe um passo, até à linha de t = 10,",
         nullptr, nullptr},
        {"verificar rkstepper ficheiro=escada", 0,
         "que ainda não se pode dar por assente\nescada/8 0.25: passa", nullptr, nullptr},
        {"verificar N=1 programa=./rk", 2, "", nullptr, nullptr},
        {"verificar tempo=1 " + program("parado", "sleep 60"), 1, "não acabou em 1 s", nullptr,
         nullptr},
        {"verificar " + program("sem_fim", "yes 1 2 3 > RK_generico_1b.txt"), 1, "escreveu sem fim",
         nullptr, nullptr},
        {"verificar " + program("nada", "exit 0"), 1, "acabou sem escrever o RK_generico_1b.txt",
         nullptr, nullptr},
        {fixed, 1, "os tempos dão h = 1, e não o h = 0.5 do parametros_sistema.txt", nullptr,
         nullptr},
        {"verificar " + program("ligado", "ln -s " + box.path("turma/ana.dat").string() +
                                              " RK_generico_1b.txt"),
         1, "não foi escrito por ele nesta execução: é uma ligação", nullptr, nullptr},
        {escapes, 1, "acabou, mas deixou 1 processo a correr, que foi terminado", nullptr, nullptr},
        {harmosc + "turma --csv turma/ana.dat", 2, "", nullptr, nullptr},
    };
    for (const auto &c : cases) {
#ifdef OSC_SANITIZED
        // A sanitized rkstepper reserves more address space than a student's program is given.
        if (c.arguments == rk || c.arguments == fixed || c.arguments == escapes ||
            c.arguments == short_by_one)
            continue;
#endif
        std::vector<std::string> command{"/usr/bin/env", "TMPDIR=" + box.path("tmp").string(),
                                         OSCSTUDY};
        for (const std::string &word : fields_of(c.arguments)) command.push_back(word);
        const RunResult run = box.run_command(command);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.out << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        EXPECT_TRUE(std::filesystem::is_empty(box.path("tmp"))) << c.arguments;
        if (c.first == nullptr) continue;
        const std::vector<std::string> rows = lines_of(box.read("t.csv"));
        ASSERT_GE(rows.size(), 2U);
        EXPECT_EQ(rows[0] + "\n", osc::verify_csv_head);
        EXPECT_EQ(rows[1].rfind(c.first, 0), 0U) << rows[1];
        EXPECT_EQ(rows.back().rfind(c.last, 0), 0U) << rows.back();
    }
#ifndef OSC_SANITIZED
    // What the program left in a session of its own was ended with it.
    EXPECT_NE(::kill(std::stoi(box.read("fuga.pid")), 0), 0);
#endif
}

} // namespace
