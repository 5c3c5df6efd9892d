// oscplot as a student uses it: data files just written by each program become pictures, any
// file name is just a name, a file or a figure that cannot be used is refused with its reason,
// and an earlier figure survives a plot that fails. What reaches gnuplot is checked through
// --tabela, which makes every plot command write the points it would draw instead.

#include "motion/motion.hpp"
#include "programs/harmosc_definition.hpp"
#include "sandbox.hpp"
#include "text/format.hpp"
#include "thinning/thinning.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The numbers of each row of a data file whose numbers are all finite.
std::vector<std::vector<double>> rows_of(const std::string &data)
{
    std::vector<std::vector<double>> rows;
    for (const std::string &line : lines_of(data)) {
        std::vector<double> row;
        for (const std::string &field : fields_of(line)) row.push_back(std::stod(field));
        if (std::all_of(row.begin(), row.end(), [](double value) { return std::isfinite(value); }))
            rows.push_back(row);
    }
    return rows;
}

// The pairs of columns a and b of every row.
std::set<Point> pairs_of(const std::vector<std::vector<double>> &rows, std::size_t a, std::size_t b)
{
    std::set<Point> pairs;
    for (const auto &row : rows) pairs.emplace(row[a], row[b]);
    return pairs;
}

// Every point a curve drew is one of the rows' pairs, and there are points.
void expect_drawn_from(const std::vector<Point> &curve, const std::set<Point> &pairs)
{
    EXPECT_FALSE(curve.empty());
    for (const Point &p : curve)
        EXPECT_EQ(pairs.count(p), 1u) << p.first << " " << p.second << " is no row of the file";
}

// Runs the command as someone other than root, who cannot write to a read-only directory.
std::vector<std::string> as_a_user(const Sandbox &box, std::vector<std::string> command)
{
    if (::geteuid() != 0) return command;
    fs::permissions(box.dir().parent_path(), fs::perms(0755));
    fs::permissions(box.dir(), fs::perms(0777));
    command.insert(command.begin(),
                   {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return command;
}

// A gnuplot that prints `said` on standard error and runs `then`, whose standard output is
// the figure.
std::string fake_gnuplot(const Sandbox &box, const std::string &said, const std::string &then)
{
    const fs::path bin = box.path("fake");
    fs::create_directory(bin);
    box.write("fake/gnuplot", "#!/bin/sh\necho '" + said + "' >&2\n" + then + "\n");
    fs::permissions(bin / "gnuplot", fs::perms(0755));
    return "PATH=" + bin.string() + ":/usr/bin:/bin";
}

const std::string earlier_png = "\x89PNG\r\n\x1a\nan earlier figure";
const std::string two_rows = "0 1 0\n0.1 0.995 -0.0998\n";

TEST(Oscplot, DrawsEachKindOfDataFile)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    ASSERT_EQ(box.run(HARMOSC, "2\n1 1 0.2\n1 0\n30\n").status, 0);
    box.write("input_1a.txt", "1 0 1000 0.05\n");
    ASSERT_EQ(box.run(DRIVENOSC, "1\n").status, 0);
    box.write("parametros_sistema.txt", "1 0 3000 0.01\n");
    ASSERT_EQ(box.run(RKSTEPPER).status, 0);
    for (const std::string data_file : {"Oscilador_Kutta.dat", "Kutta_1a_w0_3.dat", "RK_generico_1b.txt"}) {
        SCOPED_TRACE(data_file);
        const RunResult run = box.run_command({OSCPLOT, data_file});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, data_file + ".png\n");
        const std::string png = box.read(data_file + ".png");
        EXPECT_EQ(png_size(png), std::make_pair(900U, 1000U));
        EXPECT_GT(png.size(), 20000U); // two panels of curves, axes and text
        EXPECT_LT(png.size(), 2000000U);
    }
    // Nothing is left beside the figures.
    for (const auto &entry : fs::directory_iterator(box.dir()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

// In each mode, the columns reach the right axes: "t x v" and "n t x v" alike, two finite
// rows enough, and gnuplot's warnings (a run at rest has empty ranges) are no failure.
TEST(Oscplot, HandsGnuplotTheRightColumnsInEveryMode)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    box.write("input_1a.txt", "1 0 200 0.05\n");
    ASSERT_EQ(box.run(DRIVENOSC, "2\n").status, 0);
    box.write("duas.dat", two_rows);
    // Upper-case exponents, a long run of blanks, and a last line that no newline ends.
    box.write("maiusculas.dat", "0 1 0\n1E-3 0.99" + std::string(3000, ' ') + "-1.2E-3\n2E-3 0.98 -2.4E-3");
    // Line ends of another system, tabs and runs of blanks draw as single blanks would.
    box.write("crlf.dat", "0\t1  0\r\n0.1 0.995\t-0.0998\r\n0.2 0.98 -0.199\r\n");
    ASSERT_EQ(box.run(HARMOSC, "1\n1 1\n0 0\n1\n").status, 0);
    const std::vector<std::string> files = {"Kutta_1a_w0.dat", "duas.dat", "maiusculas.dat", "crlf.dat",
                                            "Oscilador_Kutta.dat"};
    // No temporary directory is needed.
    const auto oscplot = [&](std::vector<std::string> options, const std::vector<std::string> &operands) {
        options.insert(options.begin(), {"/usr/bin/env", "COLUMNS=80", "LINES=24", "TMPDIR=/nonexistent", OSCPLOT});
        options.insert(options.end(), operands.begin(), operands.end());
        const RunResult run = box.run_command(options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
    };
    struct Case {
        std::vector<std::string> arguments;
        bool velocity; // position, velocity and phase portrait; no velocity in -t
        bool by_file;  // each file its own figure, its curves together
    };
    const Case cases[] = {{{}, true, true}, {{"-o", "figura.png"}, true, false}, {{"-t"}, false, false}};
    // From the second case on, --tabela replaces the table that the case before wrote.
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "" : c.arguments[0]);
        std::vector<std::string> options = {"--tabela", "tabela"};
        options.insert(options.end(), c.arguments.begin(), c.arguments.end());
        oscplot(options, files);
        const auto curves = curves_of(box.read("tabela"));
        const std::size_t panels = c.velocity ? 3 : 2;
        ASSERT_EQ(curves.size(), panels * files.size());
        // The k-th panel's curve of file i.
        const auto curve = [&](std::size_t i, std::size_t k) -> const std::vector<Point> & {
            return c.by_file ? curves[i * panels + k] : curves[k * files.size() + i];
        };
        for (std::size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(files[i]);
            const auto rows = rows_of(box.read(files[i]));
            const std::size_t t = rows[0].size() - 3;
            expect_drawn_from(curve(i, 0), pairs_of(rows, t, t + 1));
            if (c.velocity) expect_drawn_from(curve(i, 1), pairs_of(rows, t, t + 2));
            expect_drawn_from(curve(i, panels - 1), pairs_of(rows, t + 1, t + 2));
            // Few rows are drawn whole.
            EXPECT_EQ(std::set<Point>(curve(i, 0).begin(), curve(i, 0).end()), pairs_of(rows, t, t + 1));
        }
        // And drawn, two rows and the run at rest each alone (many files in one figure are
        // drawn in tests of their own).
        oscplot(c.arguments, {"Oscilador_Kutta.dat"});
        if (c.by_file) oscplot(c.arguments, {"duas.dat"});
    }
}

// Rows t, sin t + noise, cos t + noise every 0.01, written with six digits as a file holds
// them; the noise, up to 0.5, comes from a fixed linear congruential sequence.
std::string noisy_rows(int count)
{
    std::string data;
    std::uint32_t state = 12345;
    const auto noise = [&state] {
        state = state * 1664525U + 1013904223U;
        return 0.5 * (state >> 8U) / 16777216.0;
    };
    for (int i = 0; i < count; ++i) {
        const double t = i * 0.01;
        char row[96];
        std::snprintf(row, sizeof row, "%.6g %.6g %.6g\n", t, std::sin(t) + noise(), std::cos(t) + noise());
        data += row;
    }
    return data;
}

// x = e^(-βt) cos(wt) and v = x' every `step`, six digits each.
std::string damped_rows(double beta, double w, int count, double step = 0.1)
{
    std::string data;
    for (int i = 0; i < count; ++i) {
        const double t = i * step;
        const double decay = std::exp(-beta * t);
        const double v = -decay * (beta * std::cos(w * t) + w * std::sin(w * t));
        data += osc::format("%.6g %.6g %.6g\n", t, decay * std::cos(w * t), v);
    }
    return data;
}

// A long run is thinned, yet every crest and trough of x and of v is kept where it was: at
// w0 = 0.1 a period is 628 rows, and a pixel column about a hundred. The rows are harmosc's
// damped motion as its file holds them, six digits each, so that crests are flat runs.
TEST(OscplotThinning, KeepsEveryPeak)
{
    const auto six_digits = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return std::strtod(text, nullptr);
    };
    const osc::Motion motion = osc::harmosc::motion(0.01, 1, 0.0005, 1, 0);
    std::vector<osc::Row> rows;
    for (int i = 0; i <= 200000; ++i) {
        const osc::State s = osc::exact_state(motion, i * 0.1);
        rows.push_back({six_digits(i * 0.1), six_digits(s.x), six_digits(s.v)});
    }
    const std::vector<osc::Row> time = osc::thin_time(rows);
    EXPECT_LT(time.size(), rows.size() / 10);
    // Only rows of the file, in its order.
    std::size_t at = 0;
    for (const osc::Row &kept : time) {
        while (at < rows.size() && (rows[at].t != kept.t || rows[at].x != kept.x || rows[at].v != kept.v)) ++at;
        ASSERT_LT(at, rows.size()) << "t = " << kept.t << " is no row of the file, or out of order";
    }
    for (double osc::Row::*q : {&osc::Row::x, &osc::Row::v}) {
        SCOPED_TRACE(q == &osc::Row::x ? "x" : "v");
        std::set<Point> drawn;
        for (const osc::Row &row : time) drawn.emplace(row.t, row.*q);
        std::size_t peaks = 0;
        for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
            const double before = rows[i - 1].*q;
            const double here = rows[i].*q;
            const double after = rows[i + 1].*q;
            if ((before < here && here >= after) || (before > here && here <= after)) {
                ++peaks;
                EXPECT_EQ(drawn.count({rows[i].t, here}), 1u) << "a peak at t = " << rows[i].t;
            }
        }
        EXPECT_GT(peaks, 600u);
    }
    // The phase portrait, a spiral of 318 turns, keeps only rows of the file, and its extremes.
    std::vector<Point> all;
    all.reserve(rows.size());
    for (const osc::Row &row : rows) all.emplace_back(row.x, row.v);
    std::sort(all.begin(), all.end());
    std::vector<Point> phase;
    for (const auto &run : osc::thin_phase(rows))
        for (const osc::Row &row : run) phase.emplace_back(row.x, row.v);
    for (const Point &p : phase)
        EXPECT_TRUE(std::binary_search(all.begin(), all.end(), p)) << p.first << " " << p.second;
    const auto by_v = [](const Point &a, const Point &b) { return a.second < b.second; };
    EXPECT_EQ(std::max_element(phase.begin(), phase.end())->first, all.back().first);
    EXPECT_EQ(std::min_element(phase.begin(), phase.end(), by_v)->second,
              std::min_element(all.begin(), all.end(), by_v)->second);
    EXPECT_LT(phase.size(), rows.size() / 2);
}

// On noisy data every bin of 1/512 of the time span, narrower than a pixel column, keeps its
// first and last row and its lowest and highest one.
TEST(OscplotThinning, KeepsEachColumnsEndsAndExtremesOfNoisyRows)
{
    const auto rows = rows_of(noisy_rows(100000));
    std::vector<osc::Row> given;
    given.reserve(rows.size());
    for (const auto &row : rows) given.push_back({row[0], row[1], row[2]});
    std::set<Point> drawn;
    for (const osc::Row &row : osc::thin_time(given)) drawn.emplace(row.t, row.x);
    EXPECT_LT(drawn.size(), rows.size() / 4);
    const double t0 = rows.front()[0];
    const double span = rows.back()[0] - t0;
    std::size_t first = 0;
    for (std::size_t i = 1; i <= rows.size(); ++i) {
        const auto bin = [&](std::size_t k) { return std::floor((rows[k][0] - t0) / span * 512); };
        if (i < rows.size() && bin(i) == bin(first)) continue;
        std::size_t low = first;
        std::size_t high = first;
        for (std::size_t k = first; k < i; ++k) {
            if (rows[k][1] < rows[low][1]) low = k;
            if (rows[k][1] > rows[high][1]) high = k;
        }
        for (const auto &row : {rows[first], rows[i - 1], rows[low], rows[high]})
            EXPECT_EQ(drawn.count({row[0], row[1]}), 1u) << "t = " << row[0] << " in the bin of "
                                                         << rows[first][0];
        first = i;
    }
}

// The runs of points of a table's first curve, as gnuplot draws them: a blank line ends one.
std::vector<std::vector<Point>> runs_of_first_curve(const std::string &table)
{
    std::vector<std::vector<Point>> runs(1);
    int curves = 0;
    for (const std::string &line : lines_of(table)) {
        if (line.rfind("# Curve ", 0) == 0 && line.size() > 8 && std::isdigit(line[8]) != 0 &&
            ++curves > 1)
            break;
        const auto fields = fields_of(line);
        if (fields.empty() && !runs.back().empty()) runs.emplace_back();
        if (fields.size() == 3 && fields[0][0] != '#')
            runs.back().emplace_back(std::stod(fields[0]), std::stod(fields[1]));
    }
    if (runs.back().empty()) runs.pop_back();
    return runs;
}

// A long file reaches gnuplot thinned, as rows of the file, and in pieces that join: each
// starts where the one before ended, so the line has no gaps.
TEST(Oscplot, HandsGnuplotALongFileThinnedInPiecesThatJoin)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    box.write("ruido.dat", noisy_rows(30000));
    const RunResult run = box.run_command({OSCPLOT, "--tabela", "tabela", "ruido.dat"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = rows_of(box.read("ruido.dat"));
    const std::string table = box.read("tabela");
    const auto curves = curves_of(table);
    ASSERT_EQ(curves.size(), 3u);
    expect_drawn_from(curves[0], pairs_of(rows, 0, 1));
    expect_drawn_from(curves[1], pairs_of(rows, 0, 2));
    expect_drawn_from(curves[2], pairs_of(rows, 1, 2));
    EXPECT_LT(std::set<Point>(curves[0].begin(), curves[0].end()).size(), rows.size() / 2);
    const auto runs = runs_of_first_curve(table);
    ASSERT_GT(runs.size(), 1u);
    for (std::size_t k = 1; k < runs.size(); ++k)
        EXPECT_EQ(runs[k].front(), runs[k - 1].back()) << "a gap before run " << k;
}

// What each figure holds, read from its tables and what they say of each panel: the name of
// the program that writes a file of that name, and the window drawn; x and v with their zeros
// at one height, also where their ranges are not alike (overdamped), each point inside its
// axis and off its frame; a window's rows, all of them and no others; 477 oscillations (t to
// 3000 at w = 1: 3000/2π = 477.5) as their envelope ±e^(-βt), to within the decay over half a
// span and the 0.05 rad between rows (0.25 rad every 0.5), v's dashed; to t = 15000 (2387
// oscillations), more than the swings that pass the middle quarter of the range, which end
// near e^(-βt) = 1/4; and no axis label in a key's margin.
TEST(Oscplot, EachFigureHoldsWhatItSays)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    const double beta = 3e-4;
    ASSERT_EQ(box.run(HARMOSC, "2\n1 1 3\n1 0\n10\n").status, 0);
    fs::rename(box.path("Oscilador_Kutta.dat"), box.path("sobre.dat"));
    box.write("longa.dat", damped_rows(beta, 1, 30001));
    box.write("fraca.dat", damped_rows(beta, 1, 30001, 0.5));
    box.write("Oscilador_Kutta.dat", damped_rows(0.2, 2, 201));
    const double all = 1e300;
    struct Case {
        std::vector<std::string> arguments; // the file last
        std::string says;                   // in the table's comments
        double from, to;                    // the window
        double envelope;                    // its tolerance; 0 for the line, every row drawn
    };
    const Case cases[] = {
        {{"Oscilador_Kutta.dat"}, "# figura: Oscilador_Kutta.dat (harmosc)", -all, all, 0},
        {{"-o", "f.png", "sobre.dat"}, "# figura: sobre.dat", -all, all, 0},
        {{"longa.dat"}, "# nota: envolvente: 477 oscilações", -all, all, 5e-3},
        {{"fraca.dat"}, "# nota: envolvente: mais de ", -all, all, 4e-2},
        {{"-o", "f.png", "longa.dat", "longa.dat"}, "\"longa.dat: envolvente de 477 oscilações", -all, all, 5e-3},
        {{"-t", "longa.dat"}, "# painel: posição x contra o tempo t: envolvente", -all, all, 1e-2},
        {{"--janela", "2000:2020", "longa.dat"}, "# figura: só as linhas com t de 2000 a 2020", 2000, 2020, 0},
        {{"-t", "--janela", ":20", "longa.dat"}, "", -all, 20, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        std::vector<std::string> command = {"/usr/bin/env", "COLUMNS=80", "LINES=24", OSCPLOT,
                                            "--tabela", "tabela"};
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = box.run_command(command);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string table = box.read("tabela");
        fs::remove(box.path("tabela"));
        EXPECT_NE(table.find(c.says), std::string::npos);
        EXPECT_EQ(table.find("envolvente") != std::string::npos, c.envelope > 0);
        const auto panels = panels_of(table);
        for (const auto &panel : panels)
            EXPECT_FALSE(panel.at("legenda") == "bmargin" &&
                         !axis_of(panel.at("eixo x")).first.empty());
        const auto curves = curves_of(table);
        const auto rows = rows_of(box.read(c.arguments.back()));
        const bool terminal = c.arguments.front() == "-t";
        for (std::size_t k = 0; k < (terminal ? 1U : 2U); ++k) {
            std::set<Point> window;
            for (const auto &row : rows)
                if (row[0] >= c.from && row[0] <= c.to) window.emplace(row[0], row[k + 1]);
            if (c.envelope == 0) {
                EXPECT_EQ(std::set<Point>(curves[k].begin(), curves[k].end()), window);
                continue;
            }
            // The lows, then as many highs, each from the first row's time to the last's.
            const auto [first, last] = std::minmax_element(curves[k].begin(), curves[k].end());
            EXPECT_EQ(std::make_pair(first->first, last->first),
                      std::make_pair(rows.front()[0], rows.back()[0]));
            const auto above = std::count_if(curves[k].begin(), curves[k].end(),
                                             [](const Point &p) { return p.second > 0; });
            EXPECT_EQ(2 * static_cast<std::size_t>(above), curves[k].size());
            for (const Point &p : curves[k])
                EXPECT_NEAR(std::fabs(p.second), std::exp(-beta * p.first), c.envelope) << p.first;
        }
        if (terminal || panels.at(0).count("eixo y2") == 0) continue;
        const Point x = axis_of(panels.at(0).at("eixo y")).second;
        const Point v = axis_of(panels.at(0).at("eixo y2")).second;
        EXPECT_NEAR(x.first / (x.second - x.first), v.first / (v.second - v.first), 1e-12);
        EXPECT_EQ(panels.at(0).at("comando").find("dashtype 2") != std::string::npos, c.envelope > 0);
        for (const Point &p : curves[0]) EXPECT_TRUE(p.second > x.first && p.second < x.second);
        for (const Point &p : curves[1]) EXPECT_TRUE(p.second > v.first && p.second < v.second);
    }
}

// Names with "=", a leading "-", blanks, quotes or a newline are files like any other, in every
// mode: the rows drawn are each file's own (standard input holds other rows, which a name read
// as an awk assignment would draw), and the figure is written under the name given.
TEST(Oscplot, AnyNameIsJustAName)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    // A lone "-" is a file name too, and a name is printed as it is, not as markup: "a_b" and
    // "a_{b}" would draw alike if "_" made a subscript.
    for (const std::string name : {"-", "a_b.dat", "a_{b}.dat"})
        box.write(name, "0 1 0\n0.5 0.88 -0.48\n1 0.54 -0.84\n");
    const RunResult dash = box.run_command({OSCPLOT, "-", "a_b.dat", "a_{b}.dat"});
    EXPECT_EQ(dash.status, 0) << dash.err;
    EXPECT_EQ(dash.out, "-.png\na_b.dat.png\na_{b}.dat.png\n");
    EXPECT_NE(box.read("a_b.dat.png"), box.read("a_{b}.dat.png"));
    EXPECT_EQ(png_size(box.read("-.png")), std::make_pair(900U, 1000U));
    // Where only the name given matters, a gnuplot that gives that figure back in no time.
    const std::string fake = fake_gnuplot(box, "", "cat > /dev/null; cat fake/figura");
    fs::rename(box.path("-.png"), box.path("fake/figura"));
    fs::remove(box.path("-"));

    const std::vector<std::string> files = {"k=4.dat",        "-traço.dat",      "com espaço.dat",
                                            "aspas\"'`$(x).dat", "linha\nnova.dat", "copy=sub/ficheiro"};
    fs::create_directory(box.path("copy=sub"));
    for (std::size_t i = 0; i < files.size(); ++i) {
        char rows[96];
        std::snprintf(rows, sizeof rows, "0 %zu 0\n0.5 %zu.5 -0.48\n1 %zu.25 -0.84\n", i, i, i);
        box.write(files[i], rows);
    }
    // A TMPDIR whose name would break gnuplot's program text, were it ever part of it.
    const std::string tmp = "TMPDIR=" + box.path("tmp \"'$(x)").string();
    fs::create_directory(box.path("tmp \"'$(x)"));
    const std::string other_rows = "0 6 6\n1 6 6\n";
    const std::string real = "PATH=" + std::string(std::getenv("PATH"));
    const auto oscplot = [&](const std::string &path, std::vector<std::string> options) {
        std::vector<std::string> command = {"/usr/bin/env", tmp, path, OSCPLOT};
        command.insert(command.end(), options.begin(), options.end());
        command.push_back("--");
        command.insert(command.end(), files.begin(), files.end());
        return box.run_command(command, other_rows);
    };
    const auto before = snapshot(box);

    // The rows that reach gnuplot, which then draws nothing: each file's position curve.
    struct Mode {
        std::vector<std::string> options;
        std::size_t curves, stride;
    };
    const std::string table = box.path("tabela").string();
    const Mode modes[] = {{{"--tabela", table}, 18, 3},
                          {{"--tabela", table, "-o", "-o"}, 18, 1},
                          {{"--tabela", table, "-t"}, 12, 1},
                          {{"--tabela", table, "--titulo", "x\"\n;", "-o", "--version"}, 18, 1}};
    for (const Mode &mode : modes) {
        SCOPED_TRACE(mode.options.size() > 2 ? mode.options[2] : "");
        const RunResult run = oscplot(real, mode.options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, "");
        auto curves = curves_of(box.read("tabela"));
        ASSERT_EQ(curves.size(), mode.curves);
        for (std::size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(files[i]);
            // Each run of the line starts on the point that ended the one before.
            auto &drawn = curves[i * mode.stride];
            drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
            const auto rows = rows_of(box.read(files[i]));
            EXPECT_EQ(drawn, std::vector<Point>({{rows[0][0], rows[0][1]}, {rows[1][0], rows[1][1]},
                                                 {rows[2][0], rows[2][1]}}));
        }
        fs::remove(box.path("tabela"));
        EXPECT_EQ(changes(before, snapshot(box)), "");
    }

    // The drawings: in the terminal, a control character of a name is shown as "?", never
    // sent raw, and no file is written.
    const RunResult terminal = oscplot(real, {"-t"});
    EXPECT_EQ(terminal.status, 0) << terminal.err;
    EXPECT_NE(terminal.out.find("posição x contra o tempo t"), std::string::npos);
    EXPECT_NE(terminal.out.find("linha?nova.dat"), std::string::npos) << terminal.out;
    EXPECT_EQ(changes(before, snapshot(box)), "");
    // Every name in one figure's key, and a title of quotes and a newline.
    const RunResult titled = oscplot(real, {"--titulo", "x\"\n;", "-o", "a\"b.png"});
    EXPECT_EQ(titled.status, 0) << titled.err;
    EXPECT_EQ(titled.out, "a\"b.png\n");
    EXPECT_EQ(png_size(box.read("a\"b.png")), std::make_pair(900U, 1400U));
    fs::remove(box.path("a\"b.png"));
    // Each figure under the name given, listed with its control characters escaped as in a
    // message, and nothing else written.
    const std::string figure = box.read("fake/figura");
    std::string listed;
    std::map<std::string, std::string> each = before;
    for (const std::string &file : files) {
        listed += file + ".png\n";
        each[file + ".png"] = figure;
    }
    listed.replace(listed.find("linha\nnova"), 10, "linha\\x0anova");
    const RunResult run = oscplot(fake, {});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, listed);
    EXPECT_TRUE(snapshot(box) == each) << "figures other than FILE.png, or none";
    for (const std::string &file : files) fs::remove(box.path(file + ".png"));
    for (const std::string name : {"k=4.png", "--version", "-o", "c=d.png", "-"}) {
        SCOPED_TRACE(name);
        const RunResult one = oscplot(fake, {"-o", name});
        EXPECT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(one.out, name + "\n");
        auto after = snapshot(box);
        EXPECT_TRUE(after[name] == figure) << "no figure";
        after.erase(name);
        EXPECT_EQ(after, before);
        fs::remove(box.path(name));
    }
}

// Each refusal names the file and the reason, exactly, and writes nothing: no figure, no file
// left behind, an earlier figure and every data file as they were.
TEST(Oscplot, RefusesWithTheReasonAndWritesNothing)
{
    REQUIRE_GNUPLOT();
    struct Case {
        std::string what;
        std::function<void(const Sandbox &)> setup;
        std::vector<std::string> arguments;
        int status;
        std::string err;
        bool as_user = false;
        std::string fake{}; // what a fake gnuplot does, "" for the real one
    };
    const auto write = [](const std::string &name, const std::string &content) {
        return [=](const Sandbox &box) { box.write(name, content); };
    };
    const auto many_in_terminal = [](int files) {
        std::vector<std::string> command{"/usr/bin/env", "COLUMNS=100", "LINES=30", OSCPLOT, "-t"};
        command.insert(command.end(), static_cast<std::size_t>(files), "d.dat");
        return command;
    };
    const std::string data = "oscplot: d.dat: não é um ficheiro de dados (esperadas linhas de 3 ou 4 números: t x v ou n t x v)\n";
    const std::string one_row = "oscplot: d.dat: tem só 1 linha; são precisas pelo menos duas para desenhar\n";
    // More rows than a pipe holds, thinned or not, for a gnuplot that stops reading early.
    std::string many_rows;
    for (int i = 0; i < 100000; ++i)
        many_rows += std::to_string(i) + " " + std::to_string(std::sin(i)) + " 0\n";
    const Case cases[] = {
        {"empty", write("d.dat", ""), {"d.dat"}, 1, "oscplot: d.dat: ficheiro vazio, nada a desenhar\n"},
        {"drivenosc's file of another frequency", write("Kutta_1a_w0_3.dat", ""),
         {"./Kutta_1a_w0_3.dat"}, 1,
         "oscplot: ./Kutta_1a_w0_3.dat: ficheiro vazio: o drivenosc esvazia os ficheiros das "
         "outras frequências quando corre numa delas\n"},
        {"text", write("d.dat", "olá\n"), {"d.dat"}, 1, data},
        {"a parameter file", write("d.dat", "1 0 1000 0.05\n"), {"d.dat"}, 1, one_row},
        {"harmosc with m = 0", write("d.dat", "0 1 0\n0.1 nan nan\n0.2 nan nan\n"), {"d.dat"}, 1,
         "oscplot: d.dat: só uma linha tem só números finitos (as outras têm nan ou inf); nada a desenhar\n"},
        {"nan or inf everywhere", write("d.dat", "0 nan 0\n0.1 1 inf\n"), {"d.dat"}, 1,
         "oscplot: d.dat: nenhuma linha tem só números finitos (há nan ou inf em todas)\n"},
        {"two columns", write("d.dat", "0 1\n0.1 2\n"), {"d.dat"}, 1, data},
        {"a header", write("d.dat", "t x v\n0 1 0\n0.1 0.9 0\n"), {"d.dat"}, 1, data},
        {"three and four columns", write("d.dat", "0 1 0\n1 0 0.1 2\n"), {"d.dat"}, 1, data},
        {"five columns", write("d.dat", "1 2 3 4 5\n1 2 3 4 5\n"), {"d.dat"}, 1, data},
        {"a decimal comma", write("d.dat", "0 1,5 0\n0.1 1 0\n"), {"d.dat"}, 1, data},
        {"half a number", write("d.dat", "0 1 0\n0.1 0.99 -1e\n"), {"d.dat"}, 1, data},
        {"missing", [](const Sandbox &) {}, {"d.dat"}, 1,
         "oscplot: d.dat: ficheiro ou diretório inexistente\n"},
        {"a directory", [](const Sandbox &box) { fs::create_directory(box.path("d.dat")); },
         {"d.dat"}, 1, "oscplot: d.dat: é um diretório\n"},
        {"a path through a file", write("d.dat", two_rows), {"d.dat/x.dat"}, 1,
         "oscplot: d.dat/x.dat: parte do caminho não é um diretório\n"},
        {"a FIFO", [](const Sandbox &box) { ::mkfifo(box.path("d.dat").c_str(), 0644); },
         {"-o", "f.png", "d.dat"}, 1, "oscplot: d.dat: não é um ficheiro regular\n"},
        {"unreadable",
         [](const Sandbox &box) {
             box.write("d.dat", two_rows);
             fs::permissions(box.path("d.dat"), fs::perms::none);
         },
         {"d.dat"}, 1, "oscplot: d.dat: permissão negada\n", true},
        {"-o onto a data file", write("w0_3.dat", two_rows), {"-o", "w0_3.dat", "w0.dat", "3w0.dat"}, 2,
         "oscplot: não é possível escrever w0_3.dat: já existe e não é uma imagem PNG; fica como está\n"},
        {"-o onto a directory", [](const Sandbox &box) { fs::create_directory(box.path("f.png")); },
         {"-o", "f.png", "d.dat"}, 2, "oscplot: não é possível escrever f.png: é um diretório\n"},
        {"-o onto a dangling link",
         [](const Sandbox &box) {
             box.write("d.dat", two_rows);
             fs::create_symlink("nowhere/f.png", box.path("f.png"));
         },
         {"-o", "f.png", "d.dat"}, 2,
         "oscplot: não é possível escrever f.png: não é possível ler o que lá está: ficheiro ou "
         "diretório inexistente\n"},
        {"-o through a file", write("d.dat", two_rows), {"-o", "d.dat/f.png", "d.dat"}, 1,
         "oscplot: não é possível escrever d.dat/f.png: parte do caminho não é um diretório\n"},
        {"-o with -t", write("d.dat", two_rows), {"-o", "f.png", "-t", "d.dat"}, 2,
         "oscplot: -o e -t não se combinam (veja oscplot --help)\n"},
        {"a figure's name taken by text",
         [](const Sandbox &box) { box.write("d.dat", two_rows); box.write("d.dat.png", "notas\n"); },
         {"d.dat"}, 1,
         "oscplot: não é possível escrever d.dat.png: já existe e não é uma imagem PNG; fica como está\n"},
        {"a directory that cannot be written",
         [](const Sandbox &box) {
             box.write("d.dat", two_rows);
             fs::create_directory(box.path("ro"));
             box.write("ro/f.png", earlier_png);
             fs::permissions(box.path("ro"), fs::perms(0555));
         },
         {"-o", "ro/f.png", "d.dat"}, 1, "oscplot: não é possível escrever ro/f.png: permissão negada\n", true},
        {"gnuplot fails",
         [](const Sandbox &box) { box.write("d.dat", two_rows); box.write("d.dat.png", earlier_png); },
         {"d.dat"}, 1, "oscplot: d.dat: o gnuplot falhou: out of memory\n", false, "printf '\\211PNG'; exit 1"},
        {"gnuplot in the current directory, an empty entry of the PATH",
         [](const Sandbox &box) {
             box.write("d.dat", two_rows);
             box.write("gnuplot", "#!/bin/sh\necho daqui >&2\nexit 1\n");
             fs::permissions(box.path("gnuplot"), fs::perms(0755));
         },
         {"/usr/bin/env", "PATH=/nenhum::/usr/bin:/bin", OSCPLOT, "d.dat"}, 1,
         "oscplot: d.dat: o gnuplot falhou: daqui\n"},
        {"gnuplot killed", write("d.dat", two_rows), {"d.dat"}, 1,
         "oscplot: d.dat: o gnuplot foi terminado pelo sinal 11\n", false, "kill -11 $$"},
        {"--tabela onto a data file", write("w0_3.dat", two_rows), {"--tabela", "w0_3.dat", "w0.dat"}, 2,
         "oscplot: não é possível escrever w0_3.dat: já existe e não é uma tabela de pontos do gnuplot; fica "
         "como está\n"},
        {"a file-size limit", write("d.dat", two_rows), {"/usr/bin/prlimit", "--fsize=2000", OSCPLOT, "-o", "f.png", "d.dat"},
         1, "oscplot: não é possível escrever f.png: o ficheiro excede o tamanho máximo permitido\n"},
        {"few descriptors", write("d.dat", two_rows), {"/usr/bin/prlimit", "--nofile=8", OSCPLOT, "-o", "f.png", "d.dat"},
         1, "oscplot: f.png: não é possível abrir os canais para o gnuplot: demasiados ficheiros abertos\n"},
        {"x past the largest double", write("d.dat", "0 -1.7e308 0\n1 1.7e308 0\n"), {"d.dat"}, 1,
         "oscplot: d.dat: de x = -1.7e+308 a x = 1.7e+308 vai além do maior double; o gnuplot não o desenha\n"},
        {"x below the least scale an image draws", write("d.dat", "0 1e-305 0\n1 -1e-305 0\n"), {"d.dat"}, 1,
         "oscplot: d.dat: de x = -1e-305 a x = 1e-305 fica abaixo de 1e-300 em valor absoluto; o gnuplot não "
         "desenha uma escala tão pequena numa imagem (oscplot -t desenha-a)\n"},
        {"a name that drives the terminal", [](const Sandbox &) {}, {"\x1b]0;PWNED\a\n.dat"}, 1,
         "oscplot: \\x1b]0;PWNED\\x07\\x0a.dat: ficheiro ou diretório inexistente\n"},
        {"more names than the terminal's key holds", write("d.dat", two_rows), many_in_terminal(36),
         1,
         "oscplot: -t: os nomes de 36 ficheiros não cabem na legenda de um terminal de 100x30, "
         "que leva até 35; desenhe-os com -o FIGURA.png\n"},
        {"a window past the rows", write("d.dat", two_rows), {"--janela", "5:", "d.dat"}, 1,
         "oscplot: d.dat: nenhuma linha tem t de 5 em diante (o ficheiro vai de t = 0 a t = "
         "0.1)\n"},
        {"a window of one row", write("d.dat", two_rows), {"--janela", ":0.05", "d.dat"}, 1,
         "oscplot: d.dat: só uma linha tem t até 0.05 (o ficheiro vai de t = 0 a t = 0.1); são "
         "precisas pelo menos duas para desenhar\n"},
        {"a window backwards", write("d.dat", two_rows), {"--janela", "1:0", "d.dat"}, 2,
         "oscplot: --janela espera INÍCIO:FIM, dois números de t, o primeiro menor (10:20, 10: ou "
         ":20), não '1:0' (veja oscplot --help)\n"},
        {"gnuplot fails before it has read the rows", write("d.dat", many_rows), {"d.dat"}, 1,
         "oscplot: d.dat: o gnuplot falhou: out of memory\n", false, "printf '\\211PNG'; exit 1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        c.setup(box);
        // A case may give its own command line, the program among its words.
        std::vector<std::string> command;
        if (std::find(c.arguments.begin(), c.arguments.end(), OSCPLOT) == c.arguments.end())
            command.push_back(OSCPLOT);
        if (!c.fake.empty())
            command.insert(command.begin(),
                           {"/usr/bin/env", fake_gnuplot(box, "\"plot.gp\" line 7: out of memory", c.fake)});
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        if (c.as_user) command = as_a_user(box, command);
        const auto before = snapshot(box);
        const RunResult run = box.run_command(command);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(changes(before, snapshot(box)), "");
    }
}

// Standard error closed, a message has nowhere to go: never into the figure.
TEST(Oscplot, WritesNoMessageIntoAFigure)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    box.write("d.dat", two_rows);
    const RunResult run =
        box.run_command({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&-", OSCPLOT, "-o", "f.png", "d.dat", "missing.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(png_size(box.read("f.png")), std::make_pair(900U, 1000U)); // one file's layout
}

// A figure is renamed into place only when whole: a truncated one from gnuplot, a full disk
// or a plot interrupted halfway leave the earlier figure as it was and nothing beside it.
TEST(Oscplot, KeepsTheEarlierFigureUnlessTheNewOneIsWhole)
{
    REQUIRE_GNUPLOT();
    {
        SCOPED_TRACE("truncated");
        Sandbox box;
        box.write("d.dat", two_rows);
        box.write("f.png", earlier_png);
        const std::string path =
            fake_gnuplot(box, "", "printf '\\211PNG\\r\\n\\032\\n\\0\\0\\0\\rIHDR\\0\\0\\3\\204'");
        const auto before = snapshot(box);
        const RunResult run =
            box.run_command({"/usr/bin/env", path, OSCPLOT, "-o", "f.png", "d.dat"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "oscplot: f.png: o gnuplot não terminou a figura\n");
        EXPECT_EQ(changes(before, snapshot(box)), "");
    }
    {
        SCOPED_TRACE("interrupted");
        Sandbox box;
        box.write("d.dat", two_rows);
        box.write("f.png", earlier_png);
        const std::string path = fake_gnuplot(
            box, "", "printf '\\211PNG'; echo $$ > gnuplot.pid; : > drawing; exec sleep 30");
        const auto before = snapshot(box);
        const std::string script = "\"$@\" & while [ ! -e drawing ]; do sleep 0.05; done; "
                                   "kill -TERM $!; wait $!";
        const RunResult run = box.run_command(
            {"/bin/sh", "-c", script, "sh", "/usr/bin/env", path, OSCPLOT, "-o", "f.png", "d.dat"},
            "");
        EXPECT_EQ(run.status, 143);
        // gnuplot went first.
        EXPECT_NE(::kill(std::stoi(box.read("gnuplot.pid")), 0), 0);
        fs::remove(box.path("drawing"));
        fs::remove(box.path("gnuplot.pid"));
        EXPECT_EQ(changes(before, snapshot(box)), "");
    }
    // A full disk and a read-only file system need a private mount, where the machine allows.
    struct Case {
        std::string kind, err;
    };
    const Case cases[] = {
        {"full", "oscplot: não é possível escrever fig/f.png: não há espaço livre no dispositivo\n"},
        {"ro", "oscplot: não é possível escrever fig/f.png: sistema de ficheiros só de leitura\n"}};
    if (!private_mounts_refused().empty()) GTEST_SKIP() << private_mounts_refused();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        Sandbox box;
        box.write("d.dat", two_rows);
        box.write("f.png", earlier_png);
        fs::create_directory(box.path("fig"));
        // Mounts a file system of 64 KiB on fig and puts the earlier figure in it, then fills it
        // or makes it read-only; after oscplot, shows what fig holds.
        const std::string script =
            "mount -t tmpfs -o size=64k tmpfs fig || exit 99; cp f.png fig/; "
            "if [ \"$0\" = ro ]; then mount -o remount,bind,ro fig || exit 99; "
            "else head -c 100000 /dev/zero > fig/cheio 2> /dev/null; fi; "
            "\"$@\"; s=$?; ls -A fig; cat fig/f.png; exit $s";
        const RunResult run = box.run_command(
            with_private_mounts({"/bin/sh", "-c", script, c.kind, OSCPLOT, "-o", "fig/f.png", "d.dat"}));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, std::string(c.kind == "ro" ? "" : "cheio\n") + "f.png\n" + earlier_png);
    }
}

// A hidden file left by a plot that was killed goes with the next plot in its directory, once
// its process is gone; one of a process still running stays.
TEST(Oscplot, RemovesTheLeftoversOfPlotsThatAreGone)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    box.write("d.dat", two_rows);
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = ".oscplot-" + std::to_string(gone) + "-0";
    const std::string alive = ".oscplot-" + std::to_string(::getpid()) + "-0";
    box.write(dead, earlier_png);
    box.write(alive, earlier_png);
    EXPECT_EQ(box.run_command({OSCPLOT, "d.dat"}).status, 0);
    EXPECT_FALSE(box.exists(dead));
    EXPECT_TRUE(box.exists(alive));
}

// The thinning on rows worked out by hand. Against time the span 0 to 2048 makes columns one
// unit wide; of the six rows of the first column the first, the last and those where x or v
// is lowest or highest stay (x = 1 and 0.5 at t = 0.3 and 0.4 are neither), and a lone row in
// its column stays.
TEST(OscplotThinning, KeepsEachColumnsEndsAndExtremesInTimeOrder)
{
    const std::vector<osc::Row> rows = {{0, 0, 0},       {0.1, 5, -1},      {0.2, -3, 2},
                                        {0.3, 1, 0.5},   {0.4, 0.5, 0.2},   {0.5, 0.7, 0.3},
                                        {1000.2, 9, 9},  {2048, 0, 0}};
    std::vector<double> times;
    for (const osc::Row &row : osc::thin_time(rows)) times.push_back(row.t);
    EXPECT_EQ(times, (std::vector<double>{0, 0.1, 0.2, 0.5, 1000.2, 2048}));
    // Rows all at one time (h = 0) are one column: the first, x highest, v lowest, the last.
    std::vector<osc::Row> still(1000, {0, 1, 0});
    still[500].x = 2;
    still[600].v = -1;
    EXPECT_EQ(osc::thin_time(still).size(), 4u);
}

// A ring traced three times: a step already drawn is not drawn again, so the third turn adds
// nothing; the runs start at the first row and end with the four extremes of the ring, lone.
TEST(OscplotThinning, DrawsEachStepOfThePhasePortraitOnce)
{
    using osc::pi;
    const auto ring = [&](int turns) {
        std::vector<osc::Row> rows;
        rows.reserve(64 * static_cast<std::size_t>(turns));
        for (int k = 0; k < 64 * turns; ++k)
            rows.push_back({0.1 * k, std::cos(2 * pi * (k % 64) / 64), std::sin(2 * pi * (k % 64) / 64)});
        return rows;
    };
    const osc::Runs two = osc::thin_phase(ring(2));
    const osc::Runs three = osc::thin_phase(ring(3));
    const auto points = [](const osc::Runs &runs) {
        std::vector<std::pair<double, double>> all;
        for (const auto &run : runs)
            for (const osc::Row &row : run) all.emplace_back(row.x, row.v);
        return all;
    };
    EXPECT_EQ(points(three), points(two));
    ASSERT_GE(three.size(), 5u);
    EXPECT_EQ(three.front().front().t, 0.0);
    const std::vector<std::pair<double, double>> extremes = {
        {-1, std::sin(pi)}, {1, 0}, {std::cos(1.5 * pi), -1}, {std::cos(0.5 * pi), 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto &lone = three[three.size() - 4 + i];
        ASSERT_EQ(lone.size(), 1u);
        EXPECT_NEAR(lone[0].x, extremes[i].first, 1e-15);
        EXPECT_NEAR(lone[0].v, extremes[i].second, 1e-15);
    }
    // Over spans of 1, a step ending 0.9/512 from where an earlier one ended is that step
    // again; one ending 1.1/512 from it reaches the next cell, and is drawn.
    const osc::Runs zigzag = osc::thin_phase({{0, 0, 0}, {1, 1, 1}, {2, 0, 0}, {3, 1, 0.5}, {4, 0, 0},
                                              {5, 1, 0.5 + 0.9 / 512}, {6, 0, 0}, {7, 1, 0.5 + 1.1 / 512}});
    std::vector<double> times;
    for (const auto &run : zigzag)
        for (const osc::Row &row : run) times.push_back(row.t);
    EXPECT_EQ(times, (std::vector<double>{0, 1, 2, 3, 4, 6, 7, 0, 1, 0, 1}));
    // Spans of subnormals, whose 1/512 is 0, and spans beyond the largest double are cut alike.
    for (const double x : {5e-324, 1.7e308}) {
        times.clear();
        for (const auto &run : osc::thin_phase({{0, -x, 0}, {1, x, x}, {2, 0, x / 2}}))
            for (const osc::Row &row : run) times.push_back(row.t);
        EXPECT_EQ(times, (std::vector<double>{0, 1, 2, 0, 1, 0, 1})) << x;
    }
}

#ifndef OSC_SANITIZED
// Where the reading thread, or gnuplot, has no room to start: one line, status 1, no abort and
// no hidden file left (the sanitizers reserve far more address space than these limits).
TEST(Oscplot, NoAbortWhereAThreadCannotStart)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    std::string rows;
    for (int i = 0; i < 80000; ++i) rows += std::to_string(i) + " 0.5 -0.25\n";
    box.write("d.dat", rows);
    const auto before = snapshot(box);
    for (const char *limit : {"--as=6500000", "--as=8000000", "--as=10000000", "--as=13000000"}) {
        SCOPED_TRACE(limit);
        const RunResult run = box.run_command({"/usr/bin/prlimit", limit, "--", OSCPLOT, "-o", "f.png", "d.dat"});
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(lines_of(run.err).size(), 1u) << run.err;
        EXPECT_EQ(changes(before, snapshot(box)), "");
    }
}

// A file too long for the memory left is refused with the reason, and the next one is drawn:
// never an abort; one of 2 GB with no line end after its rows (a disk image) is no data, known
// at its start. Tables, which gnuplot writes in less memory than a PNG, keep the limit low and
// the file short.
// (The sanitizers reserve far more address space than this limit.)
TEST(Oscplot, RefusesAFileTooLongForTheMemoryLeft)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    std::string rows;
    for (int i = 0; i < 4000000; ++i) rows += "0 0 0\n";
    box.write("d.dat", rows);
    box.write("e.dat", two_rows);
    box.write("sparse.dat", two_rows);
    fs::resize_file(box.path("sparse.dat"), std::uintmax_t{2} << 30U);
    const RunResult run = box.run_command({"/usr/bin/prlimit", "--as=120000000", "--", OSCPLOT, "--tabela",
                                           "tabela", "sparse.dat", "e.dat", "d.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "oscplot: sparse.dat: não é um ficheiro de dados (esperadas linhas de 3 ou 4 "
                       "números: t x v ou n t x v)\noscplot: d.dat: memória insuficiente\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(curves_of(box.read("tabela")).size(), 3u);
}
#endif

TEST(Oscplot, NamesThePackageWhenGnuplotIsMissing)
{
    Sandbox box;
    box.write("bom.dat", "0 1 0\n");
    // A PATH with the shell's usual tools but no gnuplot.
    const fs::path tools = box.path("tools");
    fs::create_directory(tools);
    for (const char *tool : {"awk", "mktemp", "rm"})
        fs::create_symlink(std::string("/usr/bin/") + tool, tools / tool);
    const RunResult run =
        box.run_command({"/usr/bin/env", "PATH=" + tools.string(), OSCPLOT, "bom.dat"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "oscplot: o gnuplot não está instalado; instale o pacote gnuplot-nox "
                       "(apt-get install gnuplot-nox)\n");
    EXPECT_FALSE(box.exists("bom.dat.png"));
}

// The three drivenosc frequencies in one figure, a three- and a four-column file mixed in, and
// a missing file said and passed over.
TEST(Oscplot, DrawsSeveralFilesInOneFigure)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    box.write("input_1a.txt", "1 0 400 0.05\n");
    const std::string files[3] = {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat", "Kutta_1a_3w0.dat"};
    for (int selection = 1; selection <= 3; ++selection) {
        ASSERT_EQ(box.run(DRIVENOSC, std::to_string(selection) + "\n").status, 0);
        fs::copy_file(box.path(files[selection - 1]), box.path("w" + std::to_string(selection) + ".dat"));
    }
    // One row with nan among finite ones is left out, not a reason to refuse.
    box.write("livre.dat", "0 1 0\n0.1 0.995 -0.0998\nnan nan nan\n0.2 0.980 -0.199\n");
    box.write("compara.png", earlier_png);
    std::vector<std::string> command = {OSCPLOT,  "-o",     "compara.png",    "w1.dat",
                                        "w2.dat", "nao_existe.dat", "w3.dat", "livre.dat"};
    const RunResult run = box.run_command(command, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "oscplot: nao_existe.dat: ficheiro ou diretório inexistente\n");
    EXPECT_EQ(run.out, "compara.png\n");
    const std::string png = box.read("compara.png");
    EXPECT_EQ(png_size(png), std::make_pair(900U, 1400U));
    EXPECT_GT(png.size(), 40000U);
    // Position, velocity and phase portrait of each file, in the order given.
    command.insert(command.begin() + 1, {"--tabela", "tabela"});
    EXPECT_EQ(box.run_command(command, "").status, 1);
    const auto curves = curves_of(box.read("tabela"));
    ASSERT_EQ(curves.size(), 12u);
    const std::string drawn[4] = {"w1.dat", "w2.dat", "w3.dat", "livre.dat"};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(drawn[i]);
        const auto rows = rows_of(box.read(drawn[i]));
        const std::size_t t = rows[0].size() - 3;
        expect_drawn_from(curves[i], pairs_of(rows, t, t + 1));
        expect_drawn_from(curves[4 + i], pairs_of(rows, t, t + 2));
        expect_drawn_from(curves[8 + i], pairs_of(rows, t + 1, t + 2));
    }
    for (const char *each : {"w1.dat.png", "w2.dat.png", "livre.dat.png"})
        EXPECT_FALSE(box.exists(each)) << each;
}

// The labels of one axis: numbers in one step, none run into another.
void expect_even_labels(const std::vector<std::string> &labels, const std::string &where)
{
    SCOPED_TRACE(where);
    ASSERT_GE(labels.size(), 3u);
    std::vector<double> values;
    for (const std::string &label : labels) {
        std::size_t used = 0;
        values.push_back(std::stod(label, &used));
        EXPECT_EQ(used, label.size()) << "labels run together: " << label;
    }
    for (std::size_t i = 2; i < values.size(); ++i)
        EXPECT_NEAR(values[i] - values[i - 1], values[1] - values[0], 1e-9) << where;
}

// In the terminal at 80 x 24: 23 lines (one left for the prompt), two titled panels, tick
// labels one to a line up the side and apart along the bottom, in even steps; no file.
TEST(Oscplot, DrawsInTheTerminalWithoutWritingAFile)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    ASSERT_EQ(box.run(HARMOSC, "2\n1 1 0.2\n1 0\n30\n").status, 0);
    const RunResult run = box.run_command(
        {"/usr/bin/env", "COLUMNS=80", "LINES=24", OSCPLOT, "-t", "Oscilador_Kutta.dat"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 23u) << run.out;
    EXPECT_EQ(run.out.back(), '\n') << "the prompt must come on a line of its own";
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> side(1);
    std::vector<std::vector<std::string>> bottom;
    std::size_t curve = 0;
    std::size_t borders = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        EXPECT_LE(line.size(), 80u + 8u) << line; // "posição" is wider in bytes than on screen
        curve += static_cast<std::size_t>(std::count(line.begin(), line.end(), '*'));
        const std::size_t edge = line.find_first_of("|+");
        if (edge == std::string::npos) {
            const auto words = fields_of(line);
            if (!words.empty() && borders % 2 == 0 && std::isalpha(words[0][0]) != 0) titles.push_back(line);
            continue;
        }
        const auto label = fields_of(line.substr(0, edge));
        EXPECT_LE(label.size(), 1u) << "labels run together: " << line;
        if (!label.empty()) side.back().push_back(label[0]);
        if (line.find("+---") != std::string::npos && ++borders % 2 == 0) {
            const std::string &along = lines.at(i + 1);
            bottom.push_back(fields_of(along));
            side.emplace_back();
            // Labels along the bottom stand at least four blanks apart.
            const std::size_t first = along.find_first_not_of(' ');
            for (std::size_t gap = along.find(' ', first); gap != std::string::npos;) {
                const std::size_t next = along.find_first_not_of(' ', gap);
                if (next == std::string::npos) break;
                EXPECT_GE(next - gap, 4u) << along;
                gap = along.find(' ', next);
            }
        }
    }
    EXPECT_GT(curve, 100u) << run.out;
    ASSERT_EQ(borders, 4u) << run.out;
    ASSERT_EQ(titles.size(), 3u) << run.out; // the two titles and the key
    EXPECT_NE(titles[0].find("posição x contra o tempo t"), std::string::npos);
    EXPECT_NE(titles[1].find("retrato de fase: velocidade v contra a posição x"), std::string::npos);
    EXPECT_NE(titles[2].find("Oscilador_Kutta.dat"), std::string::npos);
    for (std::size_t panel = 0; panel < 2; ++panel) {
        expect_even_labels(side[panel], "up the side of panel " + std::to_string(panel + 1));
        expect_even_labels(bottom[panel], "along the bottom of panel " + std::to_string(panel + 1));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(box.dir()), fs::directory_iterator()), 1);
    // gnuplot's program reaches it while oscplot's own standard input is closed.
    const RunResult closed = box.run_command({"/bin/sh", "-c", "exec \"$@\" <&-", "sh", "/usr/bin/env",
                                              "COLUMNS=80", "LINES=24", OSCPLOT, "-t", "Oscilador_Kutta.dat"});
    EXPECT_EQ(closed.out, run.out) << closed.err;

    // A terminal too small to hold two panels is taken as 100 x 30.
    const RunResult small = box.run_command(
        {"/usr/bin/env", "COLUMNS=80", "LINES=12", OSCPLOT, "-t", "Oscilador_Kutta.dat"});
    EXPECT_EQ(small.status, 0) << small.err;
    EXPECT_EQ(lines_of(small.out).size(), 29u) << small.out;
    // As many names as the key of 100 x 30 takes, over a phase portrait across zero.
    fs::copy_file(box.path("Oscilador_Kutta.dat"), box.path("o.dat"));
    std::vector<std::string> many{"/usr/bin/env", "COLUMNS=100", "LINES=30", OSCPLOT, "-t"};
    many.insert(many.end(), 35, "o.dat");
    EXPECT_EQ(box.run_command(many).err, "");
}

} // namespace
