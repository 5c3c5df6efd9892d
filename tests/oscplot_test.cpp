// oscplot as a student uses it: data files just written by each program become pictures, and
// files that are not data are refused.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Width and height from a PNG's header chunk, or zeros when the bytes are not a PNG.
std::pair<std::uint32_t, std::uint32_t> png_size(const std::string &bytes)
{
    const std::string signature = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, 8, signature) != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto big_endian = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8U | static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {big_endian(16), big_endian(20)};
}

// Where gnuplot is not installed (CI installs it) only the test that expects its absence runs.
#define REQUIRE_GNUPLOT()                                                                   \
    if (std::system("command -v gnuplot > /dev/null 2>&1") != 0)                           \
    GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox)"

void expect_picture(const Sandbox &box, const std::string &data_file)
{
    const RunResult run = box.run_command({OSCPLOT, data_file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, data_file + ".png\n");
    const std::string png = box.read(data_file + ".png");
    EXPECT_EQ(png_size(png), std::make_pair(900U, 1000U));
    EXPECT_GT(png.size(), 20000U); // two panels of curves, axes and text
    EXPECT_LT(png.size(), 2000000U);
}

TEST(Oscplot, DrawsEachKindOfDataFile)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    ASSERT_EQ(box.run(HARMOSC, "2\n1 1 0.2\n1 0\n30\n").status, 0);
    expect_picture(box, "Oscilador_Kutta.dat");

    box.write("input_1a.txt", "1 0 1000 0.05\n");
    ASSERT_EQ(box.run(DRIVENOSC, "1\n").status, 0);
    expect_picture(box, "Kutta_1a_w0_3.dat");

    box.write("parametros_sistema.txt", "1 0 3000 0.01\n");
    ASSERT_EQ(box.run(RKSTEPPER).status, 0);
    expect_picture(box, "RK_generico_1b.txt");
}

TEST(Oscplot, RefusesWhatIsNotData)
{
    REQUIRE_GNUPLOT();
    struct Case {
        std::string name, content;
    };
    // A parameter file has one row; harmosc with m = 0 writes one finite row, then nan.
    for (const Case &c : {Case{"vazio.dat", ""}, Case{"texto.dat", "olá\n"},
                          Case{"input_1a.txt", "1 0 1000 0.05\n"},
                          Case{"m0.dat", "0 1 0\n0.1 nan nan\n0.2 nan nan\n"},
                          Case{"nan.dat", "0 nan 0\n0.1 -nan inf\n"},
                          Case{"duas.dat", "0 1\n0.1 2\n"}, Case{"cabecalho.dat", "t x v\n0 1 0\n"},
                          Case{"mistura.dat", "0 1 0\n1 0 0.1 2\n"}, Case{"cinco.dat", "1 2 3 4 5\n"},
                          Case{"virgula.dat", "0 1,5 0\n"}}) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        box.write(c.name, c.content);
        const RunResult run = box.run_command({OSCPLOT, c.name});
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.err.rfind("oscplot: " + c.name + ": ", 0), 0u) << run.err;
        EXPECT_FALSE(box.exists(c.name + ".png"));
    }
}

TEST(Oscplot, GoesOnPastAMissingFileAndSaysSo)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    box.write("bom.dat", "0 1 0\n0.1 0.995 -0.0998\n0.2 0.980 -0.199\n");
    const RunResult run = box.run_command({OSCPLOT, "nao_existe.dat", "bom.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("nao_existe.dat"), std::string::npos);
    EXPECT_EQ(png_size(box.read("bom.dat.png")), std::make_pair(900U, 1000U));
}

TEST(Oscplot, NamesThePackageWhenGnuplotIsMissing)
{
    Sandbox box;
    box.write("bom.dat", "0 1 0\n");
    // A PATH with the shell's usual tools but no gnuplot.
    const std::filesystem::path tools = box.path("tools");
    std::filesystem::create_directory(tools);
    for (const char *tool : {"awk", "mktemp", "rm"})
        std::filesystem::create_symlink(std::string("/usr/bin/") + tool, tools / tool);
    const RunResult run =
        box.run_command({"/usr/bin/env", "PATH=" + tools.string(), "/bin/bash", OSCPLOT, "bom.dat"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("gnuplot-nox"), std::string::npos) << run.err;
    EXPECT_FALSE(box.exists("bom.dat.png"));
}

// The three drivenosc frequencies in one figure, a three- and a four-column file mixed in.
TEST(Oscplot, DrawsSeveralFilesInOneFigure)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    box.write("input_1a.txt", "1 0 400 0.05\n");
    const std::string files[3] = {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat", "Kutta_1a_3w0.dat"};
    for (int selection = 1; selection <= 3; ++selection) {
        ASSERT_EQ(box.run(DRIVENOSC, std::to_string(selection) + "\n").status, 0);
        std::filesystem::copy_file(box.path(files[selection - 1]),
                                   box.path("w" + std::to_string(selection) + ".dat"));
    }
    // One row with nan among finite ones is left out, not a reason to refuse.
    box.write("livre.dat", "0 1 0\n0.1 0.995 -0.0998\nnan nan nan\n0.2 0.980 -0.199\n");
    const RunResult run = box.run_command({OSCPLOT, "-o", "compara.png", "w1.dat", "w2.dat",
                                           "w3.dat", "livre.dat"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "compara.png\n");
    const std::string png = box.read("compara.png");
    EXPECT_EQ(png_size(png), std::make_pair(900U, 1400U));
    EXPECT_GT(png.size(), 40000U);
    for (const char *each : {"w1.dat.png", "w2.dat.png", "livre.dat.png"})
        EXPECT_FALSE(box.exists(each)) << each;
}

// In the terminal: text sized to COLUMNS by LINES (one line left for the prompt), no file.
TEST(Oscplot, DrawsInTheTerminalWithoutWritingAFile)
{
    REQUIRE_GNUPLOT();
    Sandbox box;
    ASSERT_EQ(box.run(HARMOSC, "2\n1 1 0.2\n1 0\n30\n").status, 0);
    const RunResult run = box.run_command(
        {"/usr/bin/env", "COLUMNS=80", "LINES=40", OSCPLOT, "-t", "Oscilador_Kutta.dat"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto lines = lines_of(run.out);
    EXPECT_EQ(lines.size(), 39u);
    std::size_t curve = 0;
    for (const std::string &line : lines) {
        EXPECT_LE(line.size(), 80u + 8u) << line; // "posição" is wider in bytes than on screen
        curve += static_cast<std::size_t>(std::count(line.begin(), line.end(), '*'));
    }
    EXPECT_GT(curve, 100u) << run.out;
    EXPECT_NE(run.out.find("Oscilador_Kutta.dat"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.dir()),
                            std::filesystem::directory_iterator()),
              1);
}

} // namespace
