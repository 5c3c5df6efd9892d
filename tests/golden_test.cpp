// Short runs whose data files are pinned byte for byte. They were written once by a Release
// build and checked against the physics: the first step of each equals the Taylor series of
// the linear system through h^4 (for harmosc, x = 0.980396, v = -0.387565 from x = 1, v = 0
// with w0 = 2, gamma = 0.25), and drivenosc at 3 w0 steps through the same states as rkstepper,
// whose force law drives at wf = 3. Every build, whatever its flags, must reproduce them. They
// pin the evaluation order, the step count that the running sum gives and the number format;
// a fused multiply-add moves only the last bits, which six digits seldom show in tens of rows,
// so the NoFusedMultiplyAdd test looks for those instructions in the binaries themselves.

#include "sandbox.hpp"

#include "motion/motion.hpp"
#include "programs/rkstepper_definition.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::string golden(const std::string &name)
{
    std::string content = read_file(std::filesystem::path(GOLDEN_DIR) / name);
    EXPECT_FALSE(content.empty()) << name;
    return content;
}

// harmosc's damped motion (w0 = 2, gamma = 0.25, forty steps of 0.1); drivenosc at each of the
// three frequencies and rkstepper's generic step with the driven force law, N = 40, h = 0.25.
TEST(Golden, EachProgramsRowsAreThePinnedOnes)
{
    struct Case {
        const char *program;
        std::string input, parameter_file, data_file, golden;
    };
    const Case cases[] = {
        {HARMOSC, "2\n4 1 0.5\n1 0\n4\n", "", "Oscilador_Kutta.dat", "harmosc_damped.dat"},
        {DRIVENOSC, "1\n", "input_1a.txt", "Kutta_1a_w0_3.dat", "drivenosc_w0_3.dat"},
        {DRIVENOSC, "2\n", "input_1a.txt", "Kutta_1a_w0.dat", "drivenosc_w0.dat"},
        {DRIVENOSC, "3\n", "input_1a.txt", "Kutta_1a_3w0.dat", "drivenosc_3w0.dat"},
        {RKSTEPPER, "", "parametros_sistema.txt", "RK_generico_1b.txt", "rkstepper.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.golden);
        Sandbox box;
        if (!c.parameter_file.empty()) box.write(c.parameter_file, "1 0 40 0.25\n");
        ASSERT_EQ(box.run(c.program, c.input).status, 0);
        EXPECT_EQ(box.read(c.data_file), golden(c.golden));
    }
}

// 1200 steps of 0.0975. From t = 100 on, i h is a seven-digit time ending in 5, and there the
// running sum of h and the product i h fall on either side of the six-digit rounding in 68
// rows: a clock computed as i h would print other digits. The file matched an independent
// model of the step, and every position lies within 1e-4 of the exact solution (the method's
// error at this step).
TEST(Golden, RkstepperClockIsTheRunningSumOfTheStep)
{
    Sandbox box;
    box.write("parametros_sistema.txt", "0.5 -0.2 1200 0.0975\n");
    ASSERT_EQ(box.run(RKSTEPPER).status, 0);
    const std::string content = box.read("RK_generico_1b.txt");
    EXPECT_EQ(content, golden("rkstepper_clock.txt"));

    const auto rows = lines_of(content);
    ASSERT_EQ(rows.size(), 1200u);
    int other_digits = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double t = static_cast<double>(i + 1) * 0.0975;
        char product[32];
        std::snprintf(product, sizeof product, "%.6g", t);
        if (fields_of(rows[i]).at(0) != product) ++other_digits;
        const double exact = osc::exact_state(osc::rkstepper::motion(0.5, -0.2), t).x;
        EXPECT_NEAR(std::stod(fields_of(rows[i]).at(1)), exact, 1e-4) << i;
    }
    EXPECT_GT(other_digits, 0) << "the two clocks must print differently somewhere";
}

// Two programs integrate the same equation at wf = 3 with the same arithmetic: drivenosc's rows
// after the first (it also writes the initial state, and an index column) are rkstepper's rows.
TEST(Golden, DrivenoscAtThreeW0AndRkstepperAgree)
{
    Sandbox driven;
    driven.write("input_1a.txt", "-0.3 1.7 500 0.07\n");
    ASSERT_EQ(driven.run(DRIVENOSC, "3\n").status, 0);
    Sandbox stepper;
    stepper.write("parametros_sistema.txt", "-0.3 1.7 500 0.07\n");
    ASSERT_EQ(stepper.run(RKSTEPPER).status, 0);

    const auto driven_rows = lines_of(driven.read("Kutta_1a_3w0.dat"));
    const auto stepper_rows = lines_of(stepper.read("RK_generico_1b.txt"));
    ASSERT_EQ(stepper_rows.size(), 500u);
    ASSERT_GE(driven_rows.size(), 500u); // the running sum decides whether t = 35 gets a row
    for (std::size_t i = 0; i + 1 < driven_rows.size(); ++i) {
        const std::string &row = driven_rows[i + 1];
        EXPECT_EQ(row.substr(row.find(' ') + 1), stepper_rows.at(i));
    }
}

} // namespace
