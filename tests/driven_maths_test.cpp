// The driven steady state against RK4 iterated on y' = A·y + b·e^(i·wf·t) until the transient
// is gone and against the exact one by hand; rows per period; both against real runs.

#include "motion/motion.hpp"
#include "sandbox.hpp"
#include "step_by_hand.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"
#include "stepmath/sampling.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>

namespace {

using Complex = std::complex<double>;

TEST(DrivenMaths, TransferFunctionIsTheSteadyStateOfTheSteps)
{
    struct Case {
        double w0, beta, wf, h;
    };
    const Case cases[] = { // on both sides of the tolerance; the last two overdamped
        {1, 0.25, 3, 2},    {1, 0.25, 1, 2},      {1, 0.25, 1.0 / 3, 2},
        {1, 0.25, 3, 0.5},  {1, 0.25, 3, 0.2},    {1, 0.25, 1.0 / 3, 1},
        {1, 0.25, 1, 0.05}, {5, 2, 0.5, 0.3},     {5, 2, 0.5, 0.5},
        {1, 2, 3, 0.5},     {1, 2, 3, 0.2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.w0 << " " << c.beta << " " << c.wf << " " << c.h);
        const Complex X = 1.0 / Complex(c.w0 * c.w0 - c.wf * c.wf, 2 * c.beta * c.wf);
        const Complex Y = by_hand::iterated_response(c.w0, c.beta, c.wf, c.h);
        EXPECT_LT(std::abs(osc::rk4_response(c.w0, c.beta, 1, c.wf, c.h) / Y - 1.0), 1e-9);
        EXPECT_LT(std::abs(osc::steady_amplitude({c.w0, c.beta, 2, c.wf, 0, 0}) / X - 2.0), 1e-14);
        const bool strays = std::abs(Y / X - 1.0) > osc::tolerance;
        EXPECT_EQ(osc::response_error(c.w0, c.beta, c.wf, c.h) > osc::tolerance, strays);
        if (!strays) continue;
        // The step offered is within the tolerance, and 2.5 times it, where still below h, is not.
        const double step = osc::response_step(c.w0, c.beta, c.wf, c.h);
        const auto off = [&](double h) {
            return std::abs(by_hand::iterated_response(c.w0, c.beta, c.wf, h) / X - 1.0);
        };
        EXPECT_LE(off(step), osc::tolerance) << step;
        if (2.5 * step < c.h) {
            EXPECT_GT(off(2.5 * step), osc::tolerance) << step;
        }
    }
    // Fourth order: halving h divides the difference by about 2⁴.
    EXPECT_NEAR(osc::response_error(1, 0.25, 1, 0.1) / osc::response_error(1, 0.25, 1, 0.05),
                16.0, 0.5);
    // At h = 1e-300, where h² underflows, Y is X (wf = w0: 1/(2i·β)) to the doubles.
    EXPECT_LT(std::abs(osc::rk4_response(1, 0.25, 1, 1, 1e-300) / Complex(0, -2) - 1.0), 1e-12);
}

TEST(DrivenMaths, TransientAndPeriods)
{
    // Decayed after ln(1/decayed)/(-Re λ) of the slowest mode; never where a mode does not decay.
    const double ln = std::log(1 / osc::decayed);
    EXPECT_NEAR(osc::transient_time(1, 0.25, 0.01), ln / 0.25, 1e-3);
    EXPECT_NEAR(osc::transient_time(1, 2, 0.01), ln / (2 - std::sqrt(3.0)), 1e-3);
    EXPECT_TRUE(std::isinf(osc::transient_time(1, 0, 0.01)));
    EXPECT_TRUE(std::isinf(osc::transient_time(1, 0.25, 3)));   // beyond the stability limit
    EXPECT_NEAR(osc::damped_period(10, 0) / 0.1, 6.2832, 1e-4); // harmosc k = 100: 6.28 rows
    EXPECT_TRUE(std::isinf(osc::damped_period(1, 1)));
    // Rows every 2 of a period 2π/3 turn by 6 rad, 2π - 0.283 rad: a period of 4π/0.283.
    EXPECT_NEAR(osc::alias_period(2 * osc::pi / 3, 2), 4 * osc::pi / (2 * osc::pi - 6), 1e-9);
    EXPECT_TRUE(std::isinf(osc::alias_period(0.5, 1.0)));       // two whole periods a row
}

TEST(DrivenMaths, RunsSayWhatTheRowsShow)
{
    const auto warnings = [](const Sandbox &box, const char *program, const char *parameters,
                             const char *input) {
        box.write("input_1a.txt", parameters);
        return box.run(program, input).err;
    };
    Sandbox box;
    const std::string said = warnings(box, DRIVENOSC, "1 0 1000 2", "3\n");
    // The driven warning's remedy, which the tolerance sets, is worded in step_warnings_test.
    for (const char *sentence :
         {": aviso: a amplitude sai 7.62 vezes A(wf); com h = ",
          "\n  com h·wf = 6, passado o transitório, as linhas oscilam com amplitude 0.468 "
          "em vez\n  de A(wf) = 0.0614, e com a fase atrasada 0.133 rad",
          ": aviso: a oscilação forçada (período 2.09) tem só 1.05 linhas por período, menos "
          "de 2\n  uma a cada h = 2: o gráfico mostra uma oscilação falsa, mais lenta, de "
          "período 44.4,"})
        EXPECT_NE(said.find(sentence), std::string::npos) << said;
    // After the transient the rows are Im(Y·e^(i·wf·t)) to their six digits.
    const Complex Y = osc::rk4_response(1, 0.25, 0.5, 3, 2);
    for (const std::string &row : lines_of(box.read("Kutta_1a_3w0.dat"))) {
        const double t = std::stod(fields_of(row).at(1));
        if (t >= 100) {
            EXPECT_NEAR(std::stod(fields_of(row).at(2)), (Y * std::polar(1.0, 3 * t)).imag(), 1e-5)
                << row;
        }
    }
    // Ending at t = 18, before the transient has gone at 18.4, the run says nothing of it.
    EXPECT_EQ(warnings(box, DRIVENOSC, "1 0 9 2", "3\n").find("transitório"), std::string::npos);
    // 9.47 and 10.5 rows a period.
    EXPECT_NE(warnings(box, HARMOSC, "", "1\n44 1\n1 0\n20\n")
                  .find("livre (período 0.947) tem só 9.47 linhas por período, menos de 10\n  uma "
                        "a cada h = 0.1: o gráfico, que as liga por segmentos, mostra"),
              std::string::npos);
    EXPECT_EQ(warnings(box, HARMOSC, "", "1\n36 1\n1 0\n20\n").find("por período"),
              std::string::npos);
}

} // namespace
