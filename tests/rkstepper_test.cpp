// rkstepper driven as a user meets it: a parameter file, then a silent run, its exit status
// and the rows of RK_generico_1b.txt. The runs call its main in this process; a signal and the
// memory of the process need the program.

// rkstepper's driver is one source by design: it is compiled in here, its main renamed out of
// the way.
#define main rkstepper_main
#include "rkstepper/rkstepper.cpp" // NOLINT(bugprone-suspicious-include)
#undef main

#include "motion/motion.hpp"
#include "programs/rkstepper_definition.hpp"
#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace {

const std::string input_file = "parametros_sistema.txt";
const std::string output_file = "RK_generico_1b.txt";

const auto rkstepper = started(rkstepper_main, "rkstepper");

std::vector<std::string> run_rows(const Sandbox &box, const std::string &parameters,
                                  const std::string &warnings = "")
{
    box.write(input_file, parameters);
    const RunResult run = box.call(rkstepper);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, warnings);
    return lines_of(box.read(output_file));
}

// Each run empties the data file first. A byte-order mark before the first number, as some
// editors save a file, is not part of it. A negative step runs backward in time, a zero step
// keeps the initial state, and no steps leave the data file empty; each says so.
TEST(RkstepperRun, WritesOneRowPerStepTimedByTheRunningSum)
{
    struct Case {
        std::string parameters;
        std::size_t rows;
        std::string first_time, last_time, warnings;
        std::string every_row{}; // the one row written at every step, "" when they differ
    };
    for (const Case &c :
         {Case{"1 0 1000 0.01", 1000, "0.01", "10", ""},
          Case{"\xEF\xBB\xBF" "0 0 1 0.05", 1, "0.05", "0.05", ""},
          Case{"1\n0\n3\n-0.5\nresto ignorado\n", 3, "-0.5", "-1.5",
               "rkstepper: aviso: h = -0.5 é negativo: a simulação corre para trás, de t = 0 até "
               "t = -1.5\n  o amortecimento, que para a frente faz decair o movimento, faz agora "
               "crescer a solução como\n  e^(0.25·|t|)\n"},
          Case{"0.5 -2 4 0", 4, "0", "0",
               "rkstepper: aviso: h = 0: o tempo não avança, e todas as linhas têm t = 0\n",
               "0 0.5 -2"},
          Case{"1 0 0 0.1", 0, "", "",
               "rkstepper: aviso: N = 0: nenhum passo, " + output_file + " ficará vazio\n"}}) {
        SCOPED_TRACE(c.parameters);
        Sandbox box;
        box.write(output_file, "earlier results\n");
        const auto rows = run_rows(box, c.parameters, c.warnings);
        ASSERT_EQ(rows.size(), c.rows);
        EXPECT_TRUE(box.exists(output_file));
        if (c.rows == 0) {
            EXPECT_EQ(box.read(output_file), "");
            continue;
        }
        EXPECT_EQ(fields_of(rows.front()).at(0), c.first_time);
        EXPECT_EQ(fields_of(rows.back()).at(0), c.last_time);
        if (!c.every_row.empty()) {
            for (const std::string &row : rows) EXPECT_EQ(row, c.every_row);
        }
    }
}

// With lbd = 0.5 the transient has died out by t = 50; the mass then follows the drive at
// wf = 3 with the amplitude of the exact steady motion, 0.0614295...
TEST(RkstepperPhysics, LateAmplitudeMatchesTheSteadyState)
{
    Sandbox box;
    const auto rows = run_rows(box, "1 0 6000 0.01");
    ASSERT_EQ(rows.size(), 6000u);
    double amplitude = 0.0;
    for (const std::string &row : rows)
        if (std::stod(fields_of(row).at(0)) >= 50.0)
            amplitude = std::max(amplitude, std::abs(std::stod(fields_of(row).at(1))));
    EXPECT_NEAR(amplitude, std::abs(osc::steady_amplitude(osc::rkstepper::motion(1, 0))), 2e-5);
}

// What cannot be read as x0 v0 N h, N an int of at least 0, is refused with a reason, and the
// data file left as it was. A data file that cannot be written is found out before the
// computation; a full disk shows at the first row.
TEST(RkstepperRefusals, NameTheReasonAndLeaveTheDataFile)
{
    const std::string in_file = " em " + input_file;
    const std::string integer = in_file + ": esperado um número inteiro";
    const std::string ended = in_file + " (o ficheiro terminou)";
    const std::string unwritable = "não é possível escrever " + output_file + ": ";
    struct Case {
        std::string parameters, err;
        std::function<void(const std::filesystem::path &)> make_data{}; // "earlier results" if none
    };
    const Case cases[] = {
        {"<missing>", "não é possível ler " + input_file + ": ficheiro ou diretório " +
                          "inexistente; deve conter quatro números: x0 v0 N h"},
        {"<directory>", "não é possível ler " + input_file + ": é um diretório"},
        {"", "falta o valor de x0" + ended},
        {"1", "falta o valor de v0" + ended},
        {"1 0", "falta o valor de N" + ended},
        {"1 0 10", "falta o valor de h" + ended},
        {"x 0 10 0.1", "\"x\" não serve para x0" + in_file + ": esperado um número (como 0.4 ou 1e-3)"},
        {"1 0 abc 0.1", "\"abc\" não serve para N" + integer},
        {"1 0 0.01 3000", "\"0.01\" não serve para N" + integer + "; tem parte decimal\n  lidos como "
                          "x0 v0 N h, N conta os passos e h é o seu tamanho; se N e h vieram "
                          "trocados, N = 3000\n  e h = 0.01 iriam até t = 30"},
        {"1 0 0.5 2.5", "\"0.5\" não serve para N" + integer + "; tem parte decimal"}, // no count
        {"1 0 -1 0.1", "o número de passos N = -1 é negativo"},
        {"1 0 10 0.1", unwritable + "é um diretório",
         [](const auto &file) { std::filesystem::create_directory(file); }},
        {"1 0 10 0.1", unwritable + "é uma ligação simbólica para \"/nonexistent/x\", num diretório que não existe",
         [](const auto &file) { std::filesystem::create_symlink("/nonexistent/x", file); }},
        {"1 0 10 0.1", unwritable + "não é um ficheiro regular",
         [](const auto &file) { ::mkfifo(file.c_str(), 0644); }},
        {"1 0 10 0.1", unwritable + "não há espaço livre no dispositivo",
         [](const auto &file) { std::filesystem::create_symlink("/dev/full", file); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err);
        Sandbox box;
        if (c.make_data) c.make_data(box.path(output_file));
        else box.write(output_file, "earlier results\n");
        if (c.parameters == "<directory>") std::filesystem::create_directory(box.path(input_file));
        else if (c.parameters != "<missing>") box.write(input_file, c.parameters);
        const RunResult run = box.call(rkstepper);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "rkstepper: " + c.err + "\n");
        if (!c.make_data) {
            EXPECT_EQ(box.read(output_file), "earlier results\n");
        }
    }
}

// Ended while it computes, the run leaves the earlier results as they were: the data file is
// emptied only once every step is taken. The signal (SIGTERM: a shell's background job ignores
// Ctrl-C's SIGINT) comes once the step table has begun to fill, its resident memory past
// 20 MiB of the 229 MiB it will reach, long before the first row could be written.
TEST(RkstepperRefusals, InterruptedComputationKeepsTheEarlierResults)
{
    Sandbox box;
    box.write(output_file, "earlier results\n");
    box.write(input_file, "1 0 10000000 0.001");
    const std::string script = R"(
        "$0" & run=$!
        while kill -0 $run 2> /dev/null; do
          resident=$(awk '$1 == "VmRSS:" { print $2 }' /proc/$run/status 2> /dev/null)
          [ "${resident:-0}" -gt 20480 ] && break
          sleep 0.01
        done
        kill -TERM $run; wait $run; echo "status $?")";
    const RunResult run = box.run_command({"/bin/bash", "-c", script, RKSTEPPER});
    EXPECT_EQ(run.out, "status 143\n") << "ended by SIGTERM while computing";
    EXPECT_TRUE(box.read(output_file) == "earlier results\n") << "the earlier results are gone";
}

#ifndef OSC_SANITIZED
// A table larger than four fifths of the memory the process may still take is refused before
// the computation, whatever the machine: the limit here is the one set on the process's address
// space, 64 MiB, of which the program's own mappings take about 6. A table under four fifths is
// taken and computed, and that run stops only at its first row, its data file being /dev/full.
// (The sanitizers reserve more address space than any such limit allows.)
TEST(RkstepperMemory, TableBeyondTheProcessLimitIsRefused)
{
    struct Case {
        int steps;
        std::string table_mib; // the refusal names the table's size, or "" when it fits
    };
    // 50 MiB is more than 80% of what the limit leaves, and less than all of it; 40 MiB is less.
    for (const Case &c : {Case{10000000, "229"}, Case{2147483647, "49152"}, Case{2184533, "50"},
                          Case{1747626, ""}}) {
        SCOPED_TRACE(c.steps);
        Sandbox box;
        if (c.table_mib.empty()) std::filesystem::create_symlink("/dev/full", box.path(output_file));
        else box.write(output_file, "earlier results\n");
        box.write(input_file, "1 0 " + std::to_string(c.steps) + " 0.001");
        const RunResult run =
            box.run_command({"/usr/bin/prlimit", "--as=67108864", "--", RKSTEPPER});
        EXPECT_EQ(run.status, 1);
        if (c.table_mib.empty()) {
            ASSERT_FALSE(run.err.empty());
            EXPECT_EQ(lines_of(run.err).back(), "rkstepper: não é possível escrever " + output_file +
                                                    ": não há espaço livre no dispositivo");
            continue;
        }
        const std::string start = "rkstepper: memória insuficiente para guardar " +
                                  std::to_string(c.steps) + " passos: a tabela ocuparia " +
                                  c.table_mib + " MiB e há ";
        EXPECT_EQ(run.err.rfind(start, 0), 0u) << run.err;
        const std::size_t available = std::stoul(run.err.substr(start.size()));
        EXPECT_LT(available, 64u) << "within the limit the test set";
        EXPECT_EQ(run.err.substr(start.size() + std::to_string(available).size()),
                  " MiB disponíveis, dos quais se usam no máximo 80%\n");
        EXPECT_EQ(box.read(output_file), "earlier results\n");
    }
}

// rkstepper's own peak resident memory, measured by a small process that starts it, whatever
// this test program held before. The table is computed in full; its data file being /dev/full,
// the run then stops at the first row instead of writing them all.
double peak_bytes(int steps)
{
    Sandbox box;
    std::filesystem::create_symlink("/dev/full", box.path(output_file));
    box.write(input_file, "1 0 " + std::to_string(steps) + " 0.001");
    const RunResult run = box.run_command({PEAK_MEMORY, box.path("peak").string(), RKSTEPPER});
    EXPECT_EQ(run.status, 1) << run.err;
    return std::stod(box.read("peak")) * 1024.0;
}

// The step table holds three doubles per step and nothing more: a million more steps take
// 24 MB more, within a tenth (a run's own resident memory varies by a quarter of a megabyte).
TEST(RkstepperMemory, PeakGrowsByTwentyFourBytesPerStep)
{
    const double steps = 1000000;
    EXPECT_NEAR(peak_bytes(1001000) - peak_bytes(1000), 24.0 * steps, 2.4 * steps);
}
#endif

} // namespace
