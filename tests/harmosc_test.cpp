// harmosc driven as a user meets it: a dialogue on standard input, then the console bytes,
// the exit status and the rows of Oscilador_Kutta.dat. The physics and the refusals call its
// dialogue in this process; the transcripts and the terminal run the program.

// harmosc is one source by design: it is compiled in here, its main renamed out of the way.
#define main harmosc_main
#include "harmosc/harmosc.cpp" // NOLINT(bugprone-suspicious-include)
#undef main

#include "motion/motion.hpp"
#include "programs/harmosc_definition.hpp"
#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kutta_file = "Oscilador_Kutta.dat";

const std::string menu =
    "\033[1;32mIndique que EDO pretende resolver (introduza os números identificadores)\n\n"
    "\033[37m   (1) Movimento Harmónico Simples \n   (2) Movimento Oscilatório Amortecido \n\n\n";
const std::string rest_of_dialogue =
    "\n"
    "\033[1;31mIntroduza as condições iniciais (x0 e v0 por esta ordem)\033[37m\n"
    "\033[1;31mIntroduza o instante final da simulação \033[37m\n";

// The rows of a run that must complete without a word on standard error.
std::vector<std::string> rows_after(const Sandbox &box, const std::string &input)
{
    const RunResult run = box.call(dialogue_and_run, input);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return lines_of(box.read(kutta_file));
}

double field(const std::string &row, std::size_t i) { return std::stod(fields_of(row).at(i)); }

// A finished dialogue (to tf = 0.3: three rows) replaces an earlier data file; a refused
// choice stops it after the menu. "1.5" is an integer only in part: an invalid choice, not
// choice 1. (Which answers read is the text test's.)
TEST(HarmoscDialogue, Transcripts)
{
    const std::string prompt = "\033[1;31mIntroduza k, m ";
    struct Case {
        std::string input, after_menu, refusal;
    };
    const Case cases[] = {
        {"1\n4 1\n1 0\n0.3\n", prompt + "\033[37m\n" + rest_of_dialogue, ""},
        {"2 4 1 2 1 0 0.3", prompt + "e b \033[37m\n" + rest_of_dialogue, ""},
        {"3\n", "Opção inválida\n", "opção inválida \"3\""},
        {"", "Opção inválida\n", "a entrada terminou sem uma opção"},
        {"1.5\n1 1\n1 0\n1\n", "Opção inválida\n", "opção inválida \"1.5\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("input: " + c.input);
        Sandbox box;
        box.write(kutta_file, "earlier results\n");
        const RunResult run = box.run(HARMOSC, c.input);
        const bool refused = !c.refusal.empty();
        EXPECT_EQ(run.status, refused ? 1 : 0);
        EXPECT_EQ(run.out, menu + c.after_menu);
        EXPECT_EQ(run.err, refused ? "harmosc: " + c.refusal +
                                         ": esperado 1 ou 2; nenhum ficheiro foi alterado\n"
                                   : "");
        if (refused) {
            EXPECT_EQ(box.read(kutta_file), "earlier results\n");
        } else {
            EXPECT_EQ(lines_of(box.read(kutta_file)).size(), 3u);
        }
    }
}

// One RK4 step of x'' = -x reproduces the Taylor series through h^4:
// x = 1 - h^2/2 + h^4/24 = 0.99500416..., v = -h + h^3/6 = -0.09983333...
// (the exact solution would print -0.0998334).
TEST(HarmoscPhysics, OneStepMatchesTaylorExpansion)
{
    Sandbox box;
    const auto rows = rows_after(box, "1\n1 1\n1 0\n0.1\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "0 1 0");
    EXPECT_EQ(rows[1], "0.1 0.995004 -0.0998333");
}

// Time is a running sum of 0.1: 0.1 + 0.1 + 0.1 = 0.30000000000000004 > 0.3, ten additions
// give 0.9999999999999999 <= 1, and the sum after 1.9000000000000006 exceeds 2. A final time
// before the first step, or a negative one, still runs as asked, after one warning.
TEST(HarmoscPhysics, RowCountFollowsTheRunningSumOfTheStep)
{
    struct Case {
        std::string tf;
        std::size_t rows;
        std::string last_time, err;
    };
    for (const Case &c :
         {Case{"0.3", 3, "0.2", ""}, Case{"1", 11, "1", ""}, Case{"2", 20, "1.9", ""},
          Case{"0", 1, "0",
               "harmosc: aviso: o instante final 0 vem antes do primeiro passo, h = 0.1: só a "
               "linha de t = 0 será escrita\n"},
          Case{"-1", 0, "",
               "harmosc: aviso: o instante final -1 é negativo: " + kutta_file + " ficará vazio\n"}}) {
        SCOPED_TRACE("tf = " + c.tf);
        Sandbox box;
        box.write(kutta_file, "earlier results\n");
        const RunResult run = box.call(dialogue_and_run, "1\n1 1\n0.5 0\n" + c.tf + "\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, c.err);
        EXPECT_TRUE(box.exists(kutta_file));
        const auto rows = lines_of(box.read(kutta_file));
        ASSERT_EQ(rows.size(), c.rows);
        if (rows.empty()) continue;
        EXPECT_EQ(fields_of(rows.back()).at(0), c.last_time);
        EXPECT_EQ(rows.front(), "0 0.5 0");
    }
}

// Without a spring or damping the mass coasts: x = x0 + v0 t, v = v0.
TEST(HarmoscPhysics, FreeMassMovesInAStraightLine)
{
    Sandbox box;
    const auto rows = rows_after(box, "2\n0 1 0\n2 -0.5\n3\n");
    ASSERT_EQ(rows.size(), 30u);
    for (const std::string &row : rows) {
        const double t = field(row, 0);
        EXPECT_NEAR(field(row, 1), 2.0 - 0.5 * t, 1e-5) << row;
        EXPECT_EQ(fields_of(row).at(2), "-0.5") << row;
    }
}

// k = 1, m = 1, b = 0.2: w0 = 1, gamma = 0.1, and from x = 1, v = 0 the exact motion decays
// as e^(-gamma t).
TEST(HarmoscPhysics, DampedMotionFollowsTheAnalyticSolutionAndDecays)
{
    Sandbox box;
    const auto rows = rows_after(box, "2\n1 1 0.2\n1 0\n30\n");
    ASSERT_EQ(rows.size(), 300u);
    const double gamma = 0.1;
    const osc::Motion motion = osc::harmosc::motion(1, 1, 0.2, 1, 0);
    double early_peak = 0.0;
    double late_peak = 0.0;
    for (const std::string &row : rows) {
        const double t = field(row, 0);
        const osc::State exact = osc::exact_state(motion, t);
        EXPECT_NEAR(field(row, 1), exact.x, 2e-5) << row;
        EXPECT_NEAR(field(row, 2), exact.v, 2e-5) << row;
        if (t < 10.0) early_peak = std::max(early_peak, std::abs(field(row, 1)));
        if (t >= 20.0) late_peak = std::max(late_peak, std::abs(field(row, 1)));
    }
    // Turning points sit at |x| = e^(-gamma t): after t = 20 none exceeds e^(-2).
    EXPECT_EQ(early_peak, 1.0);
    EXPECT_LT(late_peak, std::exp(-gamma * 20.0) * 1.001);
}

TEST(HarmoscPhysics, ZeroDampingEqualsSimpleHarmonicMotion)
{
    Sandbox simple;
    Sandbox damped;
    rows_after(simple, "1\n3 2\n0.7 -1.3\n5\n");
    rows_after(damped, "2\n3 2 0\n0.7 -1.3\n5\n");
    EXPECT_EQ(simple.read(kutta_file), damped.read(kutta_file));
}

// m = 0 makes w0 infinite, k/m < 0 makes it NaN; the run still completes, the values become
// NaN or infinite, and one warning says they will. A negative mass with k/m > 0 gives finite
// numbers without physical sense.
TEST(HarmoscPhysics, MeaninglessConstantsRunWithAWarning)
{
    const std::string nan_rows = "as posições e velocidades a partir da segunda linha serão nan";
    struct Case {
        std::string constants, warning;
        bool finite;
    };
    const Case cases[] = {
        {"1 0", "m = 0: w0 = sqrt(k/m) não é finito e " + nan_rows + " ou inf", false},
        {"-4 1", "k/m = -4 é negativo: w0 = sqrt(k/m) não é um número e " + nan_rows, false},
        {"4 -1", "k/m = -4 é negativo: w0 = sqrt(k/m) não é um número e " + nan_rows, false},
        {"-4 -1", "a massa m = -1 é negativa: o movimento calculado não tem sentido físico", true},
        {"4 1 -0.2", "a constante de amortecimento b = -0.2 é negativa\n  em vez de amortecer, faz "
                     "o movimento crescer, o que não tem sentido físico", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.constants);
        Sandbox box;
        const bool damped = std::count(c.constants.begin(), c.constants.end(), ' ') == 2;
        const RunResult run =
            box.call(dialogue_and_run, (damped ? "2\n" : "1\n") + c.constants + "\n1 0\n1\n");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "harmosc: aviso: " + c.warning + "\n");
        const auto rows = lines_of(box.read(kutta_file));
        ASSERT_EQ(rows.size(), 11u);
        EXPECT_EQ(rows[0], "0 1 0");
        EXPECT_EQ(std::isfinite(field(rows[1], 1)), c.finite) << rows[1];
    }
}

void no_file(const Sandbox & /*box*/) {}
void earlier_file(const Sandbox &box) { box.write(kutta_file, "earlier results\n"); }
// A link to a file yet to be made: the file made to find out must go, the link stay.
void link_to_new_file(const Sandbox &box)
{
    std::filesystem::create_directory(box.path("out"));
    std::filesystem::create_symlink("out/dados.dat", box.path(kutta_file));
}

// Input that cannot finish the dialogue, a final time that the running sum of 0.1 never passes
// (from 2^50 on, adding 0.1 no longer changes it: the first such time), or a data file that
// cannot be written (found before the first question, which is then not shown) stops the run,
// says why, and leaves the directory as it was: the check that the data file can be written
// neither truncates an earlier file nor leaves a new one behind.
TEST(HarmoscRefusals, LeaveTheDirectoryAsItWas)
{
    const std::string number = "esperado um número (como 0.4 ou 1e-3)";
    const std::string never = " nunca é atingido: com passo 0.1 a soma do tempo deixa de avançar "
                              "antes dele";
    const std::string three = "opção inválida \"3\": esperado 1 ou 2; nenhum ficheiro foi alterado";
    const std::string no_m = "falta o valor de m (a entrada terminou)";
    const std::string finished = "1\n1 1\n1 0\n1\n";
    struct Case {
        std::function<void(const Sandbox &)> setup;
        std::string input, err;
        bool before_the_menu = false;
    };
    const Case cases[] = {
        {earlier_file, "1\n", "falta o valor de k (a entrada terminou)"},
        {earlier_file, "1\n2\n", no_m},
        {earlier_file, "2\n1 1\n", "falta o valor de b (a entrada terminou)"},
        {earlier_file, "1\n1 1\nabc\n", "\"abc\" não serve para x0: " + number},
        {earlier_file, "1\n1 1\n0\n", "falta o valor de v0 (a entrada terminou)"},
        {earlier_file, "1\n1 1\n0 0\n", "falta o valor de tf (a entrada terminou)"},
        {earlier_file, "1\n1 1\n0 0\n1125899906842624\n", "o instante final 1.1259e+15" + never},
        {no_file, "3\n", three},
        {earlier_file, "3\n", three},
        {link_to_new_file, "3\n", three},
        {no_file, "1\n1\n", no_m},
        {earlier_file, "1\n1\n", no_m},
        {link_to_new_file, "1\n1\n", no_m},
        {[](const Sandbox &box) { std::filesystem::create_directory(box.path(kutta_file)); },
         finished, "é um diretório", true},
        {[](const Sandbox &box) {
             std::filesystem::create_symlink("/nonexistent/x", box.path(kutta_file));
         },
         finished, "é uma ligação simbólica para \"/nonexistent/x\", num diretório que não existe",
         true},
        {[](const Sandbox &box) { ::mkfifo(box.path(kutta_file).c_str(), 0644); }, finished,
         "não é um ficheiro regular", true},
        {[](const Sandbox &box) {
             box.write("plain", "");
             std::filesystem::create_symlink("plain/x", box.path(kutta_file));
         },
         finished, "parte do caminho não é um diretório", true},
        {[](const Sandbox &box) { std::filesystem::create_symlink(kutta_file, box.path(kutta_file)); },
         finished, "demasiadas ligações simbólicas encadeadas", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("input: " + c.input + "; " + c.err);
        Sandbox box;
        c.setup(box);
        const auto before = snapshot(box);
        const RunResult run = box.call(dialogue_and_run, c.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out.empty(), c.before_the_menu);
        EXPECT_EQ(run.err, "harmosc: " +
                               (c.before_the_menu ? "não é possível escrever " + kutta_file + ": " : "") +
                               c.err + "\n");
        EXPECT_EQ(changes(before, snapshot(box)), "");
    }
}

// Everything harmosc writes to a terminal, its answers coming from `input`; or, with no input,
// the terminal itself, and `signal` sent to the program once it shows its menu.
std::string on_a_terminal(const Sandbox &box, const std::string &input, int signal,
                          const char *no_colour = nullptr)
{
    box.write("answers", input);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return "<no pseudo-terminal>";
    if (pid == 0) {
        const int answers = ::open(box.path("answers").c_str(), O_RDONLY);
        if (::chdir(box.dir().c_str()) != 0 || answers < 0) ::_exit(126);
        if (!input.empty() && ::dup2(answers, 0) < 0) ::_exit(126);
        if (no_colour != nullptr) ::setenv("NO_COLOR", no_colour, 1);
        else ::unsetenv("NO_COLOR");
        ::execl(HARMOSC, HARMOSC, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    std::string shown;
    bool signalled = false;
    pollfd ready{terminal, POLLIN, 0};
    char buffer[4096];
    while (::poll(&ready, 1, 60000) > 0) {
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n <= 0) break; // the program is gone and the terminal closed
        shown.append(buffer, static_cast<std::size_t>(n));
        if (signal != 0 && !signalled && shown.find("(2) Movimento") != std::string::npos) {
            ::kill(pid, signal);
            signalled = true;
        }
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return shown;
}

// The prompts leave a terminal in bold white; the program puts its attributes back before it
// ends, refused, interrupted or not. Elsewhere its bytes are the dialogue's alone (the
// transcripts above). A non-empty NO_COLOR leaves out every colour sequence, the reset too.
TEST(HarmoscTerminal, AttributesAreResetWhenTheProgramEnds)
{
    struct Case {
        std::string input;
        int signal;
        const char *no_colour;
    };
    for (const Case &c : {Case{"1\n1 1\n1 0\n1\n", 0, nullptr}, Case{"3\n", 0, nullptr},
                          Case{"1\n1 1\n", 0, nullptr}, Case{"", SIGINT, nullptr},
                          Case{"", SIGTERM, nullptr}, Case{"", SIGHUP, nullptr},
                          Case{"1\n1 1\n1 0\n1\n", 0, ""}, Case{"1\n1 1\n1 0\n1\n", 0, "1"},
                          Case{"", SIGINT, "1"}}) {
        SCOPED_TRACE(c.input + " signal " + std::to_string(c.signal));
        Sandbox box;
        const std::string shown = on_a_terminal(box, c.input, c.signal, c.no_colour);
        if (shown == "<no pseudo-terminal>") GTEST_SKIP() << "no pseudo-terminal here";
        if (c.no_colour != nullptr && *c.no_colour != '\0') {
            EXPECT_EQ(shown.find('\033'), std::string::npos) << shown;
            EXPECT_EQ(shown.rfind("Indique", 0), 0u) << shown;
            continue;
        }
        EXPECT_EQ(shown.rfind("\033[1;32m", 0), 0u) << shown;
        EXPECT_EQ(shown.size() - shown.rfind("\033[0m"), 4u) << shown;
    }
}

} // namespace
