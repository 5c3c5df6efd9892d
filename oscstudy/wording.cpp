#include "oscstudy/wording.hpp"

#include "motion/motion.hpp"
#include "stepmath/rk4.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace osc {

namespace {

std::string g(double value, int digits = 6) { return format("%.*g", digits, value + 0.0); }

// A count and its noun, one or many: "1 linha", "200 linhas".
std::string counted_as(double count, const char *one, const char *many)
{
    return format("%.0f ", count) + (count == 1.0 ? one : many);
}

// e^log_value, a number past the largest double or below the least normal one, in `digits`
// significant digits: "1.38e+358", "5e-401".
std::string beyond(double log_value, double sign, int digits)
{
    const double decimal = log_value / std::log(10.0);
    if (!(std::fabs(decimal) < 1e15)) return std::string(sign < 0.0 ? "-" : "") + "10^" + g(decimal, 3);
    double exponent = std::floor(decimal);
    std::string mantissa = g(std::copysign(std::pow(10.0, decimal - exponent), sign), digits);
    // 9.9996 to four digits is 10: the next power.
    if (mantissa.find("10") == (sign < 0.0 ? 1U : 0U) && mantissa.find('.') == std::string::npos) {
        exponent += 1.0;
        mantissa = sign < 0.0 ? "-1" : "1";
    }
    return mantissa + format(exponent < 0.0 ? "e%.0f" : "e+%.0f", exponent);
}

// The significant digits a printf pattern "%.Ng", "%.Ne" or "%.Nf" asks for.
int digits_of(const char *pattern)
{
    int digits = 6;
    char kind = 'g';
    if (std::sscanf(pattern, "%%.%d%c", &digits, &kind) != 2) return 6;
    return kind == 'e' ? digits + 1 : digits;
}

// A factor a step, e^log_value, with the digits that show it apart from 1: three of its
// difference from 1 (1.00501, not 1.01; 1.24), or three where it is far from 1.
std::string factor_text(double log_value)
{
    const double excess = std::expm1(log_value);
    if (!std::isfinite(std::exp(log_value))) return beyond(log_value, 1.0, 3);
    if (excess == 0.0 || std::fabs(excess) >= 1.0) return g(std::exp(log_value), 3);
    const int leading = static_cast<int>(std::floor(std::log10(std::fabs(excess))));
    return g(1.0 + excess, std::min(17, 3 - leading));
}

// The fewest digits, `least` at least, at which `a` is written apart from `b`: a limit beside
// the size that passes it.
std::string apart_from(double a, double b, int least = 3)
{
    int digits = least;
    while (digits < 17 && g(a, digits) == g(b, digits)) ++digits;
    return g(a, digits);
}

// Why a quantity does not exist, as the line under a table says it.
const char *why(Absent absent)
{
    switch (absent) {
    case Absent::none:
    case Absent::always_grows: return "";
    case Absent::overflow: return "o número passa o maior double, 1.79769e+308: as linhas deixam de ser números";
    case Absent::energy_at_rest: return "E0 = 0, e E/E0 - 1 não tem sentido: compare-se E com a exata";
    case Absent::not_free_undamped:
        return "o fator de um passo só dá a energia sem força nem amortecimento";
    case Absent::no_oscillation: return "o movimento não oscila";
    case Absent::method_no_turn:
        return "com este h o método não oscila: a sua matriz de um passo tem valores próprios reais";
    case Absent::few_crossings: return "as linhas passam por zero menos de duas vezes";
    case Absent::no_peak: return "um pico de x só se conta depois da primeira passagem por zero, e as linhas não o têm";
    case Absent::exact_no_peak:
        return "o movimento exato não tem um pico de x perto desse, dentro da execução";
    case Absent::never_settles: return "as linhas nunca chegam a um regime estacionário";
    case Absent::no_fit: return "depois do transitório não há linhas que bastem para ajustar uma oscilação";
    case Absent::no_rows: return "a execução não dá nenhuma linha";
    case Absent::no_damping: return "sem amortecimento a amplitude é infinita em wf = w0: não há pico finito";
    case Absent::no_peak_falls: return "a curva cai desde wf = 0: não tem pico";
    case Absent::no_lower_half:
        return "a curva já está acima de meia potência em wf = 0: não há meia potência abaixo do pico, "
               "nem largura";
    case Absent::no_upper_half:
        return "a curva do método não desce a meia potência acima do pico antes de voltar para trás, "
               "em wf = 2π/h";
    case Absent::no_spring: return "sem mola, w0 = 0";
    case Absent::below_resolution:
        return "o limite fica onde o amortecimento de um passo já se perde nos arredondamentos do double";
    case Absent::still: return "com h = 0 o tempo não avança";
    }
    return "";
}

// The words of one answer: its numbers, and the reasons of those that do not exist, each said
// once under the table.
class Words {
public:
    // A value in `pattern` (one double), or the word for its absence.
    std::string operator()(const Value &v, const char *pattern = "%.6g")
    {
        if (v.absent == Absent::none && (std::isinf(v.value) || std::fabs(v.value) < DBL_MIN) &&
            std::isfinite(v.log))
            return beyond(v.log, std::copysign(1.0, v.value), digits_of(pattern));
        const Absent absent = v.absent == Absent::none && !std::isfinite(v.value) ? Absent::overflow
                                                                                  : v.absent;
        if (absent == Absent::none) return format(pattern, v.value + 0.0); // never "-0"
        if (absent == Absent::always_grows) return "nenhum";
        if (std::find(reasons_.begin(), reasons_.end(), absent) == reasons_.end())
            reasons_.push_back(absent);
        return word(absent);
    }
    std::string notes() const
    {
        std::string text;
        for (const Absent absent : reasons_) text += word(absent) + ": " + why(absent) + "\n";
        return text;
    }

private:
    // A stability limit below what doubles resolve exists, but is too small to give.
    static std::string word(Absent absent)
    {
        return absent == Absent::below_resolution ? "ínfimo" : "não existe";
    }
    std::vector<Absent> reasons_;
};

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

// How a file writes x, in words: "seis algarismos" and the last of them, "do sexto
// algarismo", with the article and as written; or its decimals, "6 casas decimais".
struct DigitsWords {
    std::string count, last, the, written;
};
DigitsWords digits_words(const Writing &w)
{
    const char *const counts[] = {"",      "um",   "dois", "três", "quatro", "cinco",
                                  "seis",  "sete", "oito", "nove", "dez"};
    const char *const places[] = {"",        "primeiro", "segundo", "terceiro",
                                  "quarto",  "quinto",   "sexto",   "sétimo",
                                  "oitavo",  "nono",     "décimo"};
    if (w.decimals >= 0) {
        const std::string count = w.decimals == 1 ? "1 casa decimal"
                                                  : format("%d casas decimais", w.decimals);
        return {count, "da última casa decimal", (w.decimals == 1 ? "a " : "as ") + count,
                (w.decimals == 1 ? "da " : "das ") + count + (w.decimals == 1 ? " escrita" : " escritas")};
    }
    const int n = w.digits;
    const std::string count = n <= 10 ? std::string(counts[n]) + (n == 1 ? " algarismo" : " algarismos")
                                      : format("%d algarismos", n);
    return {count, n <= 10 ? std::string("do ") + places[n] + " algarismo" : format("do %d.º algarismo", n),
            (n == 1 ? "o " : "os ") + count, (n == 1 ? "do " : "dos ") + count + (n == 1 ? " escrito" : " escritos")};
}

// The line for rows read from a file: its digits hide, row by row, what is below half a unit
// of each x's last digit.
std::string six_digits(const std::string &file, const RowsRead &rows)
{
    if (file.empty()) return "";
    const DigitsWords words = digits_words(rows.writing[1]);
    std::string text = "as linhas vêm de " + escaped(file) + ", com " + words.count +
                       ": em cada linha, o que estiver abaixo de meia unidade " + words.last +
                       " de x não se vê";
    if (rows.most_rounding > 0.0)
        text += rows.least_rounding < rows.most_rounding
                    ? ", de " + g(rows.least_rounding, 2) + " a " + g(rows.most_rounding, 2) + " nestas linhas"
                    : ", " + g(rows.most_rounding, 2) + " em todas";
    return text + "\n";
}

// "(200 linhas)" after the title.
std::string counted(const Setup &setup, const RowsRead &rows)
{
    return title_of(setup) + " (" + counted_as(static_cast<double>(rows.count), "linha", "linhas") + ")";
}

// From which row on the numbers are inf and nan, where they are.
std::string overflow_clause(const RowsRead &rows)
{
    if (std::isnan(rows.overflow_t)) return "";
    return "; a partir de t = " + g(rows.overflow_t) + " as linhas passam o maior double e deixam de ser números";
}

// How far ahead or behind, and how large, the computed oscillation ends against the exact one.
std::string drifted(double phase, double log_amplitude)
{
    std::vector<std::string> parts;
    if (std::fabs(phase) > pi)
        parts.push_back("a fase calculada ficou mais de meia volta fora da exata");
    else if (std::fabs(phase) > tolerance)
        parts.push_back("a fase calculada vai " + g(std::fabs(phase), 3) + " rad " +
                        (phase < 0.0 ? "atrasada" : "adiantada"));
    if (std::fabs(std::expm1(log_amplitude)) > tolerance)
        parts.push_back("a amplitude calculada é " + g(std::exp(log_amplitude), 3) + " vezes a exata");
    std::string text;
    for (const std::string &part : parts) text += (text.empty() ? "" : " e ") + part;
    return text;
}

// Why the error no longer grows linearly, where the drift has saturated.
std::string saturated(const ErrorFinding &f)
{
    if (!f.saturated) return "";
    return ": os desvios dos passos somados já não são pequenos (" +
           drifted(f.phase, f.log_amplitude) +
           "), e o erro não passa da soma das amplitudes calculada e exata";
}

// The step past the method's limit, as the answers and their figures say it.
std::string past_limit(double step_size, double limit)
{
    return "o passo é instável: com h·|λ| = " + g(step_size, 3) + " passa o limite do método, " +
           apart_from(limit, step_size);
}

// The energy multiplied by an unstable step.
std::string energy_gain(const EnergyFinding &f)
{
    return "o passo é instável e multiplica-a por " + factor_text(f.log_step_gain) + " a cada passo";
}

const char *const growing_transient = "o passo é instável e faz crescer o transitório em vez de o amortecer";

// A line of a figure's words.
Caption caption(const char *name, const std::string &line) { return {name, line}; }

} // namespace

std::string title_of(const Setup &setup)
{
    std::string title = std::string(layout_of(setup.program).program) + ":";
    const char *separator = " ";
    for (const Name &name : names_of(setup.program)) {
        // A value a file gave, with the digits that, typed back, make the same run.
        const double value = setup.values.at(name.name);
        const bool taken = std::find(setup.from_file.begin(), setup.from_file.end(),
                                     name.name) != setup.from_file.end();
        int digits = 6;
        while (taken && digits < 17 && std::strtod(g(value, digits).c_str(), nullptr) != value)
            ++digits;
        title += separator + std::string(name.name) + " = " + g(value, digits);
        separator = ", ";
    }
    if (setup.program == Program::harmosc) title += "; h = " + g(setup.h);
    std::string taken;
    for (const Name &name : names_of(setup.program))
        if (std::find(setup.from_file.begin(), setup.from_file.end(), name.name) !=
            setup.from_file.end())
            taken += (taken.empty() ? "" : ", ") + std::string(name.name);
    if (!taken.empty()) title += "; do ficheiro: " + taken;
    if (setup.motion.f != 0.0) title += " (wf = " + g(setup.motion.wf) + ")";
    return title;
}

std::string error_text(const Setup &setup, const ErrorFinding &f, const std::string &file)
{
    using Growth = ErrorFinding::Growth;
    Words say;
    std::string table = counted(setup, f.rows) + "\n";
    table += line(12, 14, {"t", "x", "x exato", "x - x exato", "v - v exato"});
    for (const ErrorFinding::Shown &r : f.shown)
        table += line(12, 14, {g(r.t), say(finite_or(r.x, Absent::overflow)), say(of(r.exact)),
                               say(r.dx, "%.3g"), say(r.dv, "%.3g")});
    std::string text = "maior |x - x exato|: " + say(f.largest_x, "%.3g");
    if (!std::isnan(f.largest_x_t)) text += " em t = " + g(f.largest_x_t);
    if (f.rows.from_file && !std::isnan(f.largest_x_t))
        text += " (nessa linha " + digits_words(f.rows.writing[1]).the + " escondem até " +
                g(f.rounding, 2) + ")";
    // R's bound is on the error of the pair (x, v/w0), and so on |x - x exato| at most.
    if (f.predicted.absent == Absent::none && f.growth != Growth::doubles)
        text += " (o fator de um passo, R(i·h·w0), prevê no máximo " + say(f.predicted, "%.3g") + ")";
    text += "\nmaior |v - v exato|: " + say(f.largest_v, "%.3g");
    if (!std::isnan(f.largest_v_t)) text += " em t = " + g(f.largest_v_t);
    text += "\nna última linha, t = " + g(f.last_t) + ": x - x exato = " + say(f.last_x, "%.3g") +
            ", v - v exato = " + say(f.last_v, "%.3g") + "\n";
    text += six_digits(file, f.rows);
    // The rows' own measure of it: their largest error, second half against first.
    const std::string ratio = f.ratio.absent == Absent::none ? say(f.ratio, "%.2g") : "";
    const std::string halves = ratio.empty() ? "" : " (na segunda metade é " + ratio + " vezes o maior da primeira)";
    const std::string grows_to =
        ratio.empty() ? "" : " (na segunda metade da execução chega a " + ratio + " vezes o maior da primeira)";
    const auto gap = [&] { return "|Y - X| = " + say(f.steady_gap, "%.2g"); };
    switch (f.growth) {
    case Growth::exact:
        text += f.at_rest ? "resposta: nada se move: x = 0 em todas as linhas, a exata e a "
                            "calculada, e o erro é 0\n"
                : f.still ? "resposta: com h = 0 o tempo não avança: todas as linhas são o estado "
                            "inicial, que é o exato em t = 0, e o erro é 0\n"
                          : "resposta: sem mola nem amortecimento o movimento é x = x0 + v0·t, que o "
                            "RK4 dá exatamente: o erro que fica é o arredondamento das contas\n";
        break;
    case Growth::rounding:
        text += "resposta: o erro que se vê, " + say(f.largest_x, "%.2g") +
                ", é o arredondamento " + digits_words(f.rows.writing[1]).written +
                " e não o do método: estas linhas "
                "não mostram mais; o oscstudy sem ficheiro= calcula-o em precisão dupla\n";
        break;
    case Growth::linear:
        text += "resposta: o erro cresce com t, perto de linearmente" + grows_to +
                ": cada passo desvia a fase e a amplitude um pouco, e os desvios somam-se\n";
        break;
    case Growth::slowing:
        text += "resposta: o erro cresce com t, menos do que linearmente" + grows_to + saturated(f) + "\n";
        break;
    case Growth::bounded:
        text += "resposta: o erro não cresce com t" + halves + saturated(f) + "\n";
        break;
    case Growth::steady:
        text += f.rounding_left
                    ? "resposta: o transitório decai, e o erro que fica" + halves +
                          " passa a diferença entre o regime estacionário calculado e o exato, " + gap() +
                          ", até " + say(f.left, "%.2g") + " no último período da força: o resto é o arredondamento " +
                          (f.rows.from_file ? digits_words(f.rows.writing[1]).written : "das contas em precisão dupla") + "\n"
                    : "resposta: o erro fica limitado" + halves + ": o transitório decai e fica a diferença "
                      "entre o regime estacionário calculado e o exato, " + gap() + "\n";
        break;
    case Growth::settling:
        text += "resposta: o erro não cresce com t" + halves + ": o transitório decai, mas ainda não "
                "acabou (no fim ainda é cerca de " + g(f.transient_share, 2) +
                " vezes a amplitude estacionária |X|); quando acabar, o erro fica na diferença entre o "
                "regime estacionário calculado e o exato, " + gap() + "\n";
        break;
    case Growth::decaying:
        text += "resposta: o erro fica limitado" + halves + " e apaga-se com o próprio movimento amortecido\n";
        break;
    case Growth::doubles:
        text += "resposta: o que se vê é o arredondamento das contas em precisão dupla, e não o erro do "
                "método: em " + counted_as(setup.steps, "passo", "passos") + " este " +
                "desvia o movimento " + (f.drift > 0.0 ? "cerca de " + g(f.drift, 2) + " do seu tamanho, " : "") +
                "menos do que o arredondamento dos doubles com números deste tamanho, cerca de " +
                g(f.doubles, 2) + " dele\n";
        break;
    case Growth::overflow:
        text += "resposta: o erro não se pode medir: a partir de t = " + g(f.rows.overflow_t) +
                " as contas de um passo passam o maior double, 1.79769e+308, com números deste tamanho, e "
                "as linhas deixam de ser números, embora nada cresça\n";
        break;
    case Growth::exponential: {
        const std::string cause =
            f.cause == ErrorFinding::Cause::unstable_step
                ? past_limit(f.step_size, f.limit) + ", e |R| > 1 faz crescer o movimento calculado, seja qual for a física"
            : f.cause == ErrorFinding::Cause::backward
                ? "a simulação corre para trás no tempo, onde o amortecimento faz crescer o movimento, "
                  "e o erro com ele"
                : "com b < 0 o movimento cresce, e o erro com ele";
        text += "resposta: o erro cresce exponencialmente, por um fator de " + factor_text(f.log_factor) +
                " a cada passo (" + cause + ")";
        if (!f.shows)
            text += "; em " + counted_as(setup.steps, "passo", "passos") + " isso só dá " +
                    g(std::exp(f.run_growth), 5) + " vezes, pouco para se ver nas linhas ao lado do resto "
                    "do erro: aumente " + (setup.program == Program::harmosc ? "tf" : "N") + " para o ver";
        else if (f.measured.absent == Absent::none)
            text += "; nas linhas, " + factor_text(std::log(f.measured.value)) + " por passo";
        text += overflow_clause(f.rows) + "\n";
        break;
    }
    }
    return table + say.notes() + text;
}

std::string energy_text(const Setup &setup, const EnergyFinding &f, const std::string &file)
{
    using Kind = EnergyFinding::Kind;
    using Cause = EnergyFinding::Cause;
    using Kept = EnergyFinding::Kept;
    Words say;
    std::string table = counted(setup, f.rows) + "; E = (v² + w0²·x²)/2, E0 = " +
                        say({f.start, Absent::none, f.start_log}) + "\n";
    table += line(12, 14, {"t", "E", "E exata", "E/E0 - 1", "exato"});
    for (const EnergyFinding::Shown &r : f.shown)
        table += line(12, 14, {g(r.t), say(r.e), say(r.exact), say(r.rel), say(r.rel_exact)});
    const bool rest = f.from_rest;
    // From rest E itself stands for E/E0 - 1, which has no sense there.
    const std::string end_label = rest ? "E = " : "E/E0 - 1 = ";
    const Value &end = rest ? f.end_e : f.end_rel;
    // Where three digits would write E/E0 - 1 as -1, all of E gone, E/E0 itself says what is left.
    const bool nearly_gone = !rest && f.end_ratio.absent == Absent::none && f.end_ratio.value < 5e-4;
    std::string text = "no fim, t = " + g(f.end_t) + ": " +
                       (nearly_gone ? "E/E0 = " + say(f.end_ratio, "%.3g") + ", exata " + say(f.end_ratio_exact, "%.3g")
                                    : end_label + say(end, "%.3g") + (rest ? ", exata " : ", exato ") +
                                          say(rest ? f.end_exact : f.end_rel_exact, "%.3g")) +
                       "\n";
    text += six_digits(file, f.rows);
    const std::string steps = counted_as(f.steps, "passo", "passos");
    // The factor 1 + δ, with δ's own digits where twelve of the factor would show fewer than
    // three of them.
    if (f.factor.absent == Absent::none)
        text += "fator de um passo, com z = h·w0 = " + g(f.z) + ": 1 - z⁶/72 + z⁸/576 = " +
                (std::fabs(f.drift) >= 1e-9 || f.drift == 0.0
                     ? say(f.factor, "%.12g")
                     : std::string(f.drift < 0.0 ? "1 - " : "1 + ") + g(std::fabs(f.drift))) +
                "; elevado a " + steps + " dá E/E0 - 1 = " + say(f.predicted, "%.3g") + "\n";
    const std::string share = say(f.apart, "%.2g") + (rest ? " da maior E exata" : " de E0");
    // Within the tolerance the computed energy follows the exact one; beyond it, it strays.
    const std::string apart = f.apart.absent != Absent::none ? "não se compara com a exata: as linhas passam o maior double"
                              : f.apart.value == 0.0       ? "coincide com a exata em todas as linhas"
                              : f.apart.value <= tolerance ? "segue a exata a menos de " + share
                                                           : "afasta-se da exata até " + share;
    switch (f.kind) {
    case Kind::kept:
        switch (f.why_kept) {
        case Kept::at_rest: text += "resposta: nada se move: E = 0 em todas as linhas, a calculada e a exata\n"; break;
        case Kept::still:
            text += "resposta: com h = 0 o tempo não avança: todas as linhas são o estado inicial, e E = E0 "
                    "em todas\n";
            break;
        case Kept::no_spring:
            text += "resposta: sem mola nem amortecimento E = v²/2 e v não muda, o que o RK4 dá "
                    "exatamente: a energia conserva-se; a calculada " + apart + "\n";
            break;
        case Kept::rounding:
            text += "resposta: nas linhas a energia conserva-se até ao arredondamento: o RK4 perde-a, mas o "
                    "fator por passo só prevê E/E0 - 1 = " + say(f.predicted, "%.3g") + " em " + steps +
                    ", abaixo do que o arredondamento das contas em precisão dupla deixa, cerca de " +
                    g(f.double_rounding, 2) + "; o " + say(f.end_rel, "%.3g") + " do fim é esse arredondamento\n";
            break;
        case Kept::digits:
            text += "resposta: estas linhas não mostram se o RK4 conserva a energia: o E/E0 - 1 = " +
                    say(f.end_rel, "%.3g") + " do fim fica dentro do que os algarismos escritos de x e v "
                    "escondem na primeira e na última linha, até " + g(f.digits, 2) +
                    ", e o fator por passo prevê " + say(f.predicted, "%.3g") + " em " + steps +
                    "; o oscstudy sem ficheiro= calcula-o em precisão dupla\n";
            break;
        }
        break;
    case Kind::drifting:
        // The rows' own sign says whether they lose it.
        text += std::string("resposta: o RK4 não conserva a energia, ") +
                (f.end_rel.value > 0.0 ? "e nestas linhas ganha-a" : "perde-a") +
                (std::fabs(f.end_rel.value) <= tolerance ? " devagar" : "") + ": E/E0 - 1 = " +
                say(f.end_rel, "%.3g") + " ao fim de " + steps + ", " +
                (f.agrees ? "o que o fator por passo prevê (" : "e o fator por passo prevê (") +
                say(f.predicted, "%.3g") + ")\n";
        break;
    case Kind::decaying:
        text += std::string("resposta: a energia decai com o amortecimento") +
                (setup.motion.beta < setup.motion.w0
                     ? ", exatamente como e^(-2β·t) vezes uma oscilação"
                     : "") +
                "; a calculada " + apart + "\n";
        break;
    case Kind::growing:
        text += f.cause == Cause::unstable_step
                    ? "resposta: a energia cresce sem limite: " + energy_gain(f) + ", seja qual for a física; " +
                          (end.absent == Absent::none ? end_label + say(end, "%.3g") + " no fim"
                                                      : std::string("no fim já passou o maior double")) +
                          overflow_clause(f.rows) + "\n"
                : f.cause == Cause::backward
                    ? "resposta: para trás no tempo o amortecimento faz crescer o movimento, e a "
                      "energia com ele; a calculada " + apart + overflow_clause(f.rows) + "\n"
                    : "resposta: a energia cresce: com b < 0 o amortecimento dá energia em vez de a "
                      "tirar, como na exata; a calculada " + apart + overflow_clause(f.rows) + "\n";
        break;
    case Kind::forced:
        text += "resposta: a força troca energia com o oscilador e E não se conserva; a calculada " +
                apart + "\n";
        break;
    }
    return table + say.notes() + text;
}

std::string period_text(const Setup &setup, const PeriodFinding &f, const std::string &file)
{
    using Why = PeriodFinding::Why;
    Words say;
    std::string table = counted(setup, f.rows) + "\n";
    table += line(30, 14, {"", "calculado", "exato", "método (arg R)"});
    table += line(30, 14, {"período", say(f.measured), say(f.exact), say(f.method)});
    const auto peak_label = [](const char *which, double t) {
        return std::string(which) + " pico de x" + (std::isnan(t) ? "" : ", t = " + g(t, 4));
    };
    table += line(30, 14, {peak_label("primeiro", f.first_peak_t), say(f.first_peak), say(f.first_peak_exact)});
    table += line(30, 14, {peak_label("último", f.last_peak_t), say(f.last_peak), say(f.last_peak_exact)});
    std::string text = six_digits(file, f.rows);
    const Motion &m = setup.motion;
    const std::string crossings = counted_as(static_cast<double>(f.crossings), "passagem", "passagens") + " por zero";
    if (f.kind == PeriodFinding::Kind::absent && f.why == Why::at_rest) {
        // The oscillator has its period; the rows, standing still, do not show it.
        text += "resposta: nada se move (x0 = v0 = 0): as linhas ficam em x = 0 e não mostram período";
        if (f.exact.absent == Absent::none)
            text += "; o do oscilador é 2π/sqrt(w0² - β²) = " + say(f.exact, "%.5g") +
                    ", e o do método 2π·h/arg R = " + say(f.method, "%.5g") + ", os que mostrariam a mexer-se";
        text += "\n";
    } else if (f.kind == PeriodFinding::Kind::absent) {
        const std::string how =
            f.why == Why::no_spring ? "sem mola (k = 0) x não volta a 0"
            : f.why == Why::critical
                ? "com β = w0 = " + g(m.w0) + " (amortecimento crítico) x volta a 0 sem oscilar"
                : "com β = " + apart_from(m.beta, m.w0, 6) + " > w0 = " + apart_from(m.w0, m.beta, 6) +
                      " (sobreamortecido) x volta a 0 sem oscilar";
        text += "resposta: o movimento não oscila: " + how +
                "; não há período, nem exato nem do método" +
                (f.unstable ? "; e " + past_limit(f.step_size, f.limit) + ": as linhas crescem sem limite" : "") +
                "\n";
    } else if (f.unstable) {
        text += "resposta: " + past_limit(f.step_size, f.limit) + ": as linhas crescem sem limite, e " +
                (f.measured.absent == Absent::none
                     ? "o período que mostram, " + say(f.measured, "%.5g") + " (" + crossings +
                           "), é o da oscilação que cresce (o do método, 2π·h/arg R = " + say(f.method, "%.5g") + ")"
                     : std::string("não mostram um período")) +
                ", não o do oscilador, 2π/sqrt(w0² - β²) = " + say(f.exact, "%.5g") + "\n";
    } else if (f.measured.absent != Absent::none && !std::isnan(f.unreachable)) {
        text += "resposta: as linhas passam por zero " +
                counted_as(static_cast<double>(f.crossings), "vez", "vezes") +
                ", e nenhum tf maior o muda: o movimento exato só passa por zero pela segunda vez em t = " +
                g(f.unreachable, 3) + ", e antes disso |x| já desceu abaixo do menor double, " +
                g(DBL_TRUE_MIN) + ": as linhas param nos doubles mais pequenos e não passam mais por zero; o período exato é "
                "2π/sqrt(w0² - β²) = " + say(f.exact, "%.5g") + "\n";
    } else if (f.measured.absent != Absent::none) {
        text += format("resposta: as linhas passam por zero %s, e um período mede-se entre "
                       "duas passagens pelo menos: aumente tf; o exato é 2π/sqrt(w0² - β²) = %s e "
                       "o do método 2π·h/arg R = %s\n",
                       counted_as(static_cast<double>(f.crossings), "vez", "vezes").c_str(),
                       say(f.exact, "%.5g").c_str(), say(f.method, "%.5g").c_str());
    } else if (f.rounding) {
        text += format("resposta: o período das linhas é %s (%s), contra 2π/sqrt(w0² - β²) = %s e o do "
                       "próprio método, 2π·h/arg R = %s: a diferença é o arredondamento dos doubles, que "
                       "com números deste tamanho só guardam x a cerca de %s dele\n",
                       say(f.measured, "%.5g").c_str(), crossings.c_str(), say(f.exact, "%.5g").c_str(),
                       say(f.method, "%.5g").c_str(), g(f.resolution, 2).c_str());
    } else if (f.agrees && f.by_method) {
        text += format("resposta: o período das linhas é %s (%s), contra "
                       "2π/sqrt(w0² - β²) = %s; a diferença é a do próprio método, "
                       "2π·h/arg R = %s\n",
                       say(f.measured, "%.5g").c_str(), crossings.c_str(), say(f.exact, "%.5g").c_str(),
                       say(f.method, "%.5g").c_str());
    } else if (f.agrees) {
        // The method nearer the exact than the crossings, taken between rows, measure.
        text += format("resposta: o período das linhas é %s (%s), igual, a menos de %s, a "
                       "2π/sqrt(w0² - β²) = %s e ao do próprio método, 2π·h/arg R = %s\n",
                       say(f.measured, "%.5g").c_str(), crossings.c_str(),
                       format("%g%%", 100 * tolerance).c_str(), say(f.exact, "%.5g").c_str(),
                       say(f.method, "%.5g").c_str());
    } else {
        text += format("resposta: o período das linhas é %s (%s), contra "
                       "2π/sqrt(w0² - β²) = %s; o do próprio método, 2π·h/arg R = %s, não "
                       "coincide com o das linhas a menos de %s: cada passo roda a oscilação de "
                       "1/%s de volta\n",
                       say(f.measured, "%.5g").c_str(), crossings.c_str(), say(f.exact, "%.5g").c_str(),
                       say(f.method, "%.5g").c_str(), format("%g%%", 100 * tolerance).c_str(),
                       say(of(f.rows_per_period), "%.3g").c_str());
    }
    return table + say.notes() + text;
}

std::string steady_text(const Setup &setup, const SteadyFinding &f, const std::string &file)
{
    using Kind = SteadyFinding::Kind;
    using Never = SteadyFinding::Never;
    Words say;
    std::string table = counted(setup, f.rows) + "\n";
    table += f.kind == Kind::never     ? "as linhas nunca chegam a um regime estacionário\n"
             : f.kind == Kind::settled ? "regime estacionário, das linhas com t >= " + g(f.from, 4) + "\n"
                                       : "o transitório ainda não acabou: ajusta-se a segunda metade das "
                                         "linhas, t >= " + g(f.from, 4) + "\n";
    table += line(20, 12, {"", "calculado", "exato (X)", "método (Y)"});
    table += line(20, 12, {"amplitude", say(f.amplitude), say(of(f.exact_amplitude)), say(f.method_amplitude)});
    table += line(20, 12, {"fase (rad)", say(f.phase), say(of(f.exact_phase)), say(f.method_phase)});
    table += line(20, 12, {"período", say(f.period), g(f.forced_period)});
    std::string text = six_digits(file, f.rows);
    // The amplitudes with the table's six digits: with five, 0.0614295 reads 0.061429 or 0.06143.
    const std::string computed = say(f.amplitude);
    const std::string exact = say(of(f.exact_amplitude));
    const std::string method = say(f.method_amplitude);
    text += format("resposta: a força impõe o seu período, 2π/wf = %.5g; ", f.forced_period);
    if (f.kind == Kind::never) {
        text += "a amplitude estacionária exata é " + exact + ", mas as linhas nunca chegam lá: " +
                (f.never == Never::still      ? "com h = 0 o tempo não avança, e as linhas ficam no estado inicial"
                 : f.never == Never::backward ? "para trás no tempo o transitório cresce em vez de decair"
                                              : growing_transient) +
                "\n";
        return table + say.notes() + text;
    }
    const std::string transfer = " (e " + method + " da função de transferência do método)";
    if (f.amplitude.absent != Absent::none)
        text += "a amplitude estacionária exata é " + exact + transfer + ", que estas linhas não medem";
    else if (f.kind == Kind::settled)
        text += "a amplitude estacionária é " + computed + " contra " + exact + " exata" + transfer;
    else
        text += "o transitório ainda não acabou, e as linhas misturam-no com a oscilação forçada: a "
                "amplitude ajustada, " + computed + ", e o período das linhas ainda não são os do regime "
                "estacionário, de amplitude " + exact + " exata" + transfer + "; aumente N para o ver sumir";
    // What the step does to the steady oscillation: too few rows a period, or a response apart.
    const std::string h = g(setup.h);
    if (!std::isnan(f.alias))
        text += "; com h = " + h + " há só " + g(f.rows_per_period, 3) +
                " linhas por período da força, menos de 2: " +
                (std::isfinite(f.alias) ? "as linhas traçam outra oscilação, mais lenta, de período " +
                                              g(f.alias, 5) + " (aliasing), e não a da força"
                                        : "as linhas apanham a força sempre na mesma fase");
    if (!std::isnan(f.off))
        text += "; com h·wf = " + g(setup.h * setup.motion.wf, 3) +
                " o passo afasta o regime estacionário do método do exato: |Y| é " + g(f.off, 3) + " vezes |X|";
    return table + say.notes() + text + "\n";
}

std::string resonance_text(const Setup &setup, const ResonanceFinding &r)
{
    using Kind = PeakFinding::Kind;
    Words say;
    std::string table = title_of(setup) + "\n";
    if (r.per_unit_force) table += "sem força no harmosc: a curva é a amplitude por unidade de força (f = 1)\n";
    table += line(24, 14, {"", "exato", "RK4, h = " + g(r.h)});
    table += line(24, 14, {"pico wr", say(r.exact.wf), say(r.method.wf)});
    table += line(24, 14, {"altura", say(r.exact.height), say(r.method.height)});
    table += line(24, 14, {"largura a meia potência", say(r.exact.width), say(r.method.width)});
    table += line(24, 14, {"Q = wr/largura", say(r.exact.q), say(r.method.q)});
    table += line(24, 14, {"Q = w0/(2β)", say(r.textbook_q)});
    if (!r.points.empty()) {
        table += line(12, 16, {"wf", "medido", "método", "exato", "medido - método"});
        for (const MeasuredPoint &p : r.points)
            table += line(12, 16, {g(p.wf), say(p.measured), say(p.method), say(p.exact), say(p.gap, "%.2g")});
    }
    const std::string h = g(r.h);
    std::string text = "resposta: ";
    const PeakFinding &e = r.exact;
    const PeakFinding &c = r.method;
    // Where a peak stands against the range shown, when not inside it.
    const auto place = [&](const PeakFinding &p) -> std::string {
        if (p.kind != Kind::peak || p.place.where == Placed::Where::inside) return "";
        return " (fora do intervalo de wf mostrado, de " + g(r.low) + " a " + g(r.high) + ", onde a curva " +
               (p.place.where == Placed::Where::rises ? "sobe até ao fim" : "cai desde o início") + ")";
    };
    const std::string grows = r.grows ? "; mas com b < 0 o movimento cresce e as linhas nunca chegam a este "
                                        "regime estacionário: a curva |X| é a da solução particular"
                                      : "";
    switch (e.kind) {
    case Kind::peak:
        text += "o pico está em wr = sqrt(w0² - 2β²) = " + say(e.wf, "%.3g") + ", com altura " +
                say(e.height, "%.4g") + place(e);
        if (e.width.absent == Absent::none)
            text += ", largura " + say(e.width, "%.3g") + " e Q = wr/largura = " + say(e.q, "%.3g");
        else
            text += "; a curva já está acima de meia potência em wf = 0, e não há largura nem Q = wr/largura";
        if (r.textbook_q.absent == Absent::none) text += "; o Q dos livros, w0/(2β), é " + say(r.textbook_q, "%.3g");
        text += grows;
        break;
    case Kind::falls:
        text += "com w0² <= 2β² a curva não tem pico: cai desde wf = 0, onde vale f/w0² = " +
                say(of(e.start), "%.4g") + ", e passa a meia potência em wf = " + say(of(e.falling_half), "%.3g") +
                grows;
        break;
    case Kind::no_damping:
        text += "sem amortecimento a amplitude cresce sem limite em wf = w0: não há pico finito";
        break;
    case Kind::no_spring:
    case Kind::never_settles:
        text += "sem mola (w0 = 0) a amplitude é infinita em wf = 0 e cai com wf: não há pico" + grows;
        break;
    }
    switch (c.kind) {
    case Kind::peak:
        if (c.wf.absent != Absent::none) {
            text += "; a curva do RK4 com h = " + h + " passa o maior double perto do pico";
            break;
        }
        text += (e.kind == Kind::peak ? "; o RK4 com h = " + h + " põe-no em "
                                      : "; a curva do RK4 com h = " + h + " tem um pico em ") +
                say(c.wf, "%.3g");
        if (c.height.absent == Absent::none) text += " com altura " + say(c.height, "%.4g");
        if (e.kind == Kind::no_damping) text += ", do amortecimento do próprio método (|R| < 1)";
        text += e.kind == Kind::peak && !place(e).empty() && c.place.where == e.place.where
                    ? " (também fora do intervalo mostrado)"
                    : place(c);
        if (c.place.where == Placed::Where::inside && c.place.at > c.wf.value * (1 + 1e-9))
            text += " (no intervalo mostrado, na sua repetição em wf = " + g(c.place.at) + ")";
        break;
    case Kind::falls:
        text += "; a curva do RK4 com h = " + h + (e.kind == Kind::falls ? " também" : "") +
                " não tem pico: cai desde wf = 0, onde vale " + say(of(c.start), "%.4g") +
                (std::isnan(c.falling_half) ? "" : ", e passa a meia potência em wf = " + g(c.falling_half, 3));
        break;
    case Kind::no_spring:
    case Kind::no_damping:
        text += "; a do RK4 com h = " + h + " também é infinita em wf = 0";
        break;
    case Kind::never_settles:
        text += r.h == 0.0 ? "; com h = 0 o tempo não avança, e o RK4 não tem curva"
                           : "; com h = " + h + " o RK4 não faz decair o transitório, e as suas linhas nunca "
                             "chegam a um regime estacionário: não tem curva";
        break;
    }
    // Its stages take the force every h/2: the curve turns back at 2π/h and repeats every 4π/h.
    if (r.turns_back)
        text += "; a curva do RK4 volta para trás em wf = 2π/h = " + g(0.5 * r.repeat) +
                " e repete-se a cada 4π/h = " + g(r.repeat) + " (o passo toma a força a cada h/2)";
    if (!r.points.empty())
        text += r.furthest.absent == Absent::none
                    ? format("; os pontos medidos ficam a %.1e da curva do método%s", r.furthest.value,
                             r.short_runs ? ", com o transitório ainda nas linhas: aumente N para o "
                                            "ver sumir"
                                          : "")
                    : std::string("; as linhas do programa não dão pontos a medir");
    return table + say.notes() + text + "\n";
}

std::string methods_text(const Setup &setup, const MethodsFinding &f)
{
    using Energy = MethodFinding::Energy;
    Words say;
    std::string table = title_of(setup) + "\n";
    table += line(13, 11, {"erro em x(T)", "h = " + g(setup.h), "h/2", "h/4", "h/8", "ordem", "nominal"});
    std::string orders;
    std::string nominal;
    std::string limits;
    std::string growing; // the methods whose kept area does not keep the energy at this step
    bool shown[4] = {false, false, false, false}; // each outcome, for its line under the table
    std::string second = line(13, 14, {"", "E/E0 - 1 fim", "fator^passos", "período", "h·w0 estável"});
    for (const MethodFinding &m : f.methods) {
        const Verdict &v = m.verdict;
        const std::string order = v.outcome == Outcome::settled       ? format("%.2f", v.order)
                                  : v.outcome == Outcome::unsettled   ? format("%.2f?", v.order)
                                  : v.outcome == Outcome::sign_change ? "sinal"
                                                                      : "nenhuma";
        shown[static_cast<int>(v.outcome)] = true;
        std::vector<std::string> cells{m.method->name};
        for (const Run &run : m.runs) cells.push_back(say(finite_or(run.error, Absent::overflow), "%.3e"));
        cells.push_back(order);
        cells.push_back(std::to_string(m.method->order));
        table += line(13, 11, cells);
        const std::string limit = say(m.limit);
        const std::string predicted = m.energy == Energy::oscillates ? "oscila"
                                      : m.energy == Energy::grows    ? "cresce"
                                                                     : say(m.energy_predicted, "%.3e");
        if (m.energy == Energy::grows) growing += (growing.empty() ? "" : " e ") + std::string(m.method->name);
        second += line(13, 14, {m.method->name, say(m.energy_end, "%.3e"), predicted, say(m.period), limit});
        orders += (orders.empty() ? "" : ", ") + order;
        nominal += (nominal.empty() ? "" : ", ") + std::to_string(m.method->order);
        limits += (limits.empty() ? "" : ", ") + limit;
    }
    std::string legend;
    if (shown[static_cast<int>(Outcome::unsettled)])
        legend += "ordem com ?: ainda não assente (um só par de erros, ou a ordem muda mais de 0.1 de um "
                  "par para o seguinte, ou vem depois de uma mudança de sinal)\n";
    if (shown[static_cast<int>(Outcome::sign_change)])
        legend += "ordem sinal: o erro muda de sinal entre os dois últimos passos medidos, e a razão não "
                  "dá ordem\n";
    if (shown[static_cast<int>(Outcome::none)])
        legend += "ordem nenhuma: não há dois erros seguidos que sejam do método, acima do arredondamento "
                  "das contas e abaixo do tamanho do próprio movimento\n";
    if (!growing.empty())
        legend += "cresce: o " + growing + " guarda" + (growing.find(" e ") != std::string::npos ? "m" : "") +
                  " a área do plano de fase (det M = 1), mas com h·w0 acima do seu limite M tem um valor "
                  "próprio real maior do que 1, e a energia cresce com ele\n";
    std::string text = "exato: período " + say(finite_or(f.exact_period_value, Absent::no_oscillation)) +
                       "; h·w0 = " + g(f.h_w0) + "\n";
    text += "resposta: ordens observadas " + orders + " (nominais " + nominal + "); h·w0 máximo estável " +
            limits;
    if (f.backward)
        text += ", para h > 0: com h < 0 a execução corre para trás no tempo, onde o amortecimento faz "
                "crescer o movimento, e todos os métodos o fazem crescer, como o exato";
    return table + second + say.notes() + legend + text + "\n";
}

namespace {

// Where the windows of x against t run, and how many of their rows the dots are.
std::vector<Caption> window_captions(const MotionWindows &w, const char *periods)
{
    const auto from_to = [&](double from) { return "t de " + g(from, 4) + " a " + g(from + w.span, 4); };
    const std::string dots = w.stride == 1 ? "x calculado (as linhas)"
                                           : format("x calculado (uma em cada %zu linhas)", w.stride);
    if (!w.two) return {caption("first_title", "toda a execução: " + from_to(w.first_from)), caption("dots_key", dots)};
    return {caption("first_title", std::string("os 3 primeiros ") + periods + ": " + from_to(w.first_from)),
            caption("last_title", std::string("os 3 últimos ") + periods + ": " + from_to(w.last_from)),
            caption("dots_key", dots)};
}

} // namespace

std::vector<Caption> error_captions(const ErrorFinding &f)
{
    Words say;
    const bool unstable = f.growth == ErrorFinding::Growth::exponential &&
                          f.cause == ErrorFinding::Cause::unstable_step;
    return {caption("predicted_key", "previsto para |x - x exato| pelo fator de um passo: " + say(f.predicted, "%.3g") + " no fim"),
            caption("gap_key", "|Y - X| = " + say(f.steady_gap, "%.2g") + ", o que fica no regime estacionário"),
            caption("note", unstable ? past_limit(f.step_size, f.limit) + "; o erro cresce " + factor_text(f.log_factor) +
                                           " vezes a cada passo"
                                     : "")};
}

std::vector<Caption> energy_captions(const EnergyFinding &f)
{
    const bool unstable = f.kind == EnergyFinding::Kind::growing &&
                          f.cause == EnergyFinding::Cause::unstable_step;
    return {caption("note", unstable ? "a energia cresce: " + energy_gain(f) : "")};
}

std::vector<Caption> period_captions(const PeriodFinding &f)
{
    Words say;
    std::vector<Caption> words = window_captions(f.windows, "períodos");
    words.push_back(caption("period_key", "período medido: " + say(f.measured, "%.5g") + " (exato " +
                                              say(f.exact, "%.5g") + ")"));
    // Why no period is marked.
    words.push_back(caption("note", f.unstable ? past_limit(f.step_size, f.limit) +
                                                     ": as linhas crescem sem limite, e não se marca período"
                                    : f.kind == PeriodFinding::Kind::absent ? "o movimento não oscila: não há período"
                                    : f.measured.absent != Absent::none
                                        ? std::string("não há período medido: ") + why(f.measured.absent)
                                        : ""));
    return words;
}

std::vector<Caption> steady_captions(const SteadyFinding &f)
{
    Words say;
    std::vector<Caption> words = window_captions(f.windows, "períodos da força");
    words.push_back(caption("period_key", "período medido: " + say(f.period, "%.5g") + " (o da força, 2π/wf = " +
                                              g(f.forced_period, 5) + ")"));
    words.push_back(caption("amplitude_key", "amplitude estacionária medida: " + say(f.amplitude, "%.5g") +
                                                 " (exata " + g(f.exact_amplitude, 5) + ")"));
    words.push_back(caption("note", f.kind == SteadyFinding::Kind::never && f.never == SteadyFinding::Never::unstable
                                        ? std::string(growing_transient) + ": não há regime estacionário"
                                        : ""));
    return words;
}

std::vector<Caption> methods_captions(const MethodsFinding &f)
{
    std::string names;
    // The unstable methods with no stable step here, and those past their limit.
    std::vector<std::string> unstable[2];
    for (const MethodFinding &m : f.methods) {
        names += std::string(m.method->name) + (m.unstable ? " (instável)" : "") + "\n";
        if (m.unstable) unstable[m.limit.absent == Absent::none ? 1 : 0].emplace_back(m.method->name);
    }
    if (!names.empty()) names.pop_back(); // the caption ends the last line
    std::string note;
    const char *const which[] = {" com qualquer passo neste movimento", " acima do seu limite"};
    for (int kind = 0; kind < 2; ++kind) {
        const std::vector<std::string> &listed = unstable[kind];
        for (std::size_t i = 0; i < listed.size(); ++i) {
            const char *const before = i > 0 ? (i + 1 < listed.size() ? ", " : " e ") : note.empty() ? "" : "; ";
            note += before + listed[i];
        }
        if (!listed.empty()) note += which[kind];
    }
    const std::size_t count = unstable[0].size() + unstable[1].size();
    if (count > 0)
        note = (count == 1 ? "instável com h·w0 = " : "instáveis com h·w0 = ") + g(f.h_w0) +
               " (o movimento calculado cresce sem limite): " + note;
    return {caption("names", names), caption("note", note)};
}

std::vector<Caption> resonance_captions(const ResonanceFinding &r)
{
    Words say;
    const PeakFinding &e = r.exact;
    const PeakFinding &c = r.method;
    const bool no_curve = c.kind == PeakFinding::Kind::never_settles;
    return {caption("peak_key", "pico exato: wr = " + say(e.wf, "%.3g") + ", altura " + say(e.height, "%.4g")),
            caption("method_peak_key", "pico do RK4: wf = " + say(of(c.place.at), "%.3g") +
                                           (c.place.at > c.wf.value * (1 + 1e-9) ? ", a repetição do de " + say(c.wf, "%.3g") : "") +
                                           ", altura " + say(c.height, "%.4g")),
            caption("width_key", "largura a meia potência: " + say(e.width, "%.3g") + " (Q = " + say(e.q, "%.3g") + ")"),
            caption("note", no_curve ? "sem a curva do RK4: com h = " + g(r.h) +
                                           " as suas linhas nunca chegam a um regime estacionário"
                                     : "")};
}

} // namespace osc
