#include "oscstudy/setup.hpp"

#include "checking/judge.hpp"
#include "dataformat/rows.hpp"
#include "dataformat/student_rows.hpp"
#include "disk/datafile.hpp"
#include "oscstudy/study.hpp"
#include "oscstudy/wording.hpp"
#include "programs/programs.hpp"
#include "stepmath/time_grid.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"
#include "text/refusals.hpp"
#include "text/written_alike.hpp"
#include "warnings/program_checks.hpp"

#include <cmath>

namespace osc {

namespace {

double value(const Setup &setup, const char *name) { return setup.values.at(name); }

std::string harmosc_setup(Setup &s)
{
    const double k = value(s, "k");
    const double m = value(s, "m");
    const double tf = value(s, "tf");
    if (!(m > 0.0) || !(k >= 0.0))
        return "k = " + text(k) + " e m = " + text(m) + ": o estudo precisa de m > 0 e k >= 0";
    const Motion motion = harmosc::motion(k, m, value(s, "b"), value(s, "x0"), value(s, "v0"));
    if (!judgeable(motion.w0, motion.beta))
        return "w0 = sqrt(k/m) = " + text(motion.w0) + " e β = b/(2m) = " + text(motion.beta) +
               ": o estudo precisa de w0² e 2β finitos";
    s.h = harmosc::h;
    if (tf >= stall_time(s.h)) return never_reached(tf, s.h);
    s.motion = motion;
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

// A count in full digits, as a student counts steps.
std::string count_text(double count)
{
    return count < 1e15 ? format("%.0f", count) : text(count);
}

// The steps from t = 0 to the program's last row, its rows and their first and last times,
// as the running sum of h takes them; past twice `most` steps, the count is estimated and not
// run.
void count_rows(Setup &s, double most)
{
    const double h = s.h;
    s.first_t = s.last_t = NAN;
    if (s.program == Program::rkstepper) {
        s.steps = s.rows = value(s, "N");
        if (s.rows == 0.0 || s.rows > most) return;
        s.first_t = h;
        s.last_t = running_sum(h, s.rows);
        return;
    }
    const double end = s.program == Program::harmosc ? value(s, "tf") : value(s, "N") * h;
    s.steps = s.rows = 0.0;
    if (!(end >= 0.0)) return;
    s.steps = whole_steps(h, end);
    s.rows = s.steps + 1.0;
    if (s.steps > 2.0 * most) return;
    double steps = -1.0;
    double t = 0.0;
    for (; end >= t; t = t + h) {
        ++steps;
        s.last_t = t;
    }
    s.steps = steps;
    s.rows = steps + 1.0;
    s.first_t = 0.0;
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

int choice_of_file(const std::string &path)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    const auto &files = drivenosc::layout.files;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (files[i] != nullptr && name == files[i]) return static_cast<int>(i) + 1;
    return 0;
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

std::string make_setup(Program program, const std::map<std::string, double> &given, Setup &setup,
                       double most)
{
    setup.program = program;
    setup.values.clear();
    for (const Name &name : names_of(program)) {
        const auto found = given.find(name.name);
        setup.values[name.name] = found == given.end() ? name.fallback : found->second;
    }
    setup.steps = setup.rows = 0.0;
    setup.first_t = setup.last_t = NAN;
    std::string why = program == Program::harmosc     ? harmosc_setup(setup)
                      : program == Program::drivenosc ? drivenosc_setup(setup)
                                                      : rkstepper_setup(setup);
    if (!why.empty()) return why;
    count_rows(setup, most);
    if (setup.steps > most)
        return "a análise vai até " + count_text(most) + " passos" +
               (most < most_study_steps ? " (cada método corre também com h/2, h/4 e h/8)" : "") +
               ", e esta execução dá " + count_text(setup.steps);
    return "";
}

void check_run(const char *speaker, const Setup &setup)
{
    const Speaker says{speaker, std::nullopt};
    const Motion &m = setup.motion;
    const auto value_of = [&](const char *name) { return value(setup, name); };
    switch (setup.program) {
    case Program::harmosc:
        harmosc_checks(says, m, value_of("k"), value_of("m"), value_of("b"), value_of("tf"));
        return;
    case Program::drivenosc:
        drivenosc_checks(says, static_cast<int>(value_of("escolha")), m, value_of("N"), setup.h);
        return;
    case Program::rkstepper: break;
    }
    rkstepper_checks(says, m, static_cast<int>(value_of("N")), setup.h);
}

RunRows::RunRows(const Setup &setup, const Method &method)
    : setup_(setup), method_(method), x_(setup.motion.x0), v_(setup.motion.v0)
{
}

bool RunRows::next(Row &row)
{
    // Each program's own loop: its end test, and its row before (harmosc, drivenosc) or after
    // (rkstepper) the step; a step is taken when the row after it is asked for.
    if (taken_ >= setup_.rows) return false;
    if (setup_.program == Program::rkstepper || taken_ > 0.0) {
        method_.step(setup_.acceleration, setup_.h, t_, x_, v_);
        t_ = t_ + setup_.h;
    }
    row = {t_, x_, v_};
    taken_ += 1.0;
    return true;
}

Equation equation_of(const Setup &setup, const std::map<std::string, double> &given)
{
    const auto named = [&](const char *name) {
        return given.count(name) != 0 ? setup.values.at(name) : NAN;
    };
    const bool harmosc = setup.program == Program::harmosc;
    return {setup.acceleration,
            setup.motion,
            given.count("x0") != 0 || given.count("v0") != 0,
            harmosc ? NAN : named("h"),
            harmosc ? named("tf") : NAN,
            harmosc ? NAN : named("N"),
            setup.program == Program::rkstepper};
}

ChoiceFound choice_of_rows(std::map<std::string, double> values,
                           const std::map<std::string, double> &given, const std::string &file,
                           bool rk4_only)
{
    ChoiceFound found;
    const auto tried = values.find("escolha");
    const int skip = tried == values.end() ? 0 : static_cast<int>(tried->second);
    for (int choice = 1; choice <= 3; ++choice) {
        if (choice == skip) continue;
        values["escolha"] = choice;
        Setup setup;
        if (!make_setup(Program::drivenosc, values, setup).empty()) continue;
        FileCheck check = check_file(file, equation_of(setup, given));
        const bool some = !rk4_only && !check.matched().empty() && found.choice == 0;
        if (!check.rk4_matched() && !some) continue;
        found = {choice, std::move(check)};
        if (found.check.rk4_matched()) break;
    }
    return found;
}

std::map<std::string, double> values_of_file(Program program, const std::string &file,
                                             const std::map<std::string, double> &given)
{
    std::map<std::string, double> taken;
    StudentFile reader;
    const StudentShape shape = reader.survey(file);
    const StepFound step = shape.fault == ShapeFault::none ? step_of(shape, reader) : StepFound{};
    if (shape.fault != ShapeFault::none || step.fault != TimeFault::none) return taken;
    const auto take = [&](const char *name, double value) {
        if (given.count(name) == 0) taken[name] = value;
    };
    if (step.from_start && program != Program::rkstepper) {
        take("x0", shape.first.x);
        take("v0", shape.first.v);
    }
    const double steps = shape.rows - (step.from_start ? 1 : 0);
    if (program != Program::harmosc) take("N", steps);
    if (program == Program::drivenosc)
        if (const int choice = choice_of_file(file); choice != 0) take("escolha", choice);
    std::map<std::string, double> values = given;
    values.insert(taken.begin(), taken.end());
    // The step, exact where the file's check finds it so; drivenosc's escolha, where its name
    // does not say it, the one whose RK4 gives the rows.
    const bool step_taken = program != Program::harmosc && given.count("h") == 0;
    if (step_taken) values["h"] = step.h;
    const auto exact = [&](const FileCheck &check) {
        if (step_taken && check.spread == 0 && check.rk4_matched()) take("h", check.h);
    };
    if (program == Program::drivenosc && values.count("escolha") == 0) {
        const ChoiceFound found = choice_of_rows(values, given, file, true);
        if (found.choice != 0) take("escolha", found.choice);
        exact(found.check);
    } else if (step_taken && step.spread > 0) {
        Setup setup;
        if (make_setup(program, values, setup).empty())
            exact(check_file(file, equation_of(setup, {})));
    }
    if (step_taken && taken.count("h") == 0) take("h", step.h);
    const double h = program == Program::harmosc ? harmosc::h
                     : step_taken                ? taken.at("h")
                                                 : given.at("h");
    const double last = running_sum(h, steps); // the time of the last row
    // harmosc writes while t <= tf: any tf from the last row's time to the next one's gives
    // its rows, and the shortest of them is the one a student typed. drivenosc writes while
    // t <= N·h: half a step more where the running sum ends past steps·h.
    if (program == Program::harmosc)
        take("tf", shortest_decimal(last, std::nextafter(last + h, -INFINITY)));
    if (program == Program::drivenosc && given.count("N") == 0 && last > steps * h)
        taken["N"] = steps + 0.5;
    return taken;
}

std::string file_rows(const Setup &setup, const std::string &file,
                      const std::function<void(const Row &, double)> &take,
                      std::array<Writing, 3> *writing)
{
    FileFault fault;
    const auto refused = [&](FileFault::Kind kind) {
        fault.kind = kind;
        // A step or a row that is not the run's: what the rows are, against the catalogue.
        if (kind == FileFault::Kind::time || kind == FileFault::Kind::departs) {
            fault.cause = check_file(file, {setup.acceleration, setup.motion, true});
            if (setup.program == Program::drivenosc)
                fault.choice = choice_of_rows(setup.values, {}, file, true).choice;
        }
        return file_fault_text(setup, fault);
    };
    StudentFile reader;
    fault.shape = reader.survey(file);
    if (fault.shape.fault != ShapeFault::none) return refused(FileFault::Kind::shape);
    if (being_written(file)) return refused(FileFault::Kind::being_written);
    if (fault.shape.cut) return refused(FileFault::Kind::cut);
    const std::array<Writing, 3> &written = fault.shape.writing;
    if (writing != nullptr) *writing = written;
    RunRows run(setup, programs_method);
    double scale_x = std::fabs(setup.motion.x0);
    double scale_v = std::fabs(setup.motion.v0);
    // What is wrong with the next row of the file, `row`, held against the run's, `computed`.
    const auto fault_of = [&](const Row &row, Row &computed) {
        using Kind = FileFault::Kind;
        if (!run.next(computed)) return Kind::more_rows;
        const double drift = order_rounding * fault.line;
        if (!agrees(row.t, computed.t, written[0], drift * std::fabs(computed.t)))
            return Kind::time;
        if (!finite(row)) {
            fault.column = std::isfinite(row.x) ? 2 : 1;
            return finite(computed) ? Kind::not_number : Kind::not_finite;
        }
        // The rows at t = 0 hold x0 and v0: the exact motion must start where the run did.
        if (fault.line == 1 && setup.program != Program::rkstepper &&
            (!agrees(row.x, setup.motion.x0, written[1], 0.0) ||
             !agrees(row.v, setup.motion.v0, written[2], 0.0)))
            return Kind::start;
        scale_x = std::max(scale_x, std::fabs(computed.x));
        scale_v = std::max(scale_v, std::fabs(computed.v));
        fault.column = agrees(row.x, computed.x, written[1], drift * scale_x) ? 2 : 1;
        return fault.column == 1 || !agrees(row.v, computed.v, written[2], drift * scale_v)
                   ? Kind::departs
                   : Kind::none;
    };
    const bool read = reader.rows(fault.shape, [&](const Row &row, std::size_t) {
        fault.line += 1;
        fault.held = row;
        fault.kind = fault_of(row, fault.computed);
        if (fault.kind != FileFault::Kind::none) return false;
        take({fault.computed.t, row.x, row.v}, rounding(written[1], row.x));
        return true;
    });
    if (fault.kind != FileFault::Kind::none) return refused(fault.kind);
    if (!read || being_written(file))
        return refused(fault.shape.fault == ShapeFault::unreadable
                           ? FileFault::Kind::shape
                           : FileFault::Kind::being_written);
    fault.rows = fault.line;
    if (fault.line < setup.rows) return refused(FileFault::Kind::fewer_rows);
    return "";
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
