// drivenosc driven as a user meets it: a parameter file and a menu answer, then the console
// bytes, the exit status and the three data files.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const std::string parameter_file = "input_1a.txt";
const std::string files[3] = {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat", "Kutta_1a_3w0.dat"};
const std::string console =
    "*** DRIVENOSC ***\n"
    "Introduza o valor de wf pretendido (selecione o número correspondente): \n"
    "   (1) w0 / 3 \n   (2) w0 \n   (3) 3*w0 \n\n \n";

void fill_with_earlier_results(const Sandbox &box)
{
    for (const std::string &file : files) box.write(file, "earlier " + file + "\n");
}

void expect_earlier_results(const Sandbox &box)
{
    for (const std::string &file : files) EXPECT_EQ(box.read(file), "earlier " + file + "\n");
}

std::vector<std::string> run_rows(const Sandbox &box, const std::string &parameters,
                                  int selection)
{
    box.write(parameter_file, parameters);
    const RunResult run = box.run(DRIVENOSC, std::to_string(selection) + "\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, console);
    return lines_of(box.read(files[selection - 1]));
}

TEST(DrivenoscRun, WritesTheChosenFileAndEmptiesTheOtherTwo)
{
    for (int selection = 1; selection <= 3; ++selection) {
        SCOPED_TRACE(selection);
        Sandbox box;
        fill_with_earlier_results(box);
        const auto rows = run_rows(box, "1 0 10 0.1\n", selection);
        // Ten additions of 0.1 give 0.9999999999999999 <= N h = 1: eleven rows.
        ASSERT_EQ(rows.size(), 11u);
        EXPECT_EQ(rows.front(), "0 0 1 0");
        EXPECT_EQ(fields_of(rows.back()).at(0), "10");
        EXPECT_EQ(fields_of(rows.back()).at(1), "1");
        for (int other = 1; other <= 3; ++other)
            if (other != selection) {
                EXPECT_EQ(box.read(files[other - 1]), "");
            }
    }
}

TEST(DrivenoscRun, RowCountFollowsTheRunningSumOfTheStep)
{
    struct Case {
        std::string parameters;
        std::size_t rows;
        std::string last_row_start;
    };
    // 100 additions of 0.05 reach 4.99999999999999 <= 5; N = 2.5, h = 1 stops after t = 2;
    // N = 0 writes the initial state only.
    for (const Case &c : {Case{"0 1 100 0.05", 101, "100 5 "}, Case{"0.5 0 2.5 1", 3, "2 2 "},
                          Case{"0.25 -1 0 0.1", 1, "0 0 0.25 -1"}}) {
        SCOPED_TRACE(c.parameters);
        Sandbox box;
        const auto rows = run_rows(box, c.parameters, 2);
        ASSERT_EQ(rows.size(), c.rows);
        EXPECT_EQ(rows.back().rfind(c.last_row_start, 0), 0u) << rows.back();
    }
}

TEST(DrivenoscRun, NegativeEndTimeWritesNoRows)
{
    for (const std::string parameters : {"1 0 -5 0.1", "1 0 5 -0.1"}) {
        Sandbox box;
        fill_with_earlier_results(box);
        box.write(parameter_file, parameters);
        const RunResult run = box.run(DRIVENOSC, "3\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, console);
        EXPECT_EQ(lines_of(run.err).size(), 1u);
        EXPECT_EQ(run.err.rfind("drivenosc: aviso: ", 0), 0u) << run.err;
        for (const std::string &file : files) EXPECT_EQ(box.read(file), "");
    }
}

// After the transient (it decays as e^(-gamma t / 2), gamma = 0.5) the motion settles at the
// driving frequency with amplitude F / sqrt((w0^2 - wf^2)^2 + (gamma wf)^2), w0 = 1, F = 0.5.
TEST(DrivenoscPhysics, LateAmplitudeMatchesTheSteadyState)
{
    const double wf[3] = {1.0 / 3.0, 1.0, 3.0};
    for (int selection = 1; selection <= 3; ++selection) {
        SCOPED_TRACE(selection);
        Sandbox box;
        const auto rows = run_rows(box, "0 0 8000 0.01", selection);
        ASSERT_GE(rows.size(), 8000u);
        double amplitude = 0.0;
        for (const std::string &row : rows)
            if (std::stod(fields_of(row).at(1)) >= 50.0)
                amplitude = std::max(amplitude, std::abs(std::stod(fields_of(row).at(2))));
        const double w = wf[selection - 1];
        const double expected = 0.5 / std::sqrt(std::pow(1.0 - w * w, 2) + std::pow(0.5 * w, 2));
        EXPECT_NEAR(amplitude, expected, 2e-4 * expected + 1e-5);
    }
}

TEST(DrivenoscMenu, InvalidSelectionTouchesNoFile)
{
    for (const std::string input : {"0\n", "4\n", "-2\n", "x\n", "", "99999999999\n", "1.5\n"}) {
        SCOPED_TRACE("input: " + input);
        Sandbox box;
        fill_with_earlier_results(box);
        box.write(parameter_file, "1 0 10 0.1\n");
        const RunResult run = box.run(DRIVENOSC, input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, console);
        EXPECT_EQ(run.err, "");
        expect_earlier_results(box);
    }
}

// Files that cannot be read as four numbers, and grids whose loop would never end, are
// refused before the banner.
TEST(DrivenoscRefusals, LeaveAllThreeFilesIntact)
{
    for (const std::string parameters :
         {"<missing>", "", "1 0 10", "1 0 abc 0.1", "1 0 1e999 0.1", "0 1 10 0", "0 1 -5 -0.1",
          "0 1 0 -0.1", "0 1 1e300 1e-300", "0 1 1e300 1e300"}) {
        SCOPED_TRACE(parameters);
        Sandbox box;
        fill_with_earlier_results(box);
        if (parameters != "<missing>") box.write(parameter_file, parameters);
        const RunResult run = box.run(DRIVENOSC, "2\n", 5.0);
        EXPECT_FALSE(run.timed_out);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("drivenosc: ", 0), 0u) << run.err;
        expect_earlier_results(box);
    }
}

// A data file that cannot be opened, whichever of the three and whichever the choice, stops
// the run before any of them is emptied; one that is missing is not created either.
TEST(DrivenoscRefusals, UnwritableDataFileLeavesTheOtherTwoAsTheyWere)
{
    for (int blocked = 0; blocked < 3; ++blocked)
        for (int selection = 1; selection <= 3; ++selection) {
            SCOPED_TRACE(files[blocked] + " blocked, choice " + std::to_string(selection));
            const int absent = selection % 3; // one file that does not exist yet, now and then
            Sandbox box;
            for (int other = 0; other < 3; ++other)
                if (other != blocked && other != absent) box.write(files[other], "earlier\n");
            std::filesystem::create_directory(box.path(files[blocked]));
            box.write(parameter_file, "1 0 10 0.1");
            const RunResult run = box.run(DRIVENOSC, std::to_string(selection) + "\n");
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, "drivenosc: não é possível escrever " + files[blocked] +
                                   ": é um diretório\n");
            for (int other = 0; other < 3; ++other) {
                if (other == blocked) continue;
                if (other != absent) EXPECT_EQ(box.read(files[other]), "earlier\n");
                else EXPECT_FALSE(box.exists(files[other]));
            }
        }
}

// A full disk shows only when a row is written: the run stops there and says why.
TEST(DrivenoscRefusals, FullDiskIsReported)
{
    Sandbox box;
    std::filesystem::create_symlink("/dev/full", box.path(files[1]));
    box.write(parameter_file, "1 0 10 0.1");
    const RunResult run = box.run(DRIVENOSC, "2\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "drivenosc: erro ao escrever em " + files[1] +
                           ": não há espaço livre no dispositivo\n");
}

} // namespace
