#include "oscstudy/answers.hpp"

#include "oscstudy/wording.hpp"
#include "text/format.hpp"

#include <algorithm>
#include <cmath>

namespace osc {

namespace {

// A number as gnuplot reads it; "NaN", a point it leaves out, for one that is not finite.
std::string number(double value) { return std::isfinite(value) ? format("%.9g", value) : "NaN"; }

// The rows of `columns` as gnuplot reads them. A line of many points is cut into runs of two
// segments, each starting on the row that ended the one before: cairo strokes a run as one
// shape, in a time that grows faster than its points.
std::string rows_text(const std::vector<std::vector<double>> &columns)
{
    std::string text;
    const auto row = [&](std::size_t i) {
        for (std::size_t c = 0; c < columns.size(); ++c) text += (c == 0 ? "" : " ") + number(columns[c][i]);
        text += '\n';
    };
    for (std::size_t i = 0; !columns.empty() && i < columns[0].size(); ++i) {
        row(i);
        if (i % 2 == 0 && i > 0 && i + 1 < columns[0].size()) {
            text += '\n';
            row(i);
        }
    }
    return text;
}

// A datablock of gnuplot's: $name, its rows, and its end.
Datablock block(const char *name, const std::string &rows) { return {std::string("$") + name, rows}; }
Datablock block(const char *name, const std::vector<std::vector<double>> &columns)
{
    return block(name, rows_text(columns));
}

// Rows (t, a, b) as columns.
std::vector<std::vector<double>> columns_of(const std::vector<Row> &rows)
{
    std::vector<std::vector<double>> columns(3);
    for (const Row &r : rows) {
        columns[0].push_back(r.t);
        columns[1].push_back(r.x);
        columns[2].push_back(r.v);
    }
    return columns;
}

// Whether a value of columns 2 and on is finite, and above 0 (for a log scale to show).
bool any_finite(const std::vector<Row> &rows, bool positive)
{
    const auto shown = [&](double value) { return std::isfinite(value) && (!positive || value > 0.0); };
    return std::any_of(rows.begin(), rows.end(), [&](const Row &r) { return shown(r.x) || shown(r.v); });
}

Answer begun(const Setup &setup, const char *question)
{
    Answer answer;
    answer.title = title_of(setup);
    answer.question = question;
    return answer;
}

// x against t over the first and the last periods, and the exact motion drawn smooth through
// 500 times of its own in each.
void motion_blocks(const Motion &m, const MotionWindows &w, Answer &answer)
{
    const ExactMotion exact = exact_motion(m);
    for (const bool first : {true, false}) {
        const double from = first ? w.first_from : w.last_from;
        std::vector<double> t;
        std::vector<double> x;
        for (int i = 0; i <= 500; ++i) {
            t.push_back(from + w.span * i / 500);
            x.push_back(exact_state(exact, t.back()).x);
        }
        const auto columns = columns_of(first ? w.first : w.last);
        answer.blocks.push_back(block(first ? "x" : "y", {columns[0], columns[1]}));
        answer.blocks.push_back(block(first ? "xe" : "ye", {t, x}));
    }
}

} // namespace

std::string answer_error(const Source &source, Answer &answer)
{
    ErrorFinding found;
    if (std::string why = find_error(source, found); !why.empty()) return why;
    answer = begun(source.setup, "erro");
    answer.text = error_text(source.setup, found, source.file);
    // On a log scale errors of 0 have no place; errors of 0 everywhere are drawn as they are.
    std::vector<Row> envelope = found.envelope;
    const bool logarithmic = any_finite(envelope, true);
    if (logarithmic)
        for (Row &r : envelope) {
            if (r.x == 0.0) r.x = NAN;
            if (r.v == 0.0) r.v = NAN;
        }
    answer.blocks.push_back(block("e", columns_of(envelope)));
    answer.settings.emplace_back("logarithmic", logarithmic ? 1 : 0);
    answer.settings.emplace_back("drawn", any_finite(envelope, false) ? 1 : 0);
    return "";
}

std::string answer_energy(const Source &source, Answer &answer)
{
    EnergyFinding found;
    if (std::string why = find_energy(source, found); !why.empty()) return why;
    answer = begun(source.setup, "energia");
    answer.text = energy_text(source.setup, found, source.file);
    answer.blocks.push_back(block("e", columns_of(found.series)));
    answer.settings.emplace_back("rest", found.start == 0.0 ? 1 : 0);
    answer.settings.emplace_back("drawn", found.series.empty() ? 0 : 1);
    return "";
}

std::string answer_period(const Source &source, Answer &answer)
{
    const Setup &setup = source.setup;
    const bool driven = setup.motion.f != 0.0;
    PeriodFinding free;
    SteadyFinding steady;
    std::string why = driven ? find_steady(source, steady) : find_period(source, free);
    if (!why.empty()) return why;
    answer = begun(setup, "periodo");
    answer.text = driven ? steady_text(setup, steady, source.file) : period_text(setup, free, source.file);
    motion_blocks(setup.motion, driven ? steady.windows : free.windows, answer);
    return "";
}

Answer answer_resonance(const Setup &setup, double low, double high)
{
    const ResonanceFinding found = find_resonance(setup, low, high);
    Answer answer = begun(setup, "ressonancia");
    answer.text = resonance_text(setup, found);
    std::vector<double> wf;
    std::vector<double> measured;
    for (const MeasuredPoint &p : found.points)
        if (p.measured.absent == Absent::none) {
            wf.push_back(p.wf);
            measured.push_back(p.measured.value);
        }
    answer.blocks = {block("c", {found.wf, found.exact_curve, found.method_curve}),
                     block("p", {wf, measured})};
    answer.settings.emplace_back("points", static_cast<int>(wf.size()));
    answer.settings.emplace_back("method_curve", found.method.kind == PeakFinding::Kind::never_settles ? 0 : 1);
    return answer;
}

Answer answer_methods(const Setup &setup)
{
    const MethodsFinding found = find_methods(setup);
    Answer answer = begun(setup, "metodos");
    answer.text = methods_text(setup, found);
    std::string errors;
    std::string energy_rows;
    std::string motion_rows;
    std::string names; // one a line, for the figure's keys
    std::vector<Row> sizes; // every error drawn, for the scale
    bool energy_drawn = false;
    for (const MethodFinding &m : found.methods) {
        names += std::string(m.method->name) + "\n";
        // Beside each error, the line of the method's nominal slope through the smallest step's.
        const Run &anchor = m.runs.back();
        for (const Run &run : m.runs) {
            const double reference = std::fabs(anchor.error) * std::pow(run.h / anchor.h, m.method->order);
            errors += number(run.h) + " " + number(std::fabs(run.error)) + " " + number(reference) + "\n";
            sizes.push_back({run.h, std::fabs(run.error), reference});
        }
        errors += "\n\n";
        energy_drawn = energy_drawn || !m.series.empty();
        const auto columns = columns_of(m.series);
        // One gnuplot index per method, in the table's order.
        energy_rows += rows_text({columns[0], columns[2]}) + "\n\n";
        motion_rows += rows_text({columns[0], columns[1]}) + "\n\n";
    }
    const auto exact = columns_of(found.exact);
    answer.blocks = {block("o", errors), block("E", energy_rows), block("X", motion_rows),
                     block("x", {exact[0], exact[1]}), block("names", names)};
    answer.settings.emplace_back("logarithmic", any_finite(sizes, true) ? 1 : 0);
    answer.settings.emplace_back("drawn", any_finite(sizes, false) ? 1 : 0);
    answer.settings.emplace_back("drawn_energy", energy_drawn ? 1 : 0);
    const Motion &m = setup.motion;
    answer.settings.emplace_back("rest", energy(m, m.x0, m.v0) == 0.0 ? 1 : 0);
    return answer;
}

} // namespace osc
