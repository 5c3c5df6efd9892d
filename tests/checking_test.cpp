// A student's rows checked in-process: each method and slip of the catalogue, stepped here by
// its textbook definition on y' = f(t, y), y = x + i·v, and written with six digits, is named
// for what it is (or, where this equation cannot tell it from others, with them); rows of
// other constants give theirs back; and the shapes of files students write are read or
// refused at their line.

#include "checking/judge.hpp"
#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <complex>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

namespace student_rows {

using State = std::complex<double>;
using Field = std::function<State(double, State)>; // y' = f(t, y)
using Step = std::function<State(const Field &, double t, State y, double h)>;

enum class Slip {
    none,
    k4_at_half,
    k3_from_k1,
    k2_whole_step,
    equal_weights,
    time_ahead,
    x_by_new_v
};

// y moved by c·k; with the slip, x moved along the new v instead of along k's slope of x.
State moved(State y, double c, State k, bool by_new_v)
{
    const State to = y + c * k;
    return by_new_v ? State(y.real() + c * to.imag(), to.imag()) : to;
}

State rk4(const Field &f, double t, State y, double h, Slip slip)
{
    const bool new_v = slip == Slip::x_by_new_v;
    if (slip == Slip::time_ahead) t += h;
    const State k1 = f(t, y);
    const State k2 = f(t + h / 2, moved(y, slip == Slip::k2_whole_step ? h : h / 2, k1, new_v));
    const State k3 = f(t + h / 2, moved(y, h / 2, slip == Slip::k3_from_k1 ? k1 : k2, new_v));
    const State k4 = f(slip == Slip::k4_at_half ? t + h / 2 : t + h, moved(y, h, k3, new_v));
    if (slip == Slip::equal_weights) return y + h / 4 * (k1 + k2 + k3 + k4);
    return y + h / 6 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
}

Step slipped(Slip slip)
{
    return [slip](const Field &f, double t, State y, double h) { return rk4(f, t, y, h, slip); };
}

// The other methods, as a textbook writes them.
State euler(const Field &f, double t, State y, double h) { return y + h * f(t, y); }
State euler_cromer(const Field &f, double t, State y, double h)
{
    const double v = y.imag() + h * f(t, y).imag();
    return {y.real() + h * v, v};
}
State midpoint(const Field &f, double t, State y, double h)
{
    return y + h * f(t + h / 2, y + h / 2 * f(t, y));
}
State verlet(const Field &f, double t, State y, double h)
{
    const double a0 = f(t, y).imag();
    const double x = y.real() + h * y.imag() + h * h / 2 * a0;
    return {x, y.imag() + h / 2 * (a0 + f(t + h, {x, y.imag() + h * a0}).imag())};
}

State heun(const Field &f, double t, State y, double h)
{
    const State k1 = f(t, y);
    return y + h / 2 * (k1 + f(t + h, y + h * k1));
}
State verlet_half_kick(const Field &f, double t, State y, double h)
{
    const double v = y.imag() + h / 2 * f(t, y).imag();
    const double x = y.real() + h * v;
    return {x, v + h / 2 * f(t + h, {x, v}).imag()};
}
// x first, then v with the new x: no entry of the catalogue.
State euler_cromer_x_first(const Field &f, double t, State y, double h)
{
    const double x = y.real() + h * y.imag();
    return {x, y.imag() + h * f(t, {x, y.imag()}).imag()};
}

// x'' = -w0²·x - 2β·x' + f·sin(wf·t), as osc::Motion gives it.
struct Equation {
    osc::Motion motion;
    Field field() const
    {
        const osc::Motion m = motion;
        return [m](double t, State y) {
            return State(y.imag(), -m.w0 * m.w0 * y.real() - 2 * m.beta * y.imag() +
                                       m.f * std::sin(m.wf * t));
        };
    }
    osc::Equation given() const
    {
        const Field f = field();
        return {[f](double t, double x, double v) { return f(t, {x, v}).imag(); }, motion, true};
    }
};

// Rows from t = 0 every h, each "t x v" as printf's `format` writes them; time i·h where
// `multiples`.
std::string rows_of(const Equation &e, const Step &step, double h, int steps,
                    bool multiples = false, const char *format = "%g %g %g\n")
{
    std::string text;
    double t = 0;
    State y(e.motion.x0, e.motion.v0);
    char row[96];
    for (int i = 0; i <= steps; ++i) {
        text.append(row, static_cast<std::size_t>(
                             std::snprintf(row, sizeof row, format, t, y.real(), y.imag())));
        y = step(e.field(), t, y, h);
        t = multiples ? (i + 1) * h : t + h;
    }
    return text;
}

std::set<std::string> matched(const osc::FileCheck &check)
{
    std::set<std::string> names;
    for (const std::size_t i : check.matched()) names.insert(osc::catalogue()[i].method.name);
    return names;
}

const Equation driven{{2, 0.15, 0.7, 1.3, 1, 0}};
const Equation free_motion{{2, 0.2, 0, 0, 1, 0}};

// A number written with six digits agrees with one computed in another order within half a
// unit of its sixth digit (the decade's: 1e-4 holds 9.999996e-05) and the slack for that order;
// one written with five (%.5g), or six decimals (%f), within half a unit of its own last.
TEST(Checking, NumbersAgreeWithinHalfAUnitOfTheirLastDigitAndTheSlack)
{
    const double inf = INFINITY;
    const osc::Writing six{};
    const osc::Writing five{5, -1};
    const osc::Writing decimals{0, 6};
    const struct {
        double written, computed, slack;
        osc::Writing writing;
        bool agree;
    } cases[] = {
        {0.980331, 0.9803314999, 0, six, true},
        {0.980331, 0.9803315001, 0, six, false},
        {0.980331, 0.9803315001, 2e-10, six, true},
        {1e-4, 9.999996e-05, 0, six, true},
        {1e-4, 9.999994e-05, 0, six, false},
        {-1.5e-07, 1e-17, 2e-7, six, true},
        {NAN, NAN, 0, six, true},
        {inf, inf, 0, six, true},
        {inf, 1e308, 1e300, six, false},
        {1, NAN, 1, six, false},
        {0.98033, 0.980334999, 0, five, true},
        {0.98033, 0.980335001, 0, five, false},
        {0.067592, 0.0675924999, 0, decimals, true},
        {0.067592, 0.0675925001, 0, decimals, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(osc::agrees(c.written, c.computed, c.writing, c.slack), c.agree)
            << c.written << " " << c.computed;
}

// Each entry named from its rows, at a short step, at one that is no short decimal (1/3, 2π/100:
// its times tell it only to their digits), and from rows written with fewer digits than six.
TEST(Checking, EachMethodAndSlipIsNamedForWhatItIs)
{
    const std::string rk4_name = osc::programs_method.name;
    const std::string by_i_h = "RK4 com t = i·h";
    const std::set<std::string> rk4{rk4_name, by_i_h};
    const struct {
        const Equation &equation;
        Step step;
        bool multiples;
        std::set<std::string> names; // what rows of this step are, as far as the equation tells
        double h = 0.05;
        int steps = 400;
        const char *format = "%g %g %g\n";
    } cases[] = {
        {driven, euler, false, {"Euler"}},
        {driven, euler_cromer, false, {"Euler-Cromer"}},
        {driven, midpoint, false, {"ponto médio"}},
        {driven, verlet, false, {"Verlet"}},
        {driven, heun, false, {"Heun"}},
        {driven, verlet_half_kick, false, {"Verlet com v a meio passo"}},
        // Time i·h moves t by rounding alone: its rows are RK4's to six digits.
        {driven, slipped(Slip::none), false, rk4},
        {driven, slipped(Slip::none), true, rk4},
        {driven, slipped(Slip::k4_at_half), false, {"RK4 com k4 em t + h/2"}},
        {driven, slipped(Slip::k3_from_k1), false, {"RK4 com k3 tirado de k1"}},
        {driven, slipped(Slip::k2_whole_step), false, {"RK4 com k2 a um passo inteiro"}},
        {driven, slipped(Slip::equal_weights), false, {"RK4 com pesos 1-1-1-1"}},
        {driven, slipped(Slip::time_ahead), false, {"RK4 com t avançado antes dos estágios"}},
        {driven, slipped(Slip::x_by_new_v), false, {"RK4 com o x dos estágios tirado do v novo"}},
        // Over 20000 rows the running sum's last bits put some x across a rounding of its
        // sixth digit: RK4 all the same.
        {driven, slipped(Slip::none), true, {by_i_h}, 0.05, 20000},
        {driven, slipped(Slip::none), false, rk4, 1.0 / 3, 30},
        {driven, slipped(Slip::none), false, rk4, 2 * M_PI / 100, 160},
        {driven, slipped(Slip::none), false, rk4, 0.05, 400, "%f %f %f\n"},
        {driven, slipped(Slip::none), false, rk4, 0.05, 400, "%.5g %.5g %.5g\n"},
        // Without a force a stage's time cannot show, nor Heun's second slope.
        {free_motion,
         slipped(Slip::none),
         false,
         {rk4_name, by_i_h, "RK4 com k4 em t + h/2", "RK4 com t avançado antes dos estágios"}},
        {free_motion, heun, false, {"ponto médio", "Heun"}},
        {free_motion, euler_cromer_x_first, false, {}},
    };
    Sandbox box;
    const std::string file = box.path("aluno.dat").string();
    for (const auto &c : cases) {
        box.write("aluno.dat", rows_of(c.equation, c.step, c.h, c.steps, c.multiples, c.format));
        const osc::FileCheck check = osc::check_file(file, c.equation.given());
        SCOPED_TRACE(c.names.empty() ? "none" : *c.names.begin() + " " + c.format);
        EXPECT_EQ(matched(check), c.names);
        EXPECT_LE(std::fabs(check.h - c.h), check.step.spread);
        const bool rk4_rows = c.names.count(rk4_name) + c.names.count(by_i_h) != 0;
        EXPECT_EQ(check.judgement, rk4_rows          ? osc::Judgement::rk4
                                   : c.names.empty() ? osc::Judgement::none
                                                     : osc::Judgement::other_entries);
    }
}

// RK4's rows of w0 = 2, β = 0.2 read as if w0 = 1, β = 0 give theirs back, k/m = 4 and b/m =
// 0.4; rows of the constants given that end, start or step otherwise than given, or short of the
// program's last row (N counted; 0.1 summed 100 times is 9.99999999999998, 200
// times 20.000000000000014), are named so.
TEST(Checking, RowsOfOtherConstantsAreNamedSo)
{
    Sandbox box;
    box.write("k4.dat", rows_of(free_motion, slipped(Slip::none), 0.1, 200));
    osc::Equation k1 = Equation{{1, 0, 0, 0, 1, 0}}.given();
    k1.start_given = false;
    const osc::FileCheck check = osc::check_file(box.path("k4.dat").string(), k1);
    EXPECT_EQ(check.judgement, osc::Judgement::other_constants);
    EXPECT_EQ(check.fitted_k, 4);
    EXPECT_EQ(check.fitted_b, 0.4);
    EXPECT_TRUE(check.start_from_file);
    EXPECT_EQ(check.from_rk4().line, 2U); // the first row is x0, v0 itself
    // The rows run from x0 = 1 at h = 0.1, 200 steps unless said.
    const auto given = [](double h, double end, double x0, double counted_steps = NAN) {
        osc::Equation e = free_motion.given();
        e.h = h;
        e.end = end;
        e.motion.x0 = x0;
        e.steps = counted_steps;
        e.counted = !std::isnan(counted_steps);
        return e;
    };
    const struct {
        osc::Equation given;
        osc::Judgement judgement;
        int steps = 200;
        double short_by = 0;
    } cases[] = {
        {given(0.1, 20, 1), osc::Judgement::rk4},
        {given(0.05, NAN, 1), osc::Judgement::other_constants},
        {given(NAN, 10, 1), osc::Judgement::other_constants},
        {given(NAN, 20.09, 1), osc::Judgement::rk4},
        {given(NAN, 20.11, 1), osc::Judgement::cut, 200, 1},
        {given(NAN, NAN, 2), osc::Judgement::other_constants},
        {given(NAN, 10, 1), osc::Judgement::cut, 99, 1},
        {given(NAN, 10, 1), osc::Judgement::cut, 49, 51},
        {given(NAN, 20, 1), osc::Judgement::rk4, 199},
        {given(0.1, NAN, 1, 201), osc::Judgement::cut, 200, 1},
    };
    for (const auto &c : cases) {
        box.write("k4.dat", rows_of(free_motion, slipped(Slip::none), 0.1, c.steps));
        const osc::FileCheck judged = osc::check_file(box.path("k4.dat").string(), c.given);
        EXPECT_EQ(judged.judgement, c.judgement) << c.given.end << " " << c.steps;
        EXPECT_EQ(judged.short_by, c.short_by) << c.given.end << " " << c.steps;
    }
}

// Files at h, h/2, h/4 written by harmosc's loop to tf = 10, whose running sums end a step short
// or not, give RK4's order, 4, at the last time they share. A rung is of the ladder's method: a
// second file at a step, a copy or another student's, leaves the ladder whole, the first in the
// list taking the rung; an Euler file at h/2 climbs from an Euler file at h, never from RK4.
TEST(Checking, ALadderOfStepsToOneEndGivesTheOrder)
{
    const Equation undamped{{2, 0, 0, 0, 1, 0}};
    const struct {
        const char *what;
        std::vector<std::pair<double, bool>> files;    // each step, and whether Euler wrote it
        std::vector<std::vector<std::size_t>> ladders; // RK4's give 4
    } cases[] = {
        {"one student", {{0.2, false}, {0.1, false}, {0.05, false}}, {{0, 1, 2}}},
        {"a copy", {{0.2, false}, {0.1, false}, {0.1, false}, {0.05, false}}, {{0, 1, 3}}},
        {"Euler at a rung", {{0.2, false}, {0.1, true}, {0.1, false}, {0.05, false}}, {{0, 2, 3}}},
        {"two methods", {{0.2, true}, {0.2, false}, {0.1, false}, {0.1, true}}, {{0, 3}, {1, 2}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        std::vector<osc::FileCheck> checks;
        for (const auto &[h, first_order] : c.files) {
            int steps = -1;
            for (double t = 0; 10 >= t; t = t + h) ++steps;
            const std::string name = "f" + std::to_string(checks.size());
            box.write(name, rows_of(undamped, first_order ? euler : slipped(Slip::none), h, steps));
            checks.push_back(osc::check_file(box.path(name).string(), undamped.given()));
        }
        const std::vector<osc::Ladder> found = osc::ladders(checks);
        ASSERT_EQ(found.size(), c.ladders.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].files, c.ladders[i]);
            if (!c.files[c.ladders[i][0]].second) {
                EXPECT_NEAR(found[i].verdict.order, 4, 0.2);
            }
        }
    }
}

TEST(Checking, FilesAsStudentsWriteThemAreReadOrRefusedAtTheirLine)
{
    const std::string rows = rows_of(driven, slipped(Slip::none), 0.05, 40);
    const auto each_line =
        [&](const std::function<std::string(std::size_t, const std::string &)> &line) {
            std::string text;
            std::size_t i = 0;
            for (const std::string &row : lines_of(rows)) text += line(i++, row);
            return text;
        };
    const auto replaced = [](const std::string &text, char from, const char *to) {
        std::string out;
        for (const char c : text) out += c == from ? std::string(to) : std::string(1, c);
        return out;
    };
    using osc::ShapeFault;
    const struct {
        const char *what;
        std::string text;
        ShapeFault fault;
        std::size_t line; // at fault, or the last, cut short
    } cases[] = {
        {"a header", "t x v\n" + rows, ShapeFault::none, 0},
        {"commas", "t,x,v\n" + replaced(rows, ' ', ","), ShapeFault::none, 0},
        {"tabs", replaced(rows, ' ', "\t"), ShapeFault::none, 0},
        {"CRLF", replaced(rows, '\n', "\r\n"), ShapeFault::none, 0},
        {"comments", "# RK4\n" + rows + "# fim\n", ShapeFault::none, 0},
        {"n t x v", each_line([](std::size_t i, const std::string &row) {
             return std::to_string(i) + " " + row + "\n";
         }),
         ShapeFault::none, 0},
        {"i t x v from 1", each_line([](std::size_t i, const std::string &row) {
             return std::to_string(i + 1) + " " + row + "\n";
         }),
         ShapeFault::none, 0},
        {"comments after rows", each_line([](std::size_t, const std::string &row) {
             return row + " # t x v\n";
         }),
         ShapeFault::none, 0},
        {"a last row cut short", rows + "2.05 0.5", ShapeFault::none, 42},
        {"carriage returns alone", replaced(rows, '\n', "\r"), ShapeFault::cr_line_ends, 1},
        {"empty", "", ShapeFault::empty, 0},
        {"t x v E", each_line([](std::size_t, const std::string &row) { return row + " 0.5\n"; }),
         ShapeFault::none, 0},
        {"semicolons", "0;1;0\n", ShapeFault::semicolons, 1},
        {"decimal commas", "t x v\n0,1,0\n0,05,0,99,-0,1\n", ShapeFault::column_count, 3},
        {"text among rows", rows + "fim\n", ShapeFault::text_in_rows, 42},
        {"a fourth number", "0 1 0\n0.05 1 0 7\n", ShapeFault::count_changes, 2},
        {"one row", "0 1 0\n", ShapeFault::one_row, 0},
    };
    Sandbox box;
    const std::string file = box.path("aluno.txt").string();
    const auto judged = [&](const std::string &text) {
        box.write("aluno.txt", text);
        return osc::check_file(file, driven.given());
    };
    for (const auto &c : cases) {
        const osc::FileCheck check = judged(c.text);
        EXPECT_EQ(check.shape.fault, c.fault) << c.what;
        EXPECT_EQ(check.shape.line, c.line) << c.what;
        const bool read = c.fault == ShapeFault::none;
        EXPECT_EQ(check.judgement, !read       ? osc::Judgement::unreadable
                                   : c.line != 0 ? osc::Judgement::cut
                                                 : osc::Judgement::rk4)
            << c.what;
    }
    // Times to two decimals give h = 1/3 only to 5e-4 of itself: rows that no entry gives at a
    // fraction of it are not judged so loosely.
    EXPECT_EQ(judged(rows_of(driven, euler_cromer_x_first, 1.0 / 3, 30, false, "%.2f %g %g\n"))
                  .step.fault,
              osc::TimeFault::coarse);
    // Cut short in its last line, or held by one of our runs that is writing it.
    EXPECT_EQ(judged(rows.substr(0, rows.size() - 3)).judgement, osc::Judgement::cut);
    const int held = ::open(file.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(osc::check_file(file, driven.given()).judgement, osc::Judgement::being_written);
    ::close(held);
}

} // namespace student_rows
