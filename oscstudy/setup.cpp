#include "oscstudy/setup.hpp"

#include "programs/programs.hpp"
#include "stepmath/time_grid.hpp"
#include "text/messages.hpp"
#include "text/refusals.hpp"

#include <cmath>

namespace osc {

namespace {

// The steps the study takes at most in one run, as a program would in a few seconds.
constexpr double most_steps = 1e7;

double value(const Setup &setup, const char *name) { return setup.values.at(name); }

std::string harmosc_setup(Setup &s)
{
    const double k = value(s, "k");
    const double m = value(s, "m");
    const double tf = value(s, "tf");
    if (!(m > 0.0) || !(k >= 0.0))
        return "k = " + text(k) + " e m = " + text(m) + ": o estudo precisa de m > 0 e k >= 0";
    s.h = harmosc::h;
    if (tf >= stall_time(s.h)) return never_reached(tf, s.h);
    s.motion = harmosc::motion(k, m, value(s, "b"), value(s, "x0"), value(s, "v0"));
    const double w0 = s.motion.w0;
    const double gamma = s.motion.beta; // harmosc's γ, b/(m + m)
    s.acceleration = [w0, gamma](double, double x, double v) {
        return harmosc::acceleration(x, v, w0, gamma);
    };
    return "";
}

std::string drivenosc_setup(Setup &s)
{
    const double N = value(s, "N");
    const double h = value(s, "h");
    const double choice = value(s, "escolha");
    s.h = h;
    if (choice != 1.0 && choice != 2.0 && choice != 3.0)
        return "escolha = " + text(choice) + " não é 1, 2 nem 3";
    if (!grid_ends(h, N * h)) return never_ends(N, h);
    s.motion = drivenosc::motion(static_cast<int>(choice), value(s, "x0"), value(s, "v0"));
    // γ = λ/m and F = F0/m as drivenosc forms them from its motion.
    const double w0 = s.motion.w0;
    const double gamma = s.motion.beta + s.motion.beta;
    const double F = s.motion.f;
    const double wf = s.motion.wf;
    s.acceleration = [w0, gamma, F, wf](double t, double x, double v) {
        return drivenosc::acceleration(x, v, t, w0, gamma, F, wf);
    };
    return "";
}

std::string rkstepper_setup(Setup &s)
{
    const double N = value(s, "N");
    s.h = value(s, "h");
    if (N != std::floor(N)) return "N = " + text(N) + " não é inteiro";
    if (N < 0.0) return negative_steps(static_cast<int>(N));
    s.motion = rkstepper::motion(value(s, "x0"), value(s, "v0"));
    s.acceleration = [](double t, double x, double v) {
        using namespace rkstepper;
        return acceleration(t, x, v, m, k, lbd, F0, wf);
    };
    return "";
}

// The steps from t = 0 to the program's last row.
double steps_of(const Setup &setup)
{
    if (setup.program == Program::rkstepper) return value(setup, "N");
    // The steps the running sum takes before it passes the end: one fewer than the rows.
    const double end = setup.program == Program::harmosc ? value(setup, "tf") : value(setup, "N") * setup.h;
    double steps = -1.0;
    for (double t = 0.0; end >= t && steps <= most_steps; t = t + setup.h) ++steps;
    return steps < 0.0 ? 0.0 : steps;
}

} // namespace

const Layout &layout_of(Program program)
{
    switch (program) {
    case Program::harmosc: return harmosc::layout;
    case Program::drivenosc: return drivenosc::layout;
    case Program::rkstepper: break;
    }
    return rkstepper::layout;
}

const std::vector<Name> &names_of(Program program)
{
    // The program's names in its order, each with the study's value for it.
    const auto named = [](const auto &names, const std::map<std::string, double> &fallbacks) {
        std::vector<Name> list;
        list.reserve(names.size());
        for (const char *name : names) list.push_back({name, fallbacks.at(name)});
        return list;
    };
    static const std::vector<Name> harmosc_names =
        named(harmosc::names, {{"k", 1}, {"m", 1}, {"b", 0}, {"x0", 1}, {"v0", 0}, {"tf", 10}});
    static const std::vector<Name> drivenosc_names =
        named(drivenosc::names, {{"x0", 1}, {"v0", 0}, {"N", 2000}, {"h", 0.05}, {"escolha", 2}});
    static const std::vector<Name> rkstepper_names =
        named(rkstepper::names, {{"x0", 1}, {"v0", 0}, {"N", 1000}, {"h", 0.01}});
    switch (program) {
    case Program::harmosc: return harmosc_names;
    case Program::drivenosc: return drivenosc_names;
    case Program::rkstepper: break;
    }
    return rkstepper_names;
}

std::string make_setup(Program program, const std::map<std::string, double> &given, Setup &setup)
{
    setup.program = program;
    setup.values.clear();
    for (const Name &name : names_of(program)) {
        const auto found = given.find(name.name);
        setup.values[name.name] = found == given.end() ? name.fallback : found->second;
    }
    std::string why = program == Program::harmosc     ? harmosc_setup(setup)
                      : program == Program::drivenosc ? drivenosc_setup(setup)
                                                      : rkstepper_setup(setup);
    setup.steps = why.empty() ? steps_of(setup) : 0.0; // counted once: a running sum of up to 1e7
    if (why.empty() && !(setup.steps <= most_steps))
        why = "a análise vai até " + text(most_steps) + " passos, e esta execução dá " +
              text(setup.steps);
    return why;
}

std::vector<Row> rows_of(const Setup &setup, const Method &method)
{
    // Each program's own loop: its end test, and its row before (harmosc, drivenosc) or after
    // (rkstepper) the step.
    const double h = setup.h;
    double t = 0.0;
    double x = setup.motion.x0;
    double v = setup.motion.v0;
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(setup.steps) + 1);
    if (setup.program == Program::rkstepper) {
        for (double i = 0; i < value(setup, "N"); ++i) {
            method.step(setup.acceleration, h, t, x, v);
            t = t + h;
            rows.push_back({t, x, v});
        }
        return rows;
    }
    const double end = setup.program == Program::harmosc ? value(setup, "tf") : value(setup, "N") * h;
    while (end >= t) {
        rows.push_back({t, x, v});
        method.step(setup.acceleration, h, t, x, v);
        t = t + h;
    }
    return rows;
}

std::string data_text(const Setup &setup, const std::vector<Row> &rows)
{
    std::string text;
    char row[row_room(4)];
    for (const Row &r : rows) {
        const char *const end = layout_of(setup.program).columns == Columns::n_t_x_v
                                    ? format_row(row, r.t / setup.h, r.t, r.x, r.v)
                                    : format_row(row, r.t, r.x, r.v);
        text.append(row, static_cast<std::size_t>(end - row));
    }
    return text;
}

Row advance(const Setup &setup, const Method &method, double h, double steps)
{
    double t = 0.0;
    double x = setup.motion.x0;
    double v = setup.motion.v0;
    for (double i = 0; i < steps; ++i) {
        method.step(setup.acceleration, h, t, x, v);
        t = t + h;
    }
    return {t, x, v};
}

} // namespace osc
