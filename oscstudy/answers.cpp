#include "oscstudy/answers.hpp"

#include "oscstudy/wording.hpp"
#include "text/format.hpp"

#include <algorithm>
#include <cmath>

namespace osc {

namespace {

using Curves = std::vector<std::vector<double>>;

// A number as gnuplot reads it; "NaN", a point it leaves out, for one that is not finite.
std::string number(double value) { return std::isfinite(value) ? format("%.9g", value) : "NaN"; }

// The rows of `columns` as gnuplot reads them. A line of many points is cut into runs of two
// segments, each starting on the row that ended the one before: cairo strokes a run as one
// shape, in a time that grows faster than its points. Points drawn apart are not (`apart`).
std::string rows_text(const Curves &columns, bool apart = false)
{
    std::string text;
    const auto row = [&](std::size_t i) {
        for (std::size_t c = 0; c < columns.size(); ++c) text += (c == 0 ? "" : " ") + number(columns[c][i]);
        text += '\n';
    };
    for (std::size_t i = 0; !columns.empty() && i < columns[0].size(); ++i) {
        row(i);
        if (!apart && i % 2 == 0 && i > 0 && i + 1 < columns[0].size()) {
            text += '\n';
            row(i);
        }
    }
    return text;
}

// A datablock of gnuplot's: $name, its rows, and its end.
Datablock block(const char *name, const std::string &rows) { return {std::string("$") + name, rows}; }
Datablock block(const char *name, const Curves &columns) { return block(name, rows_text(columns)); }

// Rows (t, a, b) as columns.
Curves columns_of(const std::vector<Row> &rows)
{
    Curves columns(3);
    for (const Row &r : rows) {
        columns[0].push_back(r.t);
        columns[1].push_back(r.x);
        columns[2].push_back(r.v);
    }
    return columns;
}

// What a panel can draw of the columns after the first (t, h or wf): anything (a finite
// value), and on a log scale (a value above 0).
struct Drawable {
    bool any = false, logarithmic = false;
};
Drawable drawable(const Curves &columns)
{
    Drawable d;
    for (std::size_t c = 1; c < columns.size(); ++c)
        for (const double value : columns[c]) {
            d.any = d.any || std::isfinite(value);
            d.logarithmic = d.logarithmic || (std::isfinite(value) && value > 0.0);
        }
    return d;
}

bool any_finite(const std::vector<double> &values)
{
    return std::any_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// On a log scale values of 0 and below have no place; values of 0 everywhere are drawn as
// they are, on a linear one.
void for_log_scale(Curves &columns)
{
    for (std::size_t c = 1; c < columns.size(); ++c)
        for (double &value : columns[c])
            if (!(value > 0.0)) value = NAN;
}

// Puts the columns on a log scale where it is `wanted` and they hold a value for it: whether
// they are.
bool log_scaled(Curves &columns, bool wanted = true)
{
    const bool logarithmic = wanted && drawable(columns).logarithmic;
    if (logarithmic) for_log_scale(columns);
    return logarithmic;
}

// The question's series against t as the block $e, on a log scale where it is `wanted` and
// they hold a value for it, said to the figure: whether they are.
bool series_block(Curves &columns, bool wanted, Answer &answer)
{
    const bool logarithmic = log_scaled(columns, wanted);
    answer.blocks.push_back(block("e", columns));
    answer.settings.emplace_back("logarithmic", logarithmic ? 1 : 0);
    return logarithmic;
}

// Whether a Value of a finding exists, for the figure: 1 or 0.
int exists(const Value &value) { return value.absent == Absent::none && std::isfinite(value.value) ? 1 : 0; }

Answer begun(const Setup &setup, const char *question, const std::vector<Caption> &captions)
{
    Answer answer;
    answer.title = title_of(setup);
    answer.question = question;
    for (const Caption &c : captions) answer.blocks.push_back(block(c.name, c.line + "\n"));
    return answer;
}

// A mark across [from, to] at `height`, and at -height after it where `both`.
Datablock level(const char *name, double from, double to, double height, bool both)
{
    std::string rows = number(from) + " " + number(height) + "\n" + number(to) + " " + number(height) + "\n";
    if (both) rows += "\n" + number(from) + " " + number(-height) + "\n" + number(to) + " " + number(-height) + "\n";
    return block(name, rows);
}

// x against t in each window: the rows, as dots, and the exact motion drawn smooth through 500
// times of its own; and the window's range.
void motion_blocks(const Motion &m, const MotionWindows &w, Answer &answer)
{
    const ExactMotion exact = exact_motion(m);
    for (const bool first : {true, false}) {
        if (!first && !w.two) break;
        const double from = first ? w.first_from : w.last_from;
        std::vector<double> t;
        std::vector<double> x;
        for (int i = 0; i <= 500; ++i) {
            t.push_back(from + w.span * i / 500);
            x.push_back(exact_state(exact, t.back()).x);
        }
        const auto columns = columns_of(first ? w.first : w.last);
        answer.blocks.push_back(block(first ? "x" : "y", rows_text({columns[0], columns[1]}, true)));
        answer.blocks.push_back(block(first ? "xe" : "ye", {t, x}));
        answer.settings.emplace_back(first ? "first_from" : "last_from", from);
        answer.settings.emplace_back(first ? "first_to" : "last_to", from + w.span);
    }
    answer.settings.emplace_back("two", w.two ? 1 : 0);
}

// The period measured, from the peak at `t` one period on (or back, where `back`), in the
// window `name`.
void period_mark(const char *name, double t, double peak, const Value &period, bool back, Answer &answer)
{
    const bool shown = exists(period) == 1 && std::isfinite(t) && std::isfinite(peak);
    answer.settings.emplace_back(name, shown ? 1 : 0);
    if (!shown) return;
    const double other = back ? t - period.value : t + period.value;
    answer.blocks.push_back(level(name, std::min(t, other), std::max(t, other), peak, false));
}

} // namespace

namespace {

// The finding of a question on the source's rows, the answer begun with its words and its
// figure's blocks; "" or why the data file is not the run's rows.
template <typename Finding>
std::string answered(const Source &source, const char *question, Answer &answer,
                     std::string (*find)(const Source &, Finding &),
                     std::string (*text)(const Setup &, const Finding &, const std::string &),
                     std::vector<Caption> (*captions)(const Finding &),
                     void (*figure)(const Finding &, Answer &))
{
    Finding found;
    if (std::string why = find(source, found); !why.empty()) return why;
    answer = begun(source.setup, question, captions(found));
    answer.text = text(source.setup, found, source.file);
    figure(found, answer);
    return "";
}

// The error's envelope against t, with the one the step's factor predicts where it does.
void error_figure(const ErrorFinding &found, Answer &answer)
{
    Curves columns = columns_of(found.envelope);
    const bool predicted = !found.predicted_envelope.empty();
    columns.push_back(predicted ? found.predicted_envelope : std::vector<double>(found.envelope.size(), NAN));
    series_block(columns, true, answer);
    answer.settings.emplace_back("drawn", any_finite(columns[1]) || any_finite(columns[2]) ? 1 : 0);
    answer.settings.emplace_back("predicted", any_finite(columns[3]) ? 1 : 0);
    answer.settings.emplace_back("steady", exists(found.steady_gap));
    answer.settings.emplace_back("gap", exists(found.steady_gap) == 1 ? found.steady_gap.value : 0.0);
}

// The energy against t, computed and exact, and their difference.
void energy_figure(const EnergyFinding &found, Answer &answer)
{
    Curves energy = columns_of(found.series);
    const bool logarithmic = series_block(energy, found.logarithmic, answer);
    // Their difference on the same scale: its size, where the energy spans decades.
    Curves apart = columns_of(found.apart_series);
    if (logarithmic) {
        for (double &d : apart[1]) d = std::fabs(d);
        for_log_scale(apart);
    }
    answer.blocks.push_back(block("d", apart));
    answer.settings.emplace_back("rest", found.from_rest ? 1 : 0);
    answer.settings.emplace_back("drawn", found.series.empty() ? 0 : 1);
    answer.settings.emplace_back("envelope", any_finite(apart[2]) ? 1 : 0);
    answer.settings.emplace_back("apart", any_finite(apart[1]) ? 1 : 0);
}

} // namespace

std::string answer_error(const Source &source, Answer &answer)
{
    return answered(source, "erro", answer, find_error, error_text, error_captions, error_figure);
}

std::string answer_energy(const Source &source, Answer &answer)
{
    return answered(source, "energia", answer, find_energy, energy_text, energy_captions,
                    energy_figure);
}

std::string answer_period(const Source &source, Answer &answer)
{
    const Setup &setup = source.setup;
    const bool driven = setup.motion.f != 0.0;
    PeriodFinding free{};
    SteadyFinding steady;
    std::string why = driven ? find_steady(source, steady) : find_period(source, free);
    if (!why.empty()) return why;
    answer = begun(setup, "periodo", driven ? steady_captions(steady) : period_captions(free));
    answer.text = driven ? steady_text(setup, steady, source.file) : period_text(setup, free, source.file);
    const MotionWindows &w = driven ? steady.windows : free.windows;
    motion_blocks(setup.motion, w, answer);
    // The period from the first peak on, in the first window, and back from the last peak, in
    // the last; driven, in the last window only, where the motion is steady. Rows that do not
    // oscillate, or that the step makes diverge, have none to mark.
    const Value period = free.kind == PeriodFinding::Kind::defined && !free.unstable
                             ? free.measured
                             : missing(Absent::no_oscillation);
    period_mark("first_period", driven ? NAN : free.first_peak_t, free.first_peak.value, period, false, answer);
    const double last_t = driven ? steady.last_peak_t : free.last_peak_t;
    const double last = driven ? steady.last_peak : free.last_peak.value;
    period_mark("last_period", last_t, last, driven ? steady.period : period, true, answer);
    // The steady amplitude, ±A across the steady rows of the last window.
    const int amplitude = driven ? exists(steady.amplitude) : 0;
    answer.settings.emplace_back("amplitude", amplitude);
    if (amplitude == 1) {
        const double from = w.two ? w.last_from : w.first_from;
        answer.blocks.push_back(level("amplitude", std::max(from, steady.from), from + w.span,
                                      steady.amplitude.value, true));
    }
    return "";
}

Answer answer_resonance(const Setup &setup, double low, double high)
{
    const ResonanceFinding found = find_resonance(setup, low, high);
    Answer answer = begun(setup, "ressonancia", resonance_captions(found));
    answer.text = resonance_text(setup, found);
    std::vector<double> wf;
    std::vector<double> measured;
    std::vector<double> phase;
    for (const MeasuredPoint &p : found.points)
        if (p.measured.absent == Absent::none) {
            wf.push_back(p.wf);
            measured.push_back(p.measured.value);
            phase.push_back(p.phase.value);
        }
    // Curves that span more than three decades (a peak without damping) on a log scale.
    double lowest = INFINITY;
    double top = 0.0;
    for (const std::vector<double> *curve : {&found.exact_curve, &found.method_curve})
        for (const double a : *curve)
            if (std::isfinite(a) && a > 0.0) {
                lowest = std::min(lowest, a);
                top = std::max(top, a);
            }
    const bool logarithmic = top > 1e3 * lowest;
    answer.blocks.push_back(block("c", {found.wf, found.exact_curve, found.method_curve, found.exact_phase,
                                        found.method_phase}));
    answer.blocks.push_back(block("p", rows_text({wf, measured, phase}, true)));
    const PeakFinding &e = found.exact;
    const PeakFinding &c = found.method;
    // Each peak marked where the range shows it (the method's, at the first of its repeats there).
    const auto shown = [](const PeakFinding &p) {
        return p.kind == PeakFinding::Kind::peak && p.place.where == Placed::Where::inside ? p.place.at : NAN;
    };
    answer.blocks.push_back(block("peak", number(shown(e)) + " " + number(e.height.value) + "\n"));
    answer.blocks.push_back(block("method_peak", number(shown(c)) + " " + number(c.height.value) + "\n"));
    answer.blocks.push_back(level("width", e.low.value, e.high.value, e.height.value / std::sqrt(2.0), false));
    answer.settings.emplace_back("points", static_cast<int>(wf.size()));
    answer.settings.emplace_back("method_curve", c.kind == PeakFinding::Kind::never_settles ? 0 : 1);
    answer.settings.emplace_back("logarithmic", logarithmic ? 1 : 0);
    answer.settings.emplace_back("peak", std::isfinite(shown(e)) ? exists(e.height) : 0);
    answer.settings.emplace_back("method_peak", std::isfinite(shown(c)) ? exists(c.height) : 0);
    answer.settings.emplace_back("width", exists(e.width));
    return answer;
}

Answer answer_methods(const Setup &setup)
{
    const MethodsFinding found = find_methods(setup);
    Answer answer = begun(setup, "metodos", methods_captions(found));
    answer.text = methods_text(setup, found);
    std::string errors;
    std::string motion_rows;
    Curves sizes(3);  // every error drawn, for the scale
    // |E/E0 - 1| (E where E0 = 0) and |x - x_exact| against t, for log scales.
    std::vector<Curves> energies;
    std::vector<Curves> deviations;
    for (const MethodFinding &method : found.methods) {
        // Beside each error, the line of the method's nominal slope through the smallest step's
        // that counts for its order, and the order that labels it; none where no error counts.
        Run anchor{NAN, NAN, 0.0};
        for (const Run &run : method.counted)
            if (measured(run)) anchor = run;
        for (const Run &run : method.runs) {
            const double reference = std::fabs(anchor.error) * std::pow(run.h / anchor.h, method.method->order);
            errors += number(run.h) + " " + number(std::fabs(run.error)) + " " + number(reference) + " " +
                      std::to_string(method.method->order) + "\n";
            sizes[1].push_back(std::fabs(run.error));
            sizes[2].push_back(reference);
        }
        errors += "\n\n";
        const Curves series = columns_of(method.series);
        motion_rows += rows_text({series[0], series[1]}) + "\n\n";
        energies.push_back({series[0], {}});
        for (const double e : series[2]) energies.back()[1].push_back(std::fabs(e));
        deviations.push_back({series[0], method.x_error});
    }
    // One gnuplot index per method, in the table's order, each scale as its values allow.
    const auto indices = [&](const char *name, const char *drawn, std::vector<Curves> &all) {
        Drawable d;
        for (const Curves &columns : all) {
            d.any = d.any || drawable(columns).any;
            d.logarithmic = d.logarithmic || drawable(columns).logarithmic;
        }
        std::string rows;
        for (Curves &columns : all) {
            if (d.logarithmic) for_log_scale(columns);
            rows += rows_text(columns) + "\n\n";
        }
        answer.blocks.push_back(block(name, rows));
        answer.settings.emplace_back(drawn, d.any ? 1 : 0);
        answer.settings.emplace_back((std::string(drawn) + "_log").c_str(), d.logarithmic ? 1 : 0);
    };
    indices("E", "drawn_energy", energies);
    indices("D", "drawn_error", deviations);
    const auto exact = columns_of(found.exact);
    for (Datablock b : {block("o", errors), block("X", motion_rows), block("x", {exact[0], exact[1]})})
        answer.blocks.push_back(std::move(b));
    // x(t) on the scale of the exact motion and the stable methods', with room, where an
    // unstable method passes ten times it: the others would be a flat line.
    double size = 0.0;
    double furthest = 0.0;
    for (const double x : exact[1]) size = std::max(size, std::fabs(x));
    for (const MethodFinding &method : found.methods) {
        double &largest = method.unstable ? furthest : size;
        for (const Row &r : method.series) largest = std::max(largest, std::fabs(r.x));
    }
    answer.settings.emplace_back("clip", furthest > 10 * size && size > 0.0 ? 1.5 * size : 0.0);
    const Drawable d = drawable(sizes);
    answer.settings.emplace_back("logarithmic", d.logarithmic ? 1 : 0);
    answer.settings.emplace_back("drawn", d.any ? 1 : 0);
    answer.settings.emplace_back("rest", found.from_rest ? 1 : 0);
    return answer;
}

} // namespace osc
