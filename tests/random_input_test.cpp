// Generated inputs for each program, well-formed and not: numbers in many spellings, words,
// overflowing values, truncated and missing parameter files, small grids. Every run must end
// (never hang) with status 0 or 1, never by a signal, and leave its data files either
// untouched (a refusal) or holding a completed run: as many rows as the running sum of the
// step gives, each with all its columns. What a run may read is decided here by reading the
// same input as the programs promise to: whitespace-separated tokens, each of which the
// standard stream extraction must take in full. The seed is fixed, so a failure reproduces.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

namespace {

const std::string untouched = "results of an earlier run\n";

// Inputs per program. Under the sanitizers, which look for memory faults rather than numbers
// and slow every run several times over, the first hundred of the same sequence.
#ifdef OSC_SANITIZED
constexpr int runs = 100;
#else
constexpr int runs = 300;
#endif

class Inputs {
public:
    explicit Inputs(std::uint64_t seed) : engine_(seed) {}

    std::size_t below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }

    // A number as a person might type it, or something that is not one.
    std::string number()
    {
        switch (below(6)) {
        case 0: return std::to_string(static_cast<int>(below(221)) - 20);
        case 1: return decimal();
        case 2: return decimal() + (below(2) ? "e" : "E") + std::to_string(int(below(6)) - 3);
        case 3: return std::to_string(below(11));
        case 4: return "0." + std::to_string(below(1000));
        default: {
            static const char *const junk[] = {"abc", "1e",   "--1", ".",    "+",     "1e999",
                                               "-1e400", "nan", "inf", "0x1p3", "1,5", "1e300",
                                               "", "1.5.2", "7x"};
            return junk[below(sizeof junk / sizeof *junk)];
        }
        }
    }

    // A few numbers, separated by assorted whitespace, possibly cut short.
    std::string numbers(std::size_t count)
    {
        static const char *const gaps[] = {" ", "\n", "\t", "  \n "};
        std::string text;
        const std::size_t kept = below(8) == 0 ? below(count + 1) : count;
        for (std::size_t i = 0; i < kept; ++i) text += number() + gaps[below(4)];
        return text;
    }

private:
    std::string decimal()
    {
        return (below(3) == 0 ? "-" : "") + std::to_string(below(6)) + "." +
               std::to_string(below(1000));
    }

    std::mt19937_64 engine_;
};

// The next token, when the stream's extraction of a Number takes all of it.
template <typename Number>
bool next_whole(std::istream &in, Number &value)
{
    std::string token;
    if (!(in >> token)) return false;
    std::istringstream number(token);
    return (number >> value) && number.eof();
}

// Rows of a loop that writes while t_end >= t, t running from 0 by additions of h.
std::size_t running_sum_rows(double t_end, double h)
{
    std::size_t rows = 0;
    for (double t = 0.0; t_end >= t; t = t + h) ++rows;
    return rows;
}

void expect_completed(const std::string &content, std::size_t rows, std::size_t columns)
{
    const auto lines = lines_of(content);
    ASSERT_EQ(lines.size(), rows);
    for (const std::string &line : lines) ASSERT_EQ(fields_of(line).size(), columns) << line;
}

void expect_clean_end(const RunResult &run)
{
    EXPECT_EQ(run.signal, 0);
    EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status;
}

// harmosc reads an integer selection, then k m [b] x0 v0 tf; h = 0.1.
std::size_t harmosc_rows(const std::string &input, bool &accepted)
{
    std::istringstream in(input);
    int selection = 0;
    double constant = 0.0; // k, m, [b,] x0 and v0 only need to be readable
    double tf = 0.0;
    accepted = next_whole(in, selection) && (selection == 1 || selection == 2);
    for (int i = selection == 1 ? 4 : 5; accepted && i > 0; --i)
        accepted = next_whole(in, constant);
    accepted = accepted && next_whole(in, tf) && tf < std::ldexp(1.0, 50);
    return accepted ? running_sum_rows(tf, 0.1) : 0;
}

TEST(RandomInput, Harmosc)
{
    Inputs inputs(20261208);
    for (int i = 0; i < runs; ++i) {
        const std::string input = std::to_string(1 + inputs.below(2)) + "\n" +
                                  (inputs.below(10) == 0 ? inputs.number() + "\n" : "") +
                                  inputs.numbers(6);
        SCOPED_TRACE("input: " + input);
        Sandbox box;
        box.write("Oscilador_Kutta.dat", untouched);
        const RunResult run = box.run(HARMOSC, input);
        expect_clean_end(run);
        bool accepted = false;
        const std::size_t rows = harmosc_rows(input, accepted);
        EXPECT_EQ(run.status, accepted ? 0 : 1);
        if (accepted) expect_completed(box.read("Oscilador_Kutta.dat"), rows, 3);
        else EXPECT_EQ(box.read("Oscilador_Kutta.dat"), untouched);
    }
}

TEST(RandomInput, Drivenosc)
{
    const std::string files[3] = {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat", "Kutta_1a_3w0.dat"};
    static const char *const selections[] = {"1", "2", "3", "0", "4", "x", ""};
    Inputs inputs(7);
    for (int i = 0; i < runs; ++i) {
        const bool missing = inputs.below(10) == 0;
        const std::string parameters = inputs.numbers(4);
        const std::string answer = selections[inputs.below(7)];
        SCOPED_TRACE("input_1a.txt: " + (missing ? "<missing>" : parameters) + " answer: " + answer);
        Sandbox box;
        for (const std::string &file : files) box.write(file, untouched);
        if (!missing) box.write("input_1a.txt", parameters);
        const RunResult run = box.run(DRIVENOSC, answer + "\n");
        expect_clean_end(run);

        std::istringstream in(missing ? "" : parameters);
        double initial = 0.0;
        double N = 0.0;
        double h = 0.0;
        const bool readable = next_whole(in, initial) && next_whole(in, initial) &&
                              next_whole(in, N) && next_whole(in, h);
        // Grids here are either under a thousand steps or 1e300 of them, which never end.
        const bool ends = readable && (N * h < 0.0 || (h > 0.0 && N < 1e6));
        int selection = 0;
        std::istringstream answered(answer);
        const bool chosen = next_whole(answered, selection) && selection >= 1 && selection <= 3;
        EXPECT_EQ(run.status, ends && chosen ? 0 : 1);
        EXPECT_EQ(run.out.empty(), !ends);
        for (int f = 1; f <= 3; ++f) {
            const std::string content = box.read(files[f - 1]);
            if (!(ends && chosen)) EXPECT_EQ(content, untouched);
            else if (f != selection) EXPECT_EQ(content, "");
            else expect_completed(content, running_sum_rows(N * h, h), 4);
        }
    }
}

TEST(RandomInput, Rkstepper)
{
    Inputs inputs(1);
    for (int i = 0; i < runs; ++i) {
        const bool missing = inputs.below(10) == 0;
        // Now and then a step count just past the largest int.
        const std::string parameters = inputs.below(10) == 0 ? inputs.numbers(2) + "2147483648 0.1"
                                                             : inputs.numbers(4);
        SCOPED_TRACE("parametros_sistema.txt: " + (missing ? "<missing>" : parameters));
        Sandbox box;
        box.write("RK_generico_1b.txt", untouched);
        if (!missing) box.write("parametros_sistema.txt", parameters);
        const RunResult run = box.run(RKSTEPPER, "");
        expect_clean_end(run);
        EXPECT_EQ(run.out, "");

        std::istringstream in(missing ? "" : parameters);
        double value = 0.0;
        int N = 0;
        const bool accepted = next_whole(in, value) && next_whole(in, value) &&
                              next_whole(in, N) && next_whole(in, value) && N >= 0;
        EXPECT_EQ(run.status, accepted ? 0 : 1);
        if (accepted) expect_completed(box.read("RK_generico_1b.txt"), std::size_t(N), 3);
        else EXPECT_EQ(box.read("RK_generico_1b.txt"), untouched);
    }
}

} // namespace
