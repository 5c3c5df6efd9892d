// oscorder measures the order of rkstepper's method from runs of its own, away from the
// user's files, against the exact solution of x'' + 0.5 x' + x = 0.5 sin(3t), and only from
// errors that six printed digits can show.

#include "sandbox.hpp"

#include "motion/motion.hpp"
#include "order/verdict.hpp"
#include "programs/rkstepper_definition.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <csignal>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// Half a unit of the sixth significant digit of a number printed with six.
double rounding_of(double printed)
{
    if (printed == 0.0) return 0.0;
    int exponent = static_cast<int>(std::floor(std::log10(std::fabs(printed))));
    if (std::fabs(printed) >= std::pow(10.0, exponent + 1)) ++exponent;
    if (std::fabs(printed) < std::pow(10.0, exponent)) --exponent;
    return 0.5 * std::pow(10.0, exponent - 5);
}

const std::string verdict_prefix = "ordem observada: ";
const std::string below_mark = "(abaixo do arredondamento)";

// Each table checked against the exact solution: the steps, the errors, which rows are left
// to the rounding and the order from the two smallest steps whose errors stand clear of it.
// An error e of a printed x(T) is uncertain by r, half a unit of its sixth digit, so an order
// from e1 > e2 is uncertain by up to log2((1 + r/e1) / (1 - r/e2)): more than 0.1 when e2 is
// below 14 r; above 40 r it is below 0.04 and the row must count. The figure, as gnuplot
// receives it, holds the same: a tic at each step, labelled as the table writes it; the errors
// that count filled, the others hollow; a line of slope 4 through the smallest step that
// counts; and no axis label in the key's margin.
TEST(Oscorder, MeasuresTheOrderFromErrorsClearOfTheRounding)
{
    struct Case {
        double h, T, x0, v0;
        std::vector<std::string> arguments;
    };
    // 1/3 is not a six-digit number: its halves must reach rkstepper in full. Negative numbers,
    // "-.5" without a leading digit too, are operands, and v0 counts in the exact solution. At
    // h = 0.0625 the error of 0.5 10 is five times the rounding.
    for (const Case &c : {Case{1.0 / 3.0, 10, 1, 0, {"0.3333333333", "10"}},
                          Case{1, 12, -1, -0.5, {"1", "12", "-1", "-.5"}},
                          Case{0.5, 10, 1, 0, {"0.5", "10"}}}) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
        Sandbox box;
        std::vector<std::string> command{OSCORDER};
        if (gnuplot_installed()) command.insert(command.end(), {"--tabela", "tabela"});
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = box.run_command(command);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        const auto lines = lines_of(run.out);
        ASSERT_EQ(lines.size(), 7u) << run.out;

        const double exact = osc::exact_state(osc::rkstepper::motion(c.x0, c.v0), c.T).x;
        const std::string title_value = lines[0].substr(lines[0].rfind(' ') + 1);
        EXPECT_NEAR(std::stod(title_value), exact, 1e-8 * std::fabs(exact)) << lines[0];

        std::vector<double> errors;
        std::vector<bool> counted;
        for (int k = 0; k < 4; ++k) {
            const std::string &row = lines[2 + k];
            const auto fields = fields_of(row);
            ASSERT_GE(fields.size(), 3u) << row;
            EXPECT_NEAR(std::stod(fields[0]), c.h / (1 << k), 1e-5 * c.h) << row;
            const double position = std::stod(fields[1]);
            const double error = std::stod(fields[2]);
            EXPECT_NEAR(error, position - exact, 1e-5 * std::fabs(error) + 1e-15) << row;
            const double r = rounding_of(position);
            EXPECT_LT(std::fabs(error), 0.05 * std::pow(c.h / (1 << k), 4) + r) << row;

            const bool marked = row.find(below_mark) != std::string::npos;
            if (std::fabs(error) < 14 * r) {
                EXPECT_TRUE(marked) << row;
            }
            if (std::fabs(error) > 40 * r) {
                EXPECT_FALSE(marked) << row;
            }
            errors.push_back(error);
            counted.push_back(!marked);
        }
        int smallest = 3;
        while (smallest > 0 && !(counted[smallest] && counted[smallest - 1])) --smallest;
        ASSERT_GT(smallest, 0) << run.out;
        const double order = std::log2(errors[smallest - 1] / errors[smallest]);
        ASSERT_EQ(lines.back().rfind(verdict_prefix, 0), 0u) << run.out;
        const double verdict = std::stod(lines.back().substr(verdict_prefix.size()));
        EXPECT_NEAR(verdict, order, 0.006) << run.out;
        EXPECT_GE(verdict, 3.95);
        EXPECT_LE(verdict, 4.1);

        if (!gnuplot_installed()) continue;
        const std::string table = box.read("tabela");
        const auto panel = panels_of(table).at(0);
        EXPECT_EQ(panel.at("legenda"), "tmargin") << table;
        const auto marks = fields_of(panel.at("marcas x"));
        // The rounding, the threshold, slope 4, the filled marks, the hollow ones, the unstable.
        const auto curves = curves_of(table);
        ASSERT_EQ(marks.size(), 8u) << table;
        ASSERT_EQ(curves.size(), 6u) << table;
        // Each step's one mark: filled (1) or hollow (0), and its height.
        std::map<double, Point> marked;
        std::size_t drawn = 0;
        for (const int i : {3, 4})
            for (const Point &p : curves[i])
                if (std::isfinite(p.second) && ++drawn > 0)
                    marked[p.first] = {i == 3 ? 1 : 0, p.second};
        ASSERT_EQ(drawn, 4u) << table;
        for (std::size_t k = 0; k < 4; ++k) {
            const double step = std::stod(c.arguments[0]) / (1 << k);
            EXPECT_EQ(marks[2 * k], "\"" + fields_of(lines[2 + k])[0] + "\"");
            EXPECT_EQ(std::stod(marks[2 * k + 1]), step);
            EXPECT_EQ(marked[step].first, counted[k] ? 1 : 0);
            EXPECT_NEAR(marked[step].second, std::fabs(errors[k]), 1e-5 * std::fabs(errors[k]));
        }
        const auto anchor = std::find_if(marked.begin(), marked.end(),
                                         [](const auto &m) { return m.second.first == 1; });
        const double slope4 = anchor->second.second / std::pow(anchor->first, 4);
        for (const Point &p : curves[2])
            EXPECT_NEAR(p.second / std::pow(p.first, 4), slope4, 1e-5 * slope4);
    }
}

std::size_t entries(const std::filesystem::path &directory)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory),
                                                  std::filesystem::directory_iterator()));
}

// oscorder as a user runs it, beside files of the user's own, a verdict a row. An order that
// cannot be taken as settled is still an order, status 0, with why and what to try on its line;
// where no two consecutive errors stand clear of the rounding, or x(T) is not a number, there is
// no order. A row whose error has the other sign from the row before says so, and so does a step
// outside the stability region, with a line under the table, paired with no other row, and
// marked apart in the figure: for h·λ = h·(-0.25 ± 0.968i) |R| passes 1 at h = 2.8967, past the
// undamped 2√2 = 2.83. With no two consecutive steps below it, only h/8 = 2, there is no order
// and a smaller h is due; with errors too small only where a step below it is, as x0 = -1.3017
// puts x(4) at h = 1 within 1e-6 of the exact 0.412039, a larger h would be past it. A run of
// rkstepper that fails or leaves no row to measure gives no order: status 1 and rkstepper's own words, or what was wrong with its file, and nothing on
// standard output. So does a temporary directory that takes no file, or a standard output that
// takes no table. The user's files are left alone, and its own directory removed.
TEST(Oscorder, GivesItsVerdictAndLeavesTheCurrentDirectoryAlone)
{
    struct Marks {
        std::size_t below, sign, unstable; // rows so marked
    };
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string says; // the verdict line, or what standard error says when there is none
        Marks marks{};
        std::string rkstepper{};           // a fake beside a copy of oscorder, "" for the real one
        std::vector<std::string> before{}; // what runs oscorder
        bool only_says = true;             // standard error holds `says` and nothing more
    };
    const std::string unsettled = ", que ainda não se pode dar por assente: ";
    const std::string single = "é a única ordem da tabela e vem logo a seguir a uma mudança de "
                               "sinal do erro (entre h = ";
    const std::string cut = "com h = 1 o RK_generico_1b.txt do rkstepper ";
    const std::string last = "com h = 1 a última linha do RK_generico_1b.txt do rkstepper ";
    // At T = 8 the error changes sign between h = 1 and h = 0.5, the only pair above the
    // rounding; 0.001 to 5000 would take 4·10^7 steps at h/8.
    const Case cases[] = {
        {{}, 0, verdict_prefix + "4.06"},
        {{"0.01", "10"}, 1, verdict_prefix + "nenhuma: não há dois passos seguidos com erros acima "
         "de 8e-07 (16 vezes o arredondamento de x(T)); experimente um h maior", {4, 0, 0}},
        {{"16", "160"}, 1, verdict_prefix + "nenhuma: não há dois passos seguidos estáveis; "
         "experimente um h abaixo de 2.896", {0, 0, 3}},
        {{"4", "4", "-1.3017", "0"}, 1, verdict_prefix + "nenhuma: não há dois passos seguidos com "
         "erros acima de 8e-06 (16 vezes o arredondamento de x(T)); experimente outro T", {1, 0, 1}},
        {{"1e300", "1e300"}, 1, "finita", {}, "", {}, false},
        {{"1", "10", "1e308", "0"}, 1, "finita", {}, "", {}, false},
        {{"1", "8"}, 1, verdict_prefix + "indefinida (o erro muda de sinal entre h = 1 e h = 0.5)",
         {2, 1, 0}},
        {{"0.001", "5000"}, 2, "8·T/h até 20000000"},
        {{"0,1", "10"}, 2,
         "'0,1' não é um número; use ponto decimal, ou um espaço se são dois valores"},
        {{"0.8", "20", "0.5", "-1"}, 0, verdict_prefix + "3.60" + unsettled + single + "0.8 e "
         "h = 0.4); experimente outro T ou um h maior", {1, 1, 0}},
        {{"1", "30"}, 0, verdict_prefix + "4.19" + unsettled + "afasta-se mais de 0.1 da ordem do "
         "par anterior (4.36); experimente um h menor", {0, 0, 0}},
        {{"3", "30"}, 0, verdict_prefix + "4.53" + unsettled + "afasta-se mais de 0.1 da ordem do "
         "par anterior (5.79); experimente um h menor", {0, 0, 1}},
        {{"5", "50"}, 0, verdict_prefix + "5.37" + unsettled + single + "2.5 e h = 1.25); experimente outro T",
         {0, 1, 1}},
        {{"2.85", "28.5"}, 0, verdict_prefix + "3.80" + unsettled + single + "1.425 e h = 0.7125); "
         "experimente outro T ou um h maior", {0, 2, 0}},
        {{}, 1, "o rkstepper falhou com h = 1\nrkstepper: falha de ensaio", {},
         "echo 'rkstepper: falha de ensaio' >&2; exit 1"},
        {{}, 1, "o rkstepper foi terminado pelo sinal 11 com h = 1\n\\x1b[2J said", {},
         "printf '\\033[2J said\\n'; kill -11 $$"},
        {{}, 1, "o rkstepper escreveu mais de 1 MiB sem acabar; começou por \"y\\x0ay\\x0a", {},
         "exec yes"},
        {{}, 1, "com h = 1 não é possível ler RK_generico_1b.txt, que o rkstepper devia ter "
         "escrito: ficheiro ou diretório inexistente", {}, "exit 0"},
        {{}, 1, "com h = 1 o rkstepper deixou RK_generico_1b.txt vazio", {},
         ": > RK_generico_1b.txt"},
        {{}, 1, cut + "acaba a meio de uma linha: \"10 -0.03\"", {},
         "printf '5 0.1 0.2\\n10 -0.03' > RK_generico_1b.txt"},
        {{}, 1, last + "não é \"t x v\", três números: \"10 abc 0\"", {},
         "echo '10 abc 0' > RK_generico_1b.txt"},
        {{}, 1, last + "é a de t = 5, não a de T = 10: faltam-lhe linhas", {},
         "echo '5 -0.03 0' > RK_generico_1b.txt"},
        {{}, 1, "não é possível criar um diretório temporário em missing: ficheiro ou diretório "
         "inexistente", {}, "", {"/usr/bin/env", "TMPDIR=missing"}},
        // x0 as 1200 digits: a parameter file past the limit, a message within it.
        {{"1", "10", "0." + std::string(1200, '1'), "0"}, 1, "não é possível escrever "
         "parametros_sistema.txt no diretório temporário ", {}, "", {"/usr/bin/prlimit", "--fsize=1000"}},
        {{}, 1, "não é possível escrever na saída padrão: não há espaço livre no dispositivo", {},
         "", {"/bin/sh", "-c", "exec \"$0\" \"$@\" > /dev/full"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.says);
        Sandbox box;
        box.write("parametros_sistema.txt", "earlier parameters\n");
        box.write("RK_generico_1b.txt", "earlier results\n");
        std::filesystem::create_directory(box.path("tmp"));
        std::string oscorder = OSCORDER;
        if (!c.rkstepper.empty()) {
            std::filesystem::create_directory(box.path("bin"));
            oscorder = box.path("bin/oscorder").string();
            std::filesystem::copy_file(OSCORDER, oscorder);
            box.write("bin/rkstepper", "#!/bin/sh\n" + c.rkstepper + "\n");
            std::filesystem::permissions(box.path("bin/rkstepper"), std::filesystem::perms::owner_all);
        }
        std::vector<std::string> command{"/usr/bin/env", "TMPDIR=" + box.path("tmp").string()};
        command.insert(command.end(), c.before.begin(), c.before.end());
        command.push_back(oscorder);
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = box.run_command(command);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(box.read("parametros_sistema.txt"), "earlier parameters\n");
        EXPECT_EQ(box.read("RK_generico_1b.txt"), "earlier results\n");
        EXPECT_TRUE(std::filesystem::is_empty(box.path("tmp"))) << "its own directory is removed";
        EXPECT_EQ(entries(box.dir()), c.rkstepper.empty() ? 3u : 4u);
        if (c.says.rfind(verdict_prefix, 0) != 0) {
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err.rfind("oscorder: ", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            if (c.only_says) {
                EXPECT_EQ(lines_of(run.err).size(), lines_of(c.says).size()) << run.err;
            }
            continue;
        }
        // A title, the column heads, one row per step, a line under the table after an
        // unstable step, and the verdict.
        const auto lines = lines_of(run.out);
        ASSERT_EQ(lines.size(), c.marks.unstable > 0 ? 8u : 7u) << run.out;
        EXPECT_EQ(lines.back(), c.says);
        const auto n = static_cast<std::ptrdiff_t>(lines.size());
        const auto count = [&](std::ptrdiff_t from, std::ptrdiff_t to, const std::string &mark, bool at_end) {
            return static_cast<std::size_t>(std::count_if(
                lines.begin() + from, lines.begin() + to, [&](const std::string &row) {
                    const std::size_t at = row.rfind(mark);
                    return at != std::string::npos && (!at_end || at + mark.size() == row.size());
                }));
        };
        EXPECT_EQ(count(2, 6, below_mark, false), c.marks.below) << run.out;
        EXPECT_EQ(count(2, n - 1, "  (o erro muda de sinal)", true), c.marks.sign) << run.out;
        EXPECT_EQ(count(0, n, "  (instável)", false), c.marks.unstable) << run.out;
        if (c.marks.unstable == 0) continue;
        EXPECT_EQ(lines[6].rfind("(instável): h·w0 acima de 2.897", 0), 0u);
        if (!gnuplot_installed()) continue;
        // The figure draws each step once, the unstable ones apart from the errors that count.
        command.insert(command.end() - static_cast<std::ptrdiff_t>(c.arguments.size()), {"--tabela", "t"});
        ASSERT_EQ(box.run_command(command).status, c.status);
        const auto curves = keyed_curves_of(box.read("t"));
        ASSERT_EQ(curves.back().key, "passo instável: fora da ordem");
        std::vector<std::size_t> drawn(curves.size()); // each curve's points
        for (std::size_t i = 0; i < curves.size(); ++i)
            for (const Point &p : curves[i].points) drawn[i] += std::isfinite(p.second) ? 1 : 0;
        EXPECT_EQ(drawn[3] + drawn[4] + drawn[5], 4u);
        EXPECT_EQ(drawn[5], c.marks.unstable);
    }
}

// Half a unit of the sixth digit, where six digits of 9.999996 carry into a seventh.
TEST(OscorderVerdict, RoundingIsHalfTheSixthDigit)
{
    for (const auto &[value, rounding] : {std::pair{-0.0317404, 5e-8}, std::pair{9.99999, 5e-6},
                                          std::pair{9.999996, 5e-5}, std::pair{0.0, 0.0}})
        EXPECT_DOUBLE_EQ(osc::rounding_of(value), rounding) << value;
}

// The verdict on runs at h to h/8, a row per branch. The errors are powers of two, so an order
// is the difference of two exponents; with a rounding of 1e-9 an error of 1e-9 is below it, and
// NaN is an error that does not count, as an unstable step's.
TEST(OscorderVerdict, RestsOnTheLastMeasuredPair)
{
    const double below = 1e-9;
    const auto e = [](double exponent) { return std::exp2(-exponent); };
    struct Case {
        const char *what;
        std::vector<double> errors;
        osc::Outcome outcome;
        std::size_t last;
        double order, previous;
        bool single, after_sign_change, moving;
        bool uncounted = false;
    };
    using O = osc::Outcome;
    const Case cases[] = {
        {"settled, after a move", {1, e(5), e(9), e(13)}, O::settled, 3, 4, 4, false, false, false},
        {"settled within 0.1", {1, e(4), e(8), e(12.05)}, O::settled, 3, 4.05, 4, false, false, false},
        {"still moving", {1, e(4), e(8), e(12.25)}, O::unsettled, 3, 4.25, 4, false, false, true},
        {"a single pair", {1, e(4), below, below}, O::unsettled, 1, 4, 0, true, false, false},
        {"after a sign change", {1, e(5), -e(9), -e(13)}, O::unsettled, 3, 4, 0, false, true, false},
        {"none measured", {below, below, below, below}, O::none, 0, 0, 0, false, false, false},
        {"none counted", {NAN, 1, NAN, e(4)}, O::none, 0, 0, 0, false, false, false, true},
        {"sign change last", {1, e(4), -e(8), below}, O::sign_change, 2, 0, 0, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<osc::Run> runs;
        for (const double error : c.errors) runs.push_back({1.0 / static_cast<double>(1U << runs.size()), error, 1e-9});
        const osc::Verdict verdict = osc::judge(runs);
        EXPECT_EQ(verdict.outcome, c.outcome);
        EXPECT_EQ(verdict.last, c.last);
        EXPECT_NEAR(verdict.order, c.order, 1e-12);
        EXPECT_NEAR(verdict.previous_order, c.previous, 1e-12);
        EXPECT_EQ(verdict.single_pair, c.single);
        EXPECT_EQ(verdict.after_sign_change, c.after_sign_change);
        EXPECT_EQ(verdict.moving, c.moving);
        EXPECT_EQ(verdict.uncounted, c.uncounted);
    }
}

// With -o the same table reaches standard output, and the figure is written under its name
// whatever the name holds; a second run replaces it, and nothing else is left behind. The name
// never reaches gnuplot: past the first figure, a gnuplot that gives that figure back stands in.
TEST(Oscorder, DrawsTheFigureUnderAnyName)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    const RunResult plain = box.run_command({OSCORDER, "0.5", "10"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    std::filesystem::create_directory(box.path("fake"));
    box.write("fake/gnuplot", "#!/bin/sh\ncat > /dev/null; cat fake/figura\n");
    std::filesystem::permissions(box.path("fake/gnuplot"), std::filesystem::perms::owner_all);
    std::string path = "PATH=" + std::string(std::getenv("PATH"));
    std::size_t written = 1;
    for (const std::string name : {"convergência rk4.png", "k=4.png", "-o", "--help",
                                   "aspas'\".png", "linha\nnova.png"}) {
        SCOPED_TRACE(name);
        const RunResult run = box.run_command({"/usr/bin/env", path, OSCORDER, "-o", name, "0.5", "10"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, plain.out);
        EXPECT_EQ(png_size(box.read(name)), std::make_pair(900U, 700U));
        EXPECT_EQ(entries(box.dir()), ++written);
        // A new file's permissions, as any program gives them under the user's umask.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(box.path(name)).permissions()),
                  0666 & ~mask);
        if (written == 2) {
            std::filesystem::copy_file(box.path(name), box.path("fake/figura"));
            path = "PATH=" + box.path("fake").string() + ":/usr/bin:/bin";
        }
    }
    const std::string first = box.read("k=4.png");
    const RunResult again = box.run_command({OSCORDER, "-o", "k=4.png"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(box.read("k=4.png"), first);
    EXPECT_EQ(png_size(box.read("k=4.png")), std::make_pair(900U, 700U));
    EXPECT_EQ(entries(box.dir()), written);
}

// What is not a figure is never replaced, and a figure that cannot be finished leaves the
// earlier one whole.
TEST(Oscorder, NeverDestroysWhatIsNotAFigure)
{
    const std::string earlier = std::string("\x89PNG\r\n\x1a\n", 8) + "an earlier figure";
    struct Case {
        std::string name, content;
        std::vector<std::string> before; // what runs oscorder
        int status;
        std::string says;
        std::string option = "-o";
    };
    // "tools" holds no gnuplot; "fake" a gnuplot that fails after writing half a PNG.
    const std::vector<std::string> no_gnuplot{"/usr/bin/env", "PATH=tools"};
    const std::vector<std::string> failing_gnuplot{"/usr/bin/env", "PATH=fake:/usr/bin:/bin"};
    const std::vector<std::string> small_files{"/usr/bin/prlimit", "--fsize=10000"};
    const bool have_gnuplot = gnuplot_installed();
    for (const Case &c : {Case{"w0.dat", "0 1 0\n0.05 0.99 -0.05\n", {}, 2, "não é uma imagem PNG"},
                          Case{"w0.dat", "0 1 0\n", {}, 2, "não é uma tabela de pontos do gnuplot",
                               "--tabela"},
                          Case{"vazio.png", "", {}, 2, "não é uma imagem PNG"},
                          Case{"pasta.png", "", {}, 2, "é um diretório"},
                          Case{"fifo.png", "", {}, 2, "não é um ficheiro regular"},
                          Case{"fig.png", earlier, no_gnuplot, 3, "gnuplot-nox"},
                          Case{"fig.png", earlier, failing_gnuplot, 1, "o gnuplot falhou"},
                          Case{"fig.png", earlier, small_files, 1, "fig.png"}}) {
        SCOPED_TRACE(c.name + " " + c.says);
        if (c.before == small_files && !have_gnuplot) continue;
        Sandbox box;
        if (c.name == "pasta.png")
            std::filesystem::create_directory(box.path(c.name));
        else if (c.name == "fifo.png")
            ::mkfifo(box.path(c.name).c_str(), 0644);
        else
            box.write(c.name, c.content);
        std::filesystem::create_directory(box.path("tools"));
        std::filesystem::create_directory(box.path("fake"));
        box.write("fake/gnuplot", "#!/bin/sh\nprintf '\\211PNG\\r\\n\\032\\nhalf'\n"
                                  "echo 'falha de ensaio' >&2\nexit 1\n");
        std::filesystem::permissions(box.path("fake/gnuplot"),
                                     std::filesystem::perms::owner_all);
        std::vector<std::string> command = c.before;
        command.insert(command.end(), {OSCORDER, c.option, c.name});
        const RunResult run = box.run_command(command);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.err.rfind("oscorder: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        if (c.status != 1) {
            EXPECT_EQ(run.out, "");
        }
        if (c.name != "pasta.png" && c.name != "fifo.png") {
            EXPECT_EQ(box.read(c.name), c.content);
        }
        EXPECT_EQ(entries(box.dir()), 3u);
    }
}

// A signal that ends oscorder ends rkstepper first, and leaves no work directory and no hidden
// file beside the figure.
TEST(Oscorder, ASignalEndsRkstepperAndLeavesNothing)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    std::filesystem::create_directory(box.path("bin"));
    std::filesystem::create_directory(box.path("tmp"));
    const std::string oscorder = box.path("bin/oscorder").string();
    std::filesystem::copy_file(OSCORDER, oscorder);
    box.write("bin/rkstepper", "#!/bin/sh\necho $$ > " + box.path("rk.pid").string() + "\nexec sleep 30\n");
    std::filesystem::permissions(box.path("bin/rkstepper"), std::filesystem::perms::owner_all);
    const std::string script = "\"$@\" & while [ ! -s rk.pid ]; do sleep 0.05; done; kill -TERM $!; wait $!";
    const RunResult run = box.run_command({"/bin/sh", "-c", script, "sh", "/usr/bin/env",
                                           "TMPDIR=" + box.path("tmp").string(), oscorder, "-o", "f.png"});
    EXPECT_EQ(run.status, 143);
    EXPECT_NE(::kill(std::stoi(box.read("rk.pid")), 0), 0);
    EXPECT_EQ(entries(box.path("tmp")), 0u);
    EXPECT_EQ(entries(box.dir()), 3u); // bin, tmp and rk.pid
}

} // namespace
