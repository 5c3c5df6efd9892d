#include "oscstudy/answers.hpp"

#include "oscstudy/study.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"
#include "text/format.hpp"
#include "thinning/thinning.hpp"

#include <cmath>

namespace osc {

namespace {

std::string g(double value, int digits = 6) { return format("%.*g", digits, value); }

// The rows of `columns` as gnuplot reads them, missing values as NaN. A line of many points
// is cut into runs of two segments, each starting on the row that ended the one before: cairo
// strokes a run as one shape, in a time that grows faster than its points.
std::string rows_text(const std::vector<std::vector<double>> &columns)
{
    std::string text;
    const auto row = [&](std::size_t i) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            text += format(c == 0 ? "%.9g" : " %.9g", columns[c][i]);
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

// Rows (t, a, b) with only what a figure can show kept.
std::vector<std::vector<double>> thinned(const std::vector<Row> &rows)
{
    std::vector<std::vector<double>> columns(3);
    for (const Row &r : thin_time(rows)) {
        columns[0].push_back(r.t);
        columns[1].push_back(r.x);
        columns[2].push_back(r.v);
    }
    return columns;
}

// A line of a table: the first cell to the left in `first` columns, the others to the right in
// `width` each, one space apart.
std::string line(std::size_t first, std::size_t width, const std::vector<std::string> &cells)
{
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::size_t room = i == 0 ? first : width;
        const std::string pad(room > columns(cells[i]) ? room - columns(cells[i]) : 0, ' ');
        text += i == 0 ? cells[i] + pad : " " + pad + cells[i];
    }
    return text + "\n";
}

// The largest sizes (a, b) of each of 1000 runs of rows, at the first row's time: the envelope
// that a log scale shows of errors that swing through zero every half period.
std::vector<std::vector<double>> envelope(const std::vector<Row> &sizes)
{
    const std::size_t runs = 1000;
    const std::size_t length = sizes.size() / runs + 1;
    std::vector<std::vector<double>> columns(3);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (i % length == 0) {
            columns[0].push_back(sizes[i].t);
            columns[1].push_back(NAN);
            columns[2].push_back(NAN);
        }
        columns[1].back() = std::fmax(columns[1].back(), sizes[i].x);
        columns[2].back() = std::fmax(columns[2].back(), sizes[i].v);
    }
    return columns;
}

// The rows a table shows: eleven spread over the run, the first and the last included.
std::vector<std::size_t> shown_rows(std::size_t count)
{
    std::vector<std::size_t> shown;
    const std::size_t most = 10;
    for (std::size_t k = 0; count > 0 && k <= most; ++k) {
        const std::size_t i = count <= most ? k : k * (count - 1) / most;
        if (i >= count) break;
        if (shown.empty() || shown.back() != i) shown.push_back(i);
    }
    return shown;
}

// The line for rows read from a file: six digits hide what is below their rounding.
std::string six_digits(const Source &source, double typical)
{
    if (source.file.empty()) return "";
    return format("as linhas vêm de %s, com seis algarismos: o que estiver abaixo de %.2g "
                  "(meia unidade do sexto algarismo de %s) não se vê\n",
                  source.file.c_str(), rounding_of(typical), g(typical).c_str());
}

bool driven(const Motion &m) { return m.f != 0.0; }

Answer begun(const Setup &setup, const char *question)
{
    Answer answer;
    answer.title = title_of(setup);
    answer.question = question;
    return answer;
}

} // namespace

std::string title_of(const Setup &setup)
{
    std::string title = std::string(layout_of(setup.program).program) + ":";
    const char *separator = " ";
    for (const Name &name : names_of(setup.program)) {
        title += separator + std::string(name.name) + " = " + g(setup.values.at(name.name));
        separator = ", ";
    }
    if (setup.program == Program::harmosc) title += "; h = " + g(setup.h);
    if (driven(setup.motion)) title += " (wf = " + g(setup.motion.wf) + ")";
    return title;
}

Answer answer_error(const Setup &setup, const Source &source)
{
    Answer answer = begun(setup, "erro");
    const std::vector<Row> &rows = source.rows;
    const std::vector<Row> exact = exact_rows(setup.motion, rows);
    std::vector<double> ex;
    std::vector<double> ev;
    std::vector<Row> sizes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ex.push_back(rows[i].x - exact[i].x);
        ev.push_back(rows[i].v - exact[i].v);
        const auto positive = [](double e) { return e != 0.0 ? std::fabs(e) : NAN; };
        sizes.push_back({rows[i].t, positive(ex.back()), positive(ev.back())});
    }
    std::string &text = answer.text;
    text = answer.title + format(" (%zu linhas)\n", rows.size());
    text += line(12, 14, {"t", "x", "x exato", "x - x exato", "v - v exato"});
    for (const std::size_t i : shown_rows(rows.size()))
        text += line(12, 14, {g(rows[i].t), g(rows[i].x), g(exact[i].x), g(ex[i], 3), g(ev[i], 3)});
    const std::size_t ix = largest_at(ex);
    const std::size_t iv = largest_at(ev);
    const std::size_t last = rows.size() - 1;
    const double predicted = predicted_largest_error(setup.motion, setup.h, setup.steps);
    text += format("maior |x - x exato|: %.3g em t = %s", std::fabs(ex[ix]), g(rows[ix].t).c_str());
    if (!std::isnan(predicted))
        text += format(" (o fator de um passo, R(i·h·w0), prevê %.3g)", predicted);
    text += format("\nmaior |v - v exato|: %.3g em t = %s\n", std::fabs(ev[iv]), g(rows[iv].t).c_str());
    text += format("na última linha, t = %s: x - x exato = %.3g, v - v exato = %.3g\n",
                   g(rows[last].t).c_str(), ex[last], ev[last]);
    double typical = 0.0;
    for (const Row &r : rows) typical = std::max(typical, std::fabs(r.x));
    text += six_digits(source, typical);
    const double grows = growth(ex);
    // A file's rows hide an error that stays within twice its rounding.
    if (!source.file.empty() && std::fabs(ex[ix]) <= 2 * rounding_of(typical))
        text += format("resposta: o erro que se vê, %.2g, é o arredondamento dos seis algarismos "
                       "escritos e não o do método: estas linhas não mostram mais; o oscstudy sem "
                       "ficheiro= calcula-o em precisão dupla\n", std::fabs(ex[ix]));
    else if (grows > 1.3 && !driven(setup.motion))
        text += format("resposta: o erro cresce com t, perto de linearmente (na segunda metade da "
                       "execução chega a %.2g vezes o maior da primeira): cada passo desvia a fase "
                       "e a amplitude um pouco, e os desvios somam-se\n", grows);
    else if (driven(setup.motion))
        text += format("resposta: o erro fica limitado (na segunda metade é %.2g vezes o maior da "
                       "primeira): o transitório decai e fica a diferença entre o regime "
                       "estacionário calculado e o exato, |Y - X| = %.2g\n",
                       grows, std::abs(rk4_response(setup.motion.w0, setup.motion.beta, setup.motion.f,
                                                    setup.motion.wf, setup.h) -
                                       steady_amplitude(setup.motion)));
    else
        text += format("resposta: o erro fica limitado (na segunda metade é %.2g vezes o maior da "
                       "primeira)%s\n", grows,
                       setup.motion.beta > 0.0 ? " e apaga-se com o próprio movimento amortecido" : "");
    answer.blocks.push_back(block("e", envelope(sizes)));
    return answer;
}

Answer answer_energy(const Setup &setup, const Source &source)
{
    Answer answer = begun(setup, "energia");
    const std::vector<Row> &rows = source.rows;
    const EnergyStudy study = energy_study(setup, programs_method, rows);
    const Motion &m = setup.motion;
    const double start = energy(m, m.x0, m.v0);
    std::string &text = answer.text;
    text = answer.title + format(" (%zu linhas); E = (v² + w0²·x²)/2, E0 = %s\n", rows.size(),
                                 g(start).c_str());
    text += line(12, 14, {"t", "E", "E exata", "E/E0 - 1", "exato"});
    for (const std::size_t i : shown_rows(rows.size()))
        text += line(12, 14, {g(rows[i].t), g(start * (1 + study.computed[i])),
                              g(start * (1 + study.exact[i])), g(study.computed[i]), g(study.exact[i])});
    const std::size_t last = rows.size() - 1;
    double apart = 0.0;
    for (std::size_t i = 0; i < rows.size(); ++i)
        apart = std::max(apart, std::fabs(study.computed[i] - study.exact[i]));
    text += format("no fim, t = %s: E/E0 - 1 = %.3g, exato %.3g\n", g(rows[last].t).c_str(),
                   study.computed[last], study.exact[last]);
    const double steps = setup.steps;
    text += six_digits(source, std::sqrt(2 * start) / std::max(m.w0, 1.0));
    if (!std::isnan(study.factor)) {
        const double z = setup.h * m.w0;
        const double predicted = std::pow(study.factor, steps) - 1;
        text += format("fator de um passo, com z = h·w0 = %s: 1 - z⁶/72 + z⁸/576 = %.12g; "
                       "elevado a %s passos dá E/E0 - 1 = %.3g\n",
                       g(z).c_str(), study.factor, g(steps).c_str(), predicted);
        text += format("resposta: o RK4 não conserva a energia, perde-a devagar: E/E0 - 1 = %.3g "
                       "ao fim de %s passos, o que o fator por passo prevê (%.3g)\n",
                       study.computed[last], g(steps).c_str(), predicted);
    } else if (!driven(m)) {
        text += format("resposta: a energia decai com o amortecimento, exatamente como "
                       "e^(-2β·t) vezes uma oscilação; a calculada segue a exata a menos de %.2g "
                       "de E0\n", apart);
    } else {
        text += format("resposta: a força troca energia com o oscilador e E não se conserva; a "
                       "calculada segue a exata a menos de %.2g de E0\n", apart);
    }
    std::vector<Row> series;
    for (std::size_t i = 0; i < rows.size(); ++i)
        series.push_back({rows[i].t, study.computed[i], study.exact[i]});
    answer.blocks.push_back(block("e", thinned(series)));
    return answer;
}

namespace {

// x against t for the figure over the first and the last three periods, where the phase that
// the steps lose shows (all of the run in both when it is shorter than six): the rows, and the
// exact motion drawn smooth through 500 times of its own.
std::vector<Datablock> motion_blocks(const Motion &m, const std::vector<Row> &rows, double period)
{
    const double start = rows.empty() ? 0.0 : rows.front().t;
    const double end = rows.empty() ? 0.0 : rows.back().t;
    const double span = std::isfinite(period) && 6 * period < end - start ? 3 * period : end - start;
    std::vector<Datablock> blocks;
    for (const bool first : {true, false}) {
        const double from = first ? start : end - span;
        std::vector<Row> shown;
        for (const Row &r : rows)
            if (r.t >= from && r.t <= from + span) shown.push_back(r);
        std::vector<double> t;
        std::vector<double> x;
        for (int i = 0; i <= 500; ++i) {
            t.push_back(from + span * i / 500);
            x.push_back(exact_state(m, t.back()).x);
        }
        const auto columns = thinned(shown);
        blocks.push_back(block(first ? "x" : "y", {columns[0], columns[1]}));
        blocks.push_back(block(first ? "xe" : "ye", {t, x}));
    }
    return blocks;
}

} // namespace

Answer answer_period(const Setup &setup, const Source &source)
{
    Answer answer = begun(setup, "periodo");
    const std::vector<Row> &rows = source.rows;
    const Motion &m = setup.motion;
    std::string &text = answer.text;
    text = answer.title + format(" (%zu linhas)\n", rows.size());
    answer.blocks = motion_blocks(m, rows, driven(m) ? 2 * pi / m.wf : exact_period(m));
    double typical = 0.0;
    for (const Row &r : rows) typical = std::max(typical, std::fabs(r.x));
    if (driven(m)) {
        // The steady oscillation, once the free motion is below 1e-5 of its start.
        const double end = rows.empty() ? 0.0 : rows.back().t;
        const double settled = settling_time(m, 1e-5);
        const bool gone = settled + 2 * pi / m.wf <= end;
        const double from = gone ? settled : 0.5 * end;
        const std::complex<double> C = steady_fit(rows, m.wf, from);
        const std::complex<double> X = steady_amplitude(m);
        const std::complex<double> Y = rk4_response(m.w0, m.beta, m.f, m.wf, setup.h);
        const Oscillation o = oscillation(rows, from);
        text += format("regime estacionário, das linhas com t >= %s\n", g(from, 4).c_str());
        text += line(20, 12, {"", "calculado", "exato (X)", "método (Y)"});
        text += line(20, 12, {"amplitude", g(std::abs(C)), g(std::abs(X)), g(std::abs(Y))});
        text += line(20, 12, {"fase (rad)", g(std::arg(C)), g(std::arg(X)), g(std::arg(Y))});
        text += line(20, 12, {"período", g(o.period), g(2 * pi / m.wf)});
        text += six_digits(source, typical);
        text += format("resposta: a força impõe o seu período, 2π/wf = %.5g; a amplitude "
                       "estacionária é %.5g contra %.5g exata (e %.5g da função de transferência do "
                       "método)%s\n",
                       2 * pi / m.wf, std::abs(C), std::abs(X), std::abs(Y),
                       gone ? "" : "; o transitório ainda não acabou: aumente N para o ver sumir");
        return answer;
    }
    const Oscillation o = oscillation(rows, 0.0);
    const double own = method_period(programs_method, m, setup.h);
    text += line(30, 14, {"", "calculado", "exato", "método (arg R)"});
    text += line(30, 14, {"período", g(o.period), g(exact_period(m)), g(own)});
    text += line(30, 14, {"primeiro pico de x, t = " + g(o.first_peak_time, 4), g(o.first_peak),
                          g(peak_of_motion(m, o.first_peak_time))});
    text += line(30, 14, {"último pico de x, t = " + g(o.last_peak_time, 4), g(o.last_peak),
                          g(peak_of_motion(m, o.last_peak_time))});
    text += six_digits(source, typical);
    if (o.crossings < 2)
        text += "resposta: as linhas não passam duas vezes por zero: não há período que "
                "medir (o movimento é sobreamortecido, ou tf é curto)\n";
    else
        text += format("resposta: o período das linhas é %.5g (%zu passagens por zero), contra "
                       "2π/sqrt(w0² - β²) = %.5g; a diferença é a do próprio método, "
                       "2π·h/arg R = %.5g\n",
                       o.period, o.crossings, exact_period(m), own);
    return answer;
}

Answer answer_resonance(const Setup &setup, double low, double high)
{
    Answer answer = begun(setup, "ressonancia");
    Motion m = setup.motion;
    std::string &text = answer.text;
    text = answer.title + "\n";
    if (!driven(m)) {
        m.f = 1.0;
        text += "sem força no harmosc: a curva é a amplitude por unidade de força (f = 1)\n";
    }
    if (std::isnan(low)) low = 0.0;
    if (std::isnan(high)) high = 3 * m.w0;
    const Curve curve = resonance_curve(m, setup.h, low, high, 400);
    const Peak exact = exact_peak(m);
    const Peak computed = method_peak(m, setup.h, exact);
    text += line(24, 14, {"", "exato", "RK4, h = " + g(setup.h)});
    text += line(24, 14, {"pico wr", g(exact.wf), g(computed.wf)});
    text += line(24, 14, {"altura", g(exact.height), g(computed.height)});
    text += line(24, 14, {"largura a meia potência", g(exact.width()), g(computed.width())});
    text += line(24, 14, {"Q = wr/largura", g(exact.q()), g(computed.q())});

    // The frequencies the program drives at, each measured from its own run's steady rows.
    std::vector<double> measured_wf;
    std::vector<double> measured;
    double furthest = 0.0;
    bool short_runs = false; // ended before the transient fell below 1e-5 of its start
    if (setup.program != Program::harmosc) {
        text += line(12, 16, {"wf", "medido", "método", "exato", "medido - método"});
        const std::vector<double> choices =
            setup.program == Program::drivenosc ? std::vector<double>{1, 2, 3} : std::vector<double>{0};
        for (const double choice : choices) {
            Setup run = setup;
            std::map<std::string, double> values = setup.values;
            if (choice != 0) values["escolha"] = choice;
            if (!make_setup(setup.program, values, run).empty()) continue;
            const std::vector<Row> rows = rows_of(run, programs_method);
            const double end = rows.empty() ? 0.0 : rows.back().t;
            const double settled = settling_time(run.motion, 1e-5);
            const double from = std::min(settled, 0.5 * end);
            short_runs = short_runs || settled > from;
            const double a = std::abs(steady_fit(rows, run.motion.wf, from));
            const double y = std::abs(rk4_response(m.w0, m.beta, m.f, run.motion.wf, setup.h));
            const double x = std::abs(exact_response(m, run.motion.wf));
            text += line(12, 16, {g(run.motion.wf), g(a), g(y), g(x), g(a - y, 2)});
            furthest = std::max(furthest, std::fabs(a - y));
            measured_wf.push_back(run.motion.wf);
            measured.push_back(a);
        }
    }
    if (std::isnan(exact.wf))
        text += "resposta: sem amortecimento a amplitude cresce sem limite em wf = w0: não há "
                "pico finito\n";
    else
        text += format("resposta: o pico está em wr = sqrt(w0² - 2β²) = %.3f, com altura %.4g, "
                       "largura %.3g e Q = %.3g; o RK4 com h = %s põe-no em %.3f com altura %.4g%s\n",
                       exact.wf, exact.height, exact.width(), exact.q(), g(setup.h).c_str(),
                       computed.wf, computed.height,
                       measured.empty() ? ""
                                        : format("; os pontos medidos ficam a %.1e da curva do método%s",
                                                 furthest, short_runs ? ", com o transitório ainda "
                                                 "nas linhas: aumente N para o ver sumir" : "").c_str());
    answer.blocks = {block("c", {curve.wf, curve.exact, curve.method}), block("p", {measured_wf, measured})};
    return answer;
}

Answer answer_methods(const Setup &setup)
{
    Answer answer = begun(setup, "metodos");
    const Motion &m = setup.motion;
    std::string &text = answer.text;
    text = answer.title + "\n";
    text += line(13, 11, {"erro em x(T)", "h = " + g(setup.h), "h/2", "h/4", "h/8", "ordem", "nominal"});
    std::string orders;
    std::string nominal;
    std::string names; // one a line, for the figure's keys
    std::string limits;
    std::string errors;
    std::string energy_rows;
    std::string motion_rows;
    std::string table;
    table += line(13, 14, {"", "E/E0 - 1 fim", "fator^passos", "período", "h·w0 estável"});
    std::vector<Row> exact; // at the times every method's rows share: the running sum of h
    for (const Method &method : methods) {
        const MethodStudy s = method_study(setup, method);
        if (exact.empty()) exact = exact_rows(m, s.rows);
        const Verdict &v = s.verdict;
        const std::string order = v.outcome == Outcome::settled       ? format("%.2f", v.order)
                                  : v.outcome == Outcome::unsettled   ? format("%.2f?", v.order)
                                  : v.outcome == Outcome::sign_change ? "sinal"
                                                                      : "nenhuma";
        std::vector<std::string> cells{method.name};
        for (const Run &run : s.runs) cells.push_back(format("%.3e", run.error));
        cells.push_back(order);
        cells.push_back(std::to_string(method.order));
        text += line(13, 11, cells);
        const std::string limit = std::isnan(s.limit) ? "nenhum" : g(s.limit);
        // A step that keeps the area of the phase plane keeps the energy bounded, oscillating.
        const std::string predicted = std::isnan(s.energy_predicted) ? "-"
                                      : std::fabs(s.energy_predicted) < 1e-12 ? "oscila"
                                      : format("%.3e", s.energy_predicted);
        const double energy_end = s.energy.empty() ? NAN : s.energy.back();
        table += line(13, 14, {method.name, format("%.3e", energy_end), predicted, g(s.period),
                               limit});
        orders += (orders.empty() ? "" : ", ") + order;
        nominal += (nominal.empty() ? "" : ", ") + std::to_string(method.order);
        names += std::string(method.name) + "\n";
        limits += (limits.empty() ? "" : ", ") + limit;
        // Beside each error, the line of the method's nominal slope through the smallest step's.
        const Run &anchor = s.runs.back();
        for (const Run &run : s.runs)
            errors += format("%.9g %.9g %.9g\n", run.h, std::fabs(run.error),
                             std::fabs(anchor.error) * std::pow(run.h / anchor.h, method.order));
        errors += "\n\n";
        std::vector<Row> series;
        series.reserve(s.rows.size());
        for (std::size_t i = 0; i < s.rows.size(); ++i)
            series.push_back({s.rows[i].t, s.rows[i].x, s.energy[i]});
        const auto columns = thinned(series);
        // One gnuplot index per method, in the table's order.
        energy_rows += rows_text({columns[0], columns[2]}) + "\n\n";
        motion_rows += rows_text({columns[0], columns[1]}) + "\n\n";
    }
    const auto exact_columns = thinned(exact);
    text += table;
    text += format("exato: período %.6g; h·w0 = %s\n", exact_period(m), g(setup.h * m.w0).c_str());
    text += "resposta: ordens observadas " + orders + " (nominais " + nominal + "); h·w0 máximo "
            "estável " + limits + "\n";
    answer.blocks = {block("o", errors), block("E", energy_rows), block("X", motion_rows),
                     block("x", {exact_columns[0], exact_columns[1]}), block("names", names)};
    return answer;
}

} // namespace osc
