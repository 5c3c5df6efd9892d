// rkstepper driven as a user meets it: a parameter file, then a silent run, its exit status
// and the rows of RK_generico_1b.txt.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const std::string parameter_file = "parametros_sistema.txt";
const std::string data_file = "RK_generico_1b.txt";

std::vector<std::string> run_rows(const Sandbox &box, const std::string &parameters)
{
    box.write(parameter_file, parameters);
    const RunResult run = box.run(RKSTEPPER);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    return lines_of(box.read(data_file));
}

TEST(RkstepperRun, WritesOneRowPerStepTimedByTheRunningSum)
{
    struct Case {
        std::string parameters;
        std::size_t rows;
        std::string first_time, last_time;
    };
    for (const Case &c : {Case{"1 0 1000 0.01", 1000, "0.01", "10"},
                          Case{"0 0 1 0.25", 1, "0.25", "0.25"},
                          Case{"1\n0\n3\n-0.5\nresto ignorado\n", 3, "-0.5", "-1.5"}}) {
        SCOPED_TRACE(c.parameters);
        Sandbox box;
        const auto rows = run_rows(box, c.parameters);
        ASSERT_EQ(rows.size(), c.rows);
        EXPECT_EQ(fields_of(rows.front()).at(0), c.first_time);
        EXPECT_EQ(fields_of(rows.back()).at(0), c.last_time);
    }
}

// A run of no steps still empties the data file, and says so.
TEST(RkstepperRun, NoStepsEmptiesTheDataFileWithAWarning)
{
    Sandbox box;
    box.write(data_file, "earlier results\n");
    box.write(parameter_file, "1 0 0 0.1");
    const RunResult run = box.run(RKSTEPPER);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.rfind("rkstepper: aviso: ", 0), 0u) << run.err;
    EXPECT_EQ(lines_of(run.err).size(), 1u);
    EXPECT_TRUE(box.exists(data_file));
    EXPECT_EQ(box.read(data_file), "");
}

TEST(RkstepperRun, ZeroStepKeepsTheInitialState)
{
    Sandbox box;
    const auto rows = run_rows(box, "0.5 -2 4 0");
    ASSERT_EQ(rows.size(), 4u);
    for (const std::string &row : rows) EXPECT_EQ(row, "0 0.5 -2");
}

// With lbd = 0.5 the transient has died out by t = 50; the mass then follows the drive at
// wf = 3 with amplitude F0 / sqrt((1 - 9)^2 + (0.5 * 3)^2) = 0.0614295...
TEST(RkstepperPhysics, LateAmplitudeMatchesTheSteadyState)
{
    Sandbox box;
    const auto rows = run_rows(box, "1 0 6000 0.01");
    ASSERT_EQ(rows.size(), 6000u);
    double amplitude = 0.0;
    for (const std::string &row : rows)
        if (std::stod(fields_of(row).at(0)) >= 50.0)
            amplitude = std::max(amplitude, std::abs(std::stod(fields_of(row).at(1))));
    EXPECT_NEAR(amplitude, 0.5 / std::sqrt(64.0 + 2.25), 2e-5);
}

TEST(RkstepperRefusals, LeaveTheDataFileUntouched)
{
    for (const std::string parameters :
         {"<missing>", "", "1 0", "1 0 10", "x 0 10 0.1", "1 0 abc 0.1", "1 0 99999999999 0.1",
          "1 0 10 1e999", "1 0 -1 0.1", "1 0 -2147483648 0.1", "1 0 2147483647 0.1"}) {
        SCOPED_TRACE(parameters);
        Sandbox box;
        box.write(data_file, "earlier results\n");
        if (parameters != "<missing>") box.write(parameter_file, parameters);
        const RunResult run = box.run(RKSTEPPER, "", 5.0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("rkstepper: ", 0), 0u) << run.err;
        EXPECT_EQ(box.read(data_file), "earlier results\n");
        EXPECT_LT(run.seconds, 1.0);
    }
}

TEST(RkstepperRefusals, UnwritableDataFileIsReported)
{
    Sandbox directory_in_place;
    std::filesystem::create_directory(directory_in_place.path(data_file));
    Sandbox full_disk;
    std::filesystem::create_symlink("/dev/full", full_disk.path(data_file));
    for (const Sandbox *box : {&directory_in_place, &full_disk}) {
        box->write(parameter_file, "1 0 10 0.1");
        const RunResult run = box->run(RKSTEPPER);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("rkstepper: ", 0), 0u);
        EXPECT_NE(run.err.find(data_file), std::string::npos) << run.err;
    }
}

#ifndef OSC_SANITIZED
// The step table holds three doubles per step and nothing more.
TEST(RkstepperMemory, PeakStaysNearTwentyFourBytesPerStep)
{
    Sandbox box;
    const int steps = 1000000;
    box.write(parameter_file, "1 0 " + std::to_string(steps) + " 0.001");
    const RunResult run = box.run(RKSTEPPER);
    ASSERT_EQ(run.status, 0);
    EXPECT_LT(run.peak_rss_kib * 1024.0, 24.0 * steps + 6.0 * 1024 * 1024);
}
#endif

} // namespace
