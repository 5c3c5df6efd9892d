// oscstudy: its maths in-process against closed forms (crossings of a damped cosine, the period
// from arg R, the resonance peak and its half-power points, |Y| against drivenosc's own rows,
// the orders of the methods), the rows of each program byte for byte, and the command line.

#include "sandbox.hpp"

#include "oscstudy/setup.hpp"
#include "oscstudy/study.hpp"
#include "stepmath/driven.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

namespace {

using osc::pi;

osc::Setup setup_of(osc::Program program, const std::map<std::string, double> &given)
{
    osc::Setup setup;
    EXPECT_EQ(osc::make_setup(program, given, setup), "");
    return setup;
}

// Rows every h of e^(-β·t)·cos(w·t), with its velocity, whose zeros are π/w apart.
TEST(OscstudyMaths, CrossingsAndPeaksOfAKnownOscillation)
{
    const struct {
        double beta, w, h;
    } cases[] = {{0, 5, 0.1}, {0.3, 0.95, 0.1}, {0.05, 2, 0.02}};
    for (const auto &c : cases) {
        std::vector<osc::Row> rows;
        for (int i = 0; i <= 2000; ++i) {
            const double t = i * c.h;
            const double e = std::exp(-c.beta * t);
            rows.push_back({t, e * std::cos(c.w * t), -e * (c.beta * std::cos(c.w * t) + c.w * std::sin(c.w * t))});
        }
        const osc::Oscillation o = osc::oscillation(rows, 0.0);
        EXPECT_NEAR(o.period, 2 * pi / c.w, 1e-4 * c.h) << c.w;
        // The first peak after the first zero, at tan(w·t) = -β/w in the second half-turn, within
        // the cubic's own error, (h·w)⁴/384 of the amplitude.
        const double t = (2 * pi - std::atan(c.beta / c.w)) / c.w;
        EXPECT_NEAR(o.first_peak, std::exp(-c.beta * t) * std::cos(c.w * t), std::pow(c.h * c.w, 4) / 384)
            << c.w;
    }
}

// The period of the computed motion is 2π·h/arg R(i·z): 1.25723441 at h = 0.1, w0 = 5.
TEST(OscstudyMaths, PeriodFromArgR)
{
    const double z = 0.5;
    const double by_hand = 2 * pi * 0.1 / std::atan2(z - z * z * z / 6, 1 - z * z / 2 + z * z * z * z / 24);
    const osc::Setup setup = setup_of(osc::Program::harmosc, {{"k", 25}, {"m", 1}, {"tf", 40}});
    EXPECT_NEAR(osc::method_period(osc::programs_method, setup.motion, 0.1), by_hand, 1e-12);
    EXPECT_NEAR(osc::oscillation(osc::rows_of(setup, osc::programs_method), 0).period, by_hand,
                1e-5);
}

// |X|² = f²/((w0² - w²)² + 4β²w²): highest at wr² = w0² - 2β², half as high where
// (w0² - u)² + 4β²u = 2·4β²(w0² - β²), u = w², a quadratic in u.
TEST(OscstudyMaths, ResonancePeakAndHalfPower)
{
    for (const double beta : {0.25, 0.1}) {
        const osc::Motion m{1, beta, 0.5, 0, 0, 0};
        const double b2 = beta * beta;
        const double centre = 1 - 2 * b2;
        const double spread = std::sqrt(centre * centre - 1 + 8 * b2 * (1 - b2));
        const osc::Peak p = osc::exact_peak(m);
        EXPECT_NEAR(p.wf, std::sqrt(centre), 1e-7);
        EXPECT_NEAR(p.height, 0.5 / (2 * beta * std::sqrt(1 - b2)), 1e-12);
        EXPECT_NEAR(p.low, std::sqrt(centre - spread), 1e-9);
        EXPECT_NEAR(p.high, std::sqrt(centre + spread), 1e-9);
    }
}

// Each program's rows, as oscstudy makes them and prints them with six digits, are its data
// file byte for byte; and drivenosc's steady rows fit the method's Y within what six digits show.
TEST(OscstudyRows, EqualTheProgramsDataFiles)
{
    const struct {
        osc::Program program;
        std::map<std::string, double> given;
        const char *binary, *parameter_file, *parameters, *input, *data_file;
    } cases[] = {
        {osc::Program::harmosc, {{"k", 4}, {"m", 1}, {"b", 0.4}, {"x0", 1}, {"v0", 2}, {"tf", 30}},
         HARMOSC, nullptr, "", "2\n4 1 0.4\n1 2\n30\n", "Oscilador_Kutta.dat"},
        {osc::Program::drivenosc, {{"x0", 0}, {"v0", 1}, {"N", 1600}, {"h", 0.05}, {"escolha", 1}},
         DRIVENOSC, "input_1a.txt", "0 1 1600 0.05\n", "1\n", "Kutta_1a_w0_3.dat"},
        {osc::Program::rkstepper, {{"x0", 1}, {"v0", 0}, {"N", 1000}, {"h", 0.07}}, RKSTEPPER,
         "parametros_sistema.txt", "1 0 1000 0.07\n", "", "RK_generico_1b.txt"},
    };
    for (const auto &c : cases) {
        Sandbox box;
        if (c.parameter_file != nullptr) box.write(c.parameter_file, c.parameters);
        ASSERT_EQ(box.run(c.binary, c.input).status, 0) << c.binary;
        const osc::Setup setup = setup_of(c.program, c.given);
        const std::vector<osc::Row> rows = osc::rows_of(setup, osc::programs_method);
        EXPECT_EQ(osc::data_text(setup, rows), box.read(c.data_file)) << c.binary;
        if (c.program == osc::Program::harmosc) continue;
        const osc::Motion &m = setup.motion;
        std::vector<osc::Row> printed;
        for (const std::string &line : lines_of(box.read(c.data_file))) {
            const auto f = fields_of(line);
            printed.push_back({rows[printed.size()].t, std::stod(f[f.size() - 2]), std::stod(f.back())});
        }
        const double from = osc::settling_time(m, 1e-5);
        EXPECT_NEAR(std::abs(osc::steady_fit(printed, m.wf, from)),
                    std::abs(osc::rk4_response(m.w0, m.beta, m.f, m.wf, setup.h)), 1e-5) << c.binary;
    }
}

// On x'' = -x from (1, 0) to T = 10, each method gives a settled order near its own.
TEST(OscstudyMaths, ObservedOrders)
{
    const osc::Setup setup = setup_of(osc::Program::harmosc, {});
    for (const osc::Method &method : osc::methods) {
        const osc::MethodStudy s = osc::method_study(setup, method);
        EXPECT_EQ(s.verdict.outcome, osc::Outcome::settled) << method.name;
        EXPECT_NEAR(s.verdict.order, method.order, 0.1) << method.name;
    }
}

// The command line: the answers of the cases, and every refusal with its status.
TEST(OscstudyCommandLine, AnswersAndRefusals)
{
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char *said; // on standard output for status 0, on standard error otherwise
    } cases[] = {
        {{"erro", "harmosc", "k=25", "m=1", "x0=1", "v0=0", "tf=20"}, 0, "maior |x - x exato|: 0.0509 em t = 19.9"},
        {{"energia", "k=1", "m=1", "x0=1", "v0=0", "tf=628.32"}, 0, "E/E0 - 1 = -8.72e-05 ao fim de 6283 passos"},
        {{"periodo", "k=25", "m=1"}, 0, "é 1.2572 (16 passagens por zero), contra 2π/sqrt(w0² - β²) = 1.2566"},
        {{"--", "periodo", "k=25", "m=1"}, 0, "é 1.2572"},
        {{"ressonancia", "drivenosc"}, 0, "wr = sqrt(w0² - 2β²) = 0.935, com altura 1.033"},
        {{"metodos", "k=1", "m=1", "x0=1", "v0=0", "tf=10"}, 0,
         "\nRK4               -1.387e-06     -1.387e-06        6.28319        2.82843\n"},
        {{"periodo", "rkstepper"}, 0, "regime estacionário"},
        {{}, 2, "falta a PERGUNTA"},
        {{"quanto"}, 2, "pergunta desconhecida 'quanto'"},
        {{"erro", "z=1"}, 2, "o harmosc não lê 'z': conhece k, m, b, x0, v0, tf, ficheiro"},
        {{"erro", "k="}, 2, "falta o valor de k"},
        {{"erro", "k=-1"}, 2, "oscstudy: k = -1 e m = 1: o estudo precisa de m > 0 e k >= 0\n"},
        {{"erro", "k=1,5"}, 2, "use ponto decimal"},
        {{"erro", "tf=1e300"}, 2, "o instante final 1e+300 nunca é atingido"},
        {{"erro", "drivenosc", "escolha=4"}, 2, "esperado 1, 2 ou 3"},
        {{"erro", "rkstepper", "N=-5"}, 2, "o número de passos N = -5 é negativo"},
        {{"erro", "rkstepper", "N=2.5"}, 2, "não serve para N"},
        {{"metodos", "ficheiro=a"}, 2, "não lê 'ficheiro'"},
        {{"erro", "-o", "a.png", "-t"}, 2, "-o e -t não se combinam"},
        {{"erro", "ficheiro=nenhum.dat"}, 1, "nenhum.dat"},
        {{"--version"}, 0, "oscstudy " OSC_VERSION "\n"},
    };
    for (const auto &c : cases) {
        Sandbox box;
        std::vector<std::string> command{OSCSTUDY};
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        const RunResult run = box.run_command(command);
        EXPECT_EQ(run.status, c.status) << c.said << "\n" << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.said), std::string::npos)
            << c.said << "\n" << run.out << run.err;
        EXPECT_EQ(c.status == 0, run.err.empty()) << run.err;
    }
}

// A student's file is read with the running sum of h, and six digits are said to limit it;
// a figure is the one file written.
TEST(OscstudyCommandLine, StudentsFileAndFigure)
{
    Sandbox box;
    ASSERT_EQ(box.run(HARMOSC, "1\n25 1\n1 0\n20\n").status, 0);
    const RunResult file = box.run_command({OSCSTUDY, "erro", "k=25", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_EQ(file.status, 0) << file.err;
    EXPECT_NE(file.out.find("maior |x - x exato|: 0.0509"), std::string::npos) << file.out;
    EXPECT_NE(file.out.find("com seis algarismos"), std::string::npos) << file.out;
    const RunResult wrong = box.run_command({OSCSTUDY, "erro", "rkstepper", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_EQ(wrong.status, 1);
    const RunResult start = box.run_command({OSCSTUDY, "erro", "k=25", "x0=2", "ficheiro=Oscilador_Kutta.dat"});
    EXPECT_NE(start.err.find("a primeira linha tem x = 1 e v = 0, e não x0 = 2"), std::string::npos) << start.err;
    REQUIRE_GNUPLOT();
    for (const std::string question : {"erro", "energia", "periodo", "ressonancia", "metodos"}) {
        const RunResult drawn = box.run_command({OSCSTUDY, question, "-o", question + ".png"});
        EXPECT_EQ(drawn.status, 0) << question << drawn.err;
        EXPECT_EQ(box.read(question + ".png").substr(1, 3), "PNG") << question;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.dir()),
                            std::filesystem::directory_iterator()), 6);
}

} // namespace
