// drivenosc driven as a user meets it: a parameter file and a menu answer, then the console
// bytes, the exit status and the three data files. Most cases call its main in this process;
// those that need a process of its own (another process acting while it waits, a limit of the
// process) run the program.

// drivenosc is one source by design: it is compiled in here, its main renamed out of the way.
#define main drivenosc_main
#include "drivenosc/drivenosc.cpp" // NOLINT(bugprone-suspicious-include)
#undef main

#include "motion/motion.hpp"
#include "programs/drivenosc_definition.hpp"
#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace {

const std::string input_file = "input_1a.txt";
const std::string files[3] = {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat", "Kutta_1a_3w0.dat"};
const std::string console =
    "*** DRIVENOSC ***\n"
    "Introduza o valor de wf pretendido (selecione o número correspondente): \n"
    "   (1) w0 / 3 \n   (2) w0 \n   (3) 3*w0 \n\n \n";

const auto drivenosc = started(drivenosc_main, "drivenosc");

void fill_with_earlier_results(const Sandbox &box)
{
    for (const std::string &file : files) box.write(file, "earlier " + file + "\n");
}

void expect_earlier_results(const Sandbox &box)
{
    for (const std::string &file : files) EXPECT_EQ(box.read(file), "earlier " + file + "\n");
}

// The rows of a run that says nothing on standard error.
std::vector<std::string> run_rows(const Sandbox &box, const std::string &parameters, int selection)
{
    box.write(input_file, parameters);
    const RunResult run = box.call(drivenosc, std::to_string(selection) + "\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, console);
    EXPECT_EQ(run.err, "");
    return lines_of(box.read(files[selection - 1]));
}

// The chosen file gets the rows and the other two are emptied. Ten additions of 0.1 give
// 0.9999999999999999 <= N h = 1: eleven rows; 100 additions of 0.05 reach 4.99999999999999 <= 5;
// N = 2.5, h = 1.5 stops after t = 3; N = 0 writes the initial state only, and a negative N·h
// none, each after a warning. A byte-order mark before the first number, as some editors save a
// file, is not part of it. With h·w0 = 1.5 the phase lags, which a warning of three lines says.
TEST(DrivenoscRun, RowsFollowTheRunningSumIntoTheChosenFileOnly)
{
    const std::string negative = "drivenosc: aviso: N·h = -0.5 é negativo: nenhuma linha será "
                                 "escrita e os três ficheiros de dados ficarão vazios\n";
    struct Case {
        std::string parameters;
        int selection;
        std::size_t rows;
        std::string first_row, last_row_start, err_start;
        std::size_t err_lines;
    };
    const Case cases[] = {
        {"1 0 10 0.1\n", 1, 11, "0 0 1 0", "10 1 ", "", 0},
        {"1 0 10 0.1\n", 2, 11, "0 0 1 0", "10 1 ", "", 0},
        {"1 0 10 0.1\n", 3, 11, "0 0 1 0", "10 1 ", "", 0},
        {"0 1 100 0.05", 2, 101, "0 0 0 1", "100 5 ", "", 0},
        {"0.5 0 2.5 1.5", 2, 3, "0 0 0.5 0", "2 3 ", "drivenosc: aviso: ", 3},
        {"\xEF\xBB\xBF" "0.25 -1 0 0.1", 2, 1, "0 0 0.25 -1", "0 0 0.25 -1",
         "drivenosc: aviso: N = 0: nenhum passo", 2},
        {"1 0 -5 0.1", 3, 0, "", "", negative, 1},
        {"1 0 5 -0.1", 3, 0, "", "", negative, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.parameters + ", choice " + std::to_string(c.selection));
        Sandbox box;
        fill_with_earlier_results(box);
        box.write(input_file, c.parameters);
        const RunResult run = box.call(drivenosc, std::to_string(c.selection) + "\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, console);
        EXPECT_EQ(run.err.rfind(c.err_start, 0), 0u) << run.err;
        EXPECT_EQ(lines_of(run.err).size(), c.err_lines) << run.err;
        for (const std::string &line : lines_of(run.err))
            EXPECT_TRUE(line.rfind("drivenosc: aviso: ", 0) == 0 || line.rfind("  ", 0) == 0) << line;
        for (int other = 1; other <= 3; ++other)
            if (other != c.selection) {
                EXPECT_EQ(box.read(files[other - 1]), "");
            }
        const auto rows = lines_of(box.read(files[c.selection - 1]));
        ASSERT_EQ(rows.size(), c.rows);
        if (rows.empty()) continue;
        EXPECT_EQ(rows.front(), c.first_row);
        EXPECT_EQ(rows.back().rfind(c.last_row_start, 0), 0u) << rows.back();
    }
}

// After the transient (it decays as e^(-gamma t / 2), gamma = 0.5) the motion settles at the
// driving frequency with the amplitude of the exact steady motion.
TEST(DrivenoscPhysics, LateAmplitudeMatchesTheSteadyState)
{
    for (int selection = 1; selection <= 3; ++selection) {
        SCOPED_TRACE(selection);
        Sandbox box;
        const auto rows = run_rows(box, "0 0 8000 0.01", selection);
        ASSERT_GE(rows.size(), 8000u);
        double amplitude = 0.0;
        for (const std::string &row : rows)
            if (std::stod(fields_of(row).at(1)) >= 50.0)
                amplitude = std::max(amplitude, std::abs(std::stod(fields_of(row).at(2))));
        const osc::Motion motion = osc::drivenosc::motion(selection, 0, 0);
        const double expected = std::abs(osc::steady_amplitude(motion));
        EXPECT_NEAR(amplitude, expected, 2e-4 * expected + 1e-5);
    }
}

// Files that cannot be read as four numbers, and a grid whose loop would never end (which
// grids end is the time grid's own test), are refused before the banner; an answer other than
// 1, 2 or 3 after the menu. The message says what is wrong, and no file is touched. (Which
// answers read, and how they are shown, is the text test's.)
TEST(DrivenoscRefusals, LeaveAllThreeFilesIntact)
{
    const std::string number = "esperado um número (como 0.4 ou 1e-3)";
    const std::string never = " o tempo nunca ultrapassa N·h e a simulação não terminaria";
    const std::string choice = ": esperado 1, 2 ou 3; nenhum ficheiro foi alterado";
    struct Case {
        std::string parameters, answer, err;
        bool after_the_menu = false;
    };
    const Case cases[] = {
        {"<missing>", "2\n", "não é possível ler input_1a.txt: ficheiro ou diretório inexistente; "
                             "deve conter quatro números: x0 v0 N h"},
        {"<directory>", "2\n", "não é possível ler input_1a.txt: é um diretório"},
        {"", "2\n", "falta o valor de x0 em input_1a.txt (o ficheiro terminou)"},
        {"1 0 10", "2\n", "falta o valor de h em input_1a.txt (o ficheiro terminou)"},
        {"1 0 abc 0.1", "2\n", "\"abc\" não serve para N em input_1a.txt: " + number},
        {"0 1 -5 -0.1", "2\n", "com N = -5 e h = -0.1" + never},
        {"1 0 10 0.1", "4\n", "opção inválida \"4\"" + choice, true},
        {"1 0 10 0.1", "2.0\n", "opção inválida \"2.0\"" + choice, true},
        {"1 0 10 0.1", "", "a entrada terminou sem uma opção" + choice, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.parameters + " / " + c.answer);
        Sandbox box;
        fill_with_earlier_results(box);
        if (c.parameters == "<directory>") std::filesystem::create_directory(box.path(input_file));
        else if (c.parameters != "<missing>") box.write(input_file, c.parameters);
        const RunResult run = box.call(drivenosc, c.answer);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, c.after_the_menu ? console : "");
        EXPECT_EQ(run.err, "drivenosc: " + c.err + "\n");
        expect_earlier_results(box);
    }
}

// A data file that cannot be written, whichever of the three and whichever the choice, stops
// the run before the menu and before any of them is emptied; one that is missing is not created
// either.
TEST(DrivenoscRefusals, UnwritableDataFileLeavesTheOtherTwoAsTheyWere)
{
    struct Blocker {
        std::string reason;
        std::function<void(const std::filesystem::path &)> make;
    };
    const Blocker blockers[] = {
        {"é um diretório", [](const auto &file) { std::filesystem::create_directory(file); }},
        {"é uma ligação simbólica para \"/nonexistent/x\", num diretório que não existe",
         [](const auto &file) { std::filesystem::create_symlink("/nonexistent/x", file); }},
        {"não é um ficheiro regular", [](const auto &file) { ::mkfifo(file.c_str(), 0644); }},
    };
    // Each file blocked its own way: which blocker says what is the data file's own test.
    for (int blocked = 0; blocked < 3; ++blocked)
        for (int selection = 1; selection <= 3; ++selection) {
            const Blocker &blocker = blockers[blocked];
            SCOPED_TRACE(files[blocked] + " " + blocker.reason + ", choice " +
                         std::to_string(selection));
            const int absent = selection % 3; // a file that does not exist yet, now and then
            Sandbox box;
            for (int other = 0; other < 3; ++other)
                if (other != blocked && other != absent) box.write(files[other], "earlier\n");
            blocker.make(box.path(files[blocked]));
            box.write(input_file, "1 0 10 0.1");
            const RunResult run = box.call(drivenosc, std::to_string(selection) + "\n");
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, "drivenosc: não é possível escrever " + files[blocked] + ": " +
                                   blocker.reason + "\n");
            for (int other = 0; other < 3; ++other) {
                if (other == blocked) continue;
                if (other != absent) EXPECT_EQ(box.read(files[other]), "earlier\n");
                else EXPECT_FALSE(box.exists(files[other]));
            }
        }
    // Two files blocked: the first one met stops the run, with one line.
    Sandbox box;
    std::filesystem::create_directory(box.path(files[0]));
    std::filesystem::create_directory(box.path(files[2]));
    box.write(input_file, "1 0 10 0.1");
    EXPECT_EQ(box.call(drivenosc, "2\n").err,
              "drivenosc: não é possível escrever " + files[0] + ": é um diretório\n");
}

// What blocks a file after the menu has been shown (here a directory made while the program
// waits for the answer) stops the run all the same before any file is emptied, and a file the
// run created on the way is taken away again.
TEST(DrivenoscRefusals, FileBlockedWhileTheMenuWaitsLeavesTheOthersAsTheyWere)
{
    Sandbox box;
    box.write(input_file, "1 0 10 0.1");
    box.write(files[0], "earlier\n");
    const std::string script = R"(
        mkfifo answers
        "$0" < answers > shown 2> said & run=$!
        exec 3> answers
        until grep -q '3\*w0' shown || ! kill -0 $run 2> /dev/null; do sleep 0.01; done
        mkdir Kutta_1a_3w0.dat
        echo 1 >&3; exec 3>&-
        wait $run; echo "status $?"; cat said)";
    const RunResult run = box.run_command({"/bin/bash", "-c", script, DRIVENOSC});
    EXPECT_EQ(run.out, "status 1\ndrivenosc: não é possível escrever " + files[2] +
                           ": é um diretório\n");
    EXPECT_EQ(box.read(files[0]), "earlier\n");
    EXPECT_FALSE(box.exists(files[1]));
}

#ifndef OSC_SANITIZED
// The run holds its three files open at once: where the process may not open that many, it
// finds out before the menu, with every file as it was. (The sanitizers' runtime needs file
// descriptors of its own, which so low a limit does not leave.)
TEST(DrivenoscRefusals, TooFewFileDescriptorsForTheThreeFiles)
{
    Sandbox box;
    fill_with_earlier_results(box);
    box.write(input_file, "1 0 10 0.1");
    const RunResult run =
        box.run_command({"/usr/bin/prlimit", "--nofile=5", "--", DRIVENOSC}, "1\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "drivenosc: não é possível escrever " + files[2] +
                           ": demasiados ficheiros abertos\n");
    expect_earlier_results(box);
}
#endif

// A full disk shows only when a row is written: the run stops there and says why.
TEST(DrivenoscRefusals, FullDiskIsReported)
{
    Sandbox box;
    std::filesystem::create_symlink("/dev/full", box.path(files[1]));
    box.write(input_file, "1 0 10 0.1");
    const RunResult run = box.call(drivenosc, "2\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "drivenosc: não é possível escrever " + files[1] +
                           ": não há espaço livre no dispositivo\n");
}

} // namespace
