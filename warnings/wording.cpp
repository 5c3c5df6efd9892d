#include "warnings/wording.hpp"

#include "stepmath/sampling.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"
#include "warnings/disk_space.hpp"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <utility>

namespace osc {

namespace {

// A number as a sentence gives it: three significant digits, or `digits` where more are needed.
std::string figure(double value, int digits = 3)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

// Whether a line may break at the space `at`: not inside "name = value" or "t + h".
bool breaks_at(const std::string &text, std::size_t at)
{
    const auto joins = [&](std::size_t i) { return text[i] == '=' || text[i] == '+'; };
    const std::size_t word_end = text.find(' ', at + 1);
    return !joins(at - 1) && !(at + 1 < text.size() && joins(at + 1)) &&
           (word_end == std::string::npos || text.compare(word_end, 3, " = ") != 0);
}

// A warning as it is read: the first line says what is wrong, how much and what to do; `why`
// follows, indented, on at most two more lines, the first broken at a space by 100 columns.
std::string warning(const std::string &head, const std::string &why)
{
    if (why.empty()) return head;
    const std::size_t room = 98;
    if (columns(why) <= room) return head + "\n  " + why;
    std::size_t cut = why.rfind(' ');
    while (cut != std::string::npos && cut > 0 &&
           (columns(why.substr(0, cut)) > room || !breaks_at(why, cut)))
        cut = why.rfind(' ', cut - 1);
    if (cut == std::string::npos || cut == 0) return head + "\n  " + why;
    return head + "\n  " + why.substr(0, cut) + "\n  " + why.substr(cut + 1);
}

// A count such as N in full digits, or as the data files write it beyond 10^15.
std::string whole(double value)
{
    if (!(value < 1e15)) return text(value);
    char digits[24];
    std::snprintf(digits, sizeof digits, "%.0f", value);
    return digits;
}

// The tolerance as the sentences give it: "1%".
std::string tolerance_text() { return figure(100.0 * tolerance) + "%"; }

// "com h = ... e N = ... ficaria abaixo de 1%", N steps of h reaching the same end.
std::string offer(double h, double steps)
{
    return "com h = " + text(h) + " e N = " + whole(steps) + " ficaria abaixo de " +
           tolerance_text();
}

// A time as a sentence gives it: three significant digits, written as in the data files.
std::string time_figure(double t)
{
    if (!(t != 0.0) || !std::isfinite(t)) return text(t);
    const double unit = std::pow(10.0, std::floor(std::log10(std::abs(t))) - 2.0);
    return text(std::round(t / unit) * unit);
}

// A time that a bound must not pass, cut (not rounded) to three significant digits.
std::string time_below(double t)
{
    if (!(t > 0.0) || !std::isfinite(t)) return text(t);
    const double unit = std::pow(10.0, std::floor(std::log10(t)) - 2.0);
    return text(std::floor(t / unit) * unit);
}

// Two numbers in as few significant digits, from three on, as tell them apart.
std::pair<std::string, std::string> apart(double a, double b)
{
    int digits = 3;
    while (a != b && digits < 17 && figure(a, digits) == figure(b, digits)) ++digits;
    return {figure(a, digits), figure(b, digits)};
}

// e^log_value in three significant digits, also beyond the range of a double.
std::string exp_figure(double log_value)
{
    if (log_value > std::log(DBL_MIN) && log_value < std::log(DBL_MAX))
        return figure(std::exp(log_value));
    const double decimal = log_value / std::log(10.0);
    if (!(std::abs(decimal) < 1e15)) return "10^" + figure(decimal);
    double exponent = std::floor(decimal);
    std::string mantissa = figure(std::pow(10.0, decimal - exponent));
    if (mantissa == "10") {
        mantissa = "1";
        exponent += 1.0;
    }
    char text[40];
    std::snprintf(text, sizeof text, "e%+.0f", exponent);
    return mantissa + text;
}

// A share in percent: whole units from 10% on, two digits below.
std::string percent(double share)
{
    char text[32];
    std::snprintf(text, sizeof text, share >= 0.1 ? "%.0f%%" : "%.2g%%", 100.0 * share);
    return text;
}

// How the computed amplitude, e^log_ratio times the exact one, compares with it.
std::string comparison(double log_ratio)
{
    const double ratio = std::exp(log_ratio);
    if (ratio >= 0.01 && ratio < 1.0) return percent(1.0 - ratio) + " menor do que a exata";
    if (ratio > 1.0 && ratio <= 2.0) return percent(ratio - 1.0) + " maior do que a exata";
    return exp_figure(log_ratio) + " vezes a exata";
}

// One mode as the sentences name it: `what` the mode, `label` its h·|λ|, and `cause`, where the
// step is fixed, the constants that make it large.
struct Named {
    std::string what, label, cause;
};

Named named(const StepFindings &found, const ModeFinding &mode)
{
    const std::string k_m = "k/m = " + text(found.w0 * found.w0);
    const std::string b_m = "b/m = " + text(found.beta + found.beta);
    const std::string cause = mode.cause == Cause::spring    ? "é " + k_m + " que torna"
                              : mode.cause == Cause::damping ? "é " + b_m + " que torna"
                                                             : "são " + k_m + " e " + b_m +
                                                                   " que tornam";
    if (mode.z.imag() != 0.0) return {"a oscilação", "h·w0", cause};
    return {"a parte do movimento que varia como e^(λ·t) com λ = " +
                figure(mode.z.real() / found.grid.h),
            "h·|λ|", cause};
}

// Which constants a fixed step asks to make smaller.
std::string smaller(Cause cause)
{
    return cause == Cause::spring ? "k/m" : cause == Cause::damping ? "b/m" : "k/m e b/m";
}

// What keeps a mode within the tolerance: a clause for the first line, and its detail.
std::pair<std::string, std::string> remedy(const StepFindings &found, const ModeFinding &mode,
                                           const Named &name)
{
    const Remedy &r = mode.remedy;
    const Grid &grid = found.grid;
    const std::string t_end = text(grid.steps * grid.h);
    const std::string within = "abaixo de " + tolerance_text();
    const std::string small = name.label + " = " + figure(std::abs(mode.z)) +
                              " é pequeno, mas o desvio de cada passo acumula-se nos " +
                              text(grid.steps) + " passos";
    const std::string prefix = r.by_length ? small : "";
    const std::string then = r.by_length ? small + "; " : "";
    const std::string would = "h = " + text(r.h) + " bastaria, mas ";
    switch (r.kind) {
    case Remedy::Kind::shorter_run:
        return {"até t = " + time_below(r.until) + " ficaria " + within,
                small + " até t = " + t_end};
    case Remedy::Kind::constants:
        return {"h = " + text(grid.h) + " é fixo: baixe " + smaller(mode.cause),
                name.cause + " " + name.label + " grande"};
    case Remedy::Kind::no_step:
        return {"nenhum passo o mantém " + within + " até t = " + t_end, prefix};
    case Remedy::Kind::step: return {offer(r.h, r.steps), prefix};
    case Remedy::Kind::end_not_finite: return {would + "N·h não é finito", prefix};
    case Remedy::Kind::too_many_steps:
        return {would + "N passaria do máximo",
                then + "só chegaria a t = " + t_end + " com mais de " + whole(r.steps) +
                    " passos, o maior N que se aceita"};
    case Remedy::Kind::stalls: break;
    }
    return {would + "a soma do tempo para antes",
            then + "só chegaria a t = " + t_end + " com N = " + whole(r.steps) +
                " passos, e a soma do tempo deixa de avançar antes disso"};
}

// How the computed oscillation turns against the exact one: a verb, and a clause that says by
// how much, with the period either way.
std::pair<std::string, std::string> turn(const StepFindings &found, const Turn &t,
                                         bool with_periods = true)
{
    const auto [period, exact_period] = apart(t.period, t.exact_period);
    const std::string periods = !with_periods ? std::string() : ", com um período de " + period + " em vez de " +
                                (found.beta == 0.0 ? "2π/w0" : "2π/sqrt(w0² - β²)") + " = " +
                                exact_period;
    if (!t.per_step) {
        const bool behind = t.phase * t.exact < 0.0;
        return {behind ? "atrasa a oscilação" : "adianta a oscilação",
                "a fase vai " + figure(std::abs(t.phase)) + " rad " +
                    (behind ? "atrasada" : "adiantada") + periods};
    }
    return {"perde a fase da oscilação", "cada passo roda a oscilação de " + figure(t.step) +
                                             " rad em vez de " + figure(t.exact) + periods};
}

std::string effect(const ModeFinding &mode, const std::string &what)
{
    using Effect = ModeFinding::Effect;
    switch (mode.effect) {
    case Effect::decays_growing: return "faz decair " + what + ", que a física faz crescer";
    case Effect::grows_slower: return "faz crescer " + what + " mais devagar do que a física";
    case Effect::grows_faster: return "faz crescer " + what + " mais depressa do que a física";
    case Effect::damps_undamped: return "amortece " + what + ", que não tem amortecimento físico";
    case Effect::damps_faster: return "amortece " + what + " mais depressa do que a física";
    case Effect::damps_slower: break;
    }
    return "amortece " + what + " mais devagar do que a física";
}

// The run's own error, said once a run, by the first warning about the free motion.
std::string strays(const StepFindings &found)
{
    return "a posição afasta-se " + percent(found.run_error) + " da exata";
}

std::string until(const StepFindings &found)
{
    return "até t = " + time_figure(found.run_until);
}

std::string run_sentence(const StepFindings &found, const RunErrorFinding &run)
{
    const std::string h = text(found.grid.h);
    if (run.fixed) return warning(strays(found) + "; h = " + h + " é fixo", until(found));
    if (std::isnan(run.h))
        return warning(strays(found) + "; nenhum passo menor a põe abaixo de " +
                           tolerance_text(),
                       until(found) + "; nenhum passo de 1, 2 ou 5 vezes uma potência de dez, "
                                      "até um milionésimo de h = " + h + ", o faria");
    return warning(strays(found) + "; " + offer(run.h, run.steps), until(found));
}

// One mode: the first to speak says the run's own error on its first line.
std::string mode_sentence(const StepFindings &found, const ModeFinding &mode, bool first)
{
    const Named name = named(found, mode);
    const std::string size = "com " + name.label + " = " + figure(std::abs(mode.z));
    const auto [cure, detail] = remedy(found, mode, name);
    const std::string more = detail.empty() ? "" : "; " + detail;
    if (mode.kind == ModeFinding::Kind::unstable) {
        // Just past the limit, three digits would give the step and the limit alike.
        const auto [step, limit] = apart(std::abs(mode.z), mode.limit);
        return warning("passo instável, cresce sem limite; " + cure,
                       "com " + name.label + " = " + step + " passa o limite do método para " +
                           name.what + ", " + name.label + " = " + limit +
                           ", seja qual for a física" + more);
    }
    const Deviation &d = mode.deviation;
    const std::string since = first ? until(found) + ", " : "";
    if (mode.kind == ModeFinding::Kind::phase) {
        const auto [verb, clause] = turn(found, mode.turn);
        const std::string amplitude =
            mode.amplitude_said ? ", e a amplitude é " + comparison(d.log_amplitude) : "";
        return warning((first ? strays(found) : "o método " + verb) + "; " + cure,
                       since + size + " o método " + verb + ": " + clause + amplitude + more);
    }
    const std::string phase =
        mode.phase_off ? ", e " + turn(found, mode.turn, false).second : "";
    return warning(
        (first ? strays(found) : "a amplitude sai " + comparison(d.log_amplitude)) + "; " + cure,
        since + size + " o método " + effect(mode, name.what) + ": em t = " +
            time_figure(horizon_time(mode, found.grid)) + " a amplitude é " +
            comparison(d.log_amplitude) + phase + more);
}

std::string overflow_sentence(const StepFindings &found, const OverflowFinding &o)
{
    const std::string limit = "maior número que um double guarda, " + text(DBL_MAX);
    const std::string start = "x0 = " + text(found.x0) + " e v0 = " + text(found.v0);
    if (o.kind == OverflowFinding::Kind::start)
        return warning(start + " estão perto demais do maior double",
                       "o " + limit + ": as somas de um passo podem passá-lo, e as linhas "
                                      "ficar inf e nan");
    const std::string cause =
        o.cause == OverflowFinding::Cause::backward_growth
            ? "para trás no tempo, o amortecimento faz a solução crescer como e^(" +
                  figure(found.growth) + "·|t|)"
        : o.cause == OverflowFinding::Cause::growth
            ? "a física faz a solução crescer como e^(" + figure(found.growth) + "·t)"
            : "a partir de " + start + " a solução cresce até lá";
    const std::string when = "por volta de t = " + time_figure(o.time);
    if (o.kind == OverflowFinding::Kind::near)
        return warning(when + " a solução calculada chega perto demais do maior double",
                       "o " + limit + ": as somas de um passo podem passá-lo, e as linhas "
                                      "ficar inf e nan; " + cause);
    return warning(when + " a solução calculada passa o maior double",
                   "o " + limit + ": daí em diante as linhas são inf e nan; " + cause);
}

// "391 GB": three significant digits in the units of the file system's own tools.
std::string size_text(double bytes)
{
    static const char *const units[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB"};
    std::size_t unit = 0;
    while (bytes >= 1000.0 && unit + 1 < std::size(units)) {
        bytes /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g %s", bytes, units[unit]);
    return text;
}

} // namespace

std::vector<std::string> sentences(const StepFindings &found)
{
    std::vector<std::string> said;
    const double h = found.grid.h;
    if (found.backward)
        said.push_back(warning(
            "h = " + text(h) + " é negativo: a simulação corre para trás, de t = 0 até t = " +
                text(found.grid.steps * h),
            found.growth > 0.0
                ? "o amortecimento, que para a frente faz decair o movimento, faz agora crescer "
                  "a solução como e^(" + figure(found.growth) + "·|t|)"
                : ""));
    if (found.time_overflows)
        said.push_back(warning("N·h passa o maior double: a soma do tempo chega a inf " +
                                   std::string(found.overflow_step_estimated
                                                   ? "por volta do passo "
                                                   : "no passo ") +
                                   whole(found.overflow_step),
                               "o maior número que um double guarda é " + text(DBL_MAX) +
                                   "; daí em diante as linhas são inf e nan"));
    bool first = true; // the run's own error is said once, by the first mode that strays
    for (const ModeFinding &mode : found.modes) {
        said.push_back(mode_sentence(found, mode, first));
        first = first && mode.kind == ModeFinding::Kind::unstable;
    }
    if (found.run) said.push_back(run_sentence(found, *found.run));
    if (found.overflow) said.push_back(overflow_sentence(found, *found.overflow));
    return said;
}

std::string sentence(const RepeatFinding &found)
{
    if (found.still) return "h = 0: o tempo não avança, e todas as linhas têm t = 0";
    const bool both = !std::isnan(found.n);
    const std::string head = "linhas seguidas repetem t a partir de t = " + text(found.t) +
                             (both ? ", e n a partir de n = " + text(found.n) : "");
    return warning(head, "os números escritos têm seis algarismos significativos, que a partir "
                         "daí não distinguem t de t " +
                             std::string(found.h < 0.0 ? "- " : "+ ") + text(std::abs(found.h)) +
                             (both ? " nem n de n + 1" : ""));
}

// The end of the transient is named once a run, by the free motion's warning (the time of
// its horizon); the forced oscillation's warning only says "passado o transitório".
std::string sentence(const DrivenFinding &found)
{
    const double ratio = found.amplitude / found.exact_amplitude;
    std::string amplitude = figure(ratio) + " vezes A(wf)";
    if (ratio >= 0.5 && ratio <= 2.0) {
        const double share = 100.0 * std::abs(ratio - 1.0);
        amplitude = (share >= 10.0 ? std::to_string(std::llround(share)) : figure(share)) +
                    "% " + (ratio < 1.0 ? "menor" : "maior");
    }
    const std::string phase = std::abs(found.phase) < 5e-4
                                  ? "a fase certa"
                                  : std::string("a fase ") +
                                        (found.phase > 0.0 ? "adiantada" : "atrasada") + " " +
                                        figure(std::abs(found.phase)) + " rad";
    const DrivenRemedy &r = found.remedy;
    const std::string within = "abaixo de " + tolerance_text();
    std::string cure = offer(r.h, r.steps);
    std::string detail;
    if (r.kind == DrivenRemedy::Kind::none) {
        cure = "nenhum passo menor a põe " + within;
        detail = "; nenhum passo de 1, 2 ou 5 vezes uma potência de dez, até um milionésimo de "
                 "h = " + text(r.h_now) + ", o faria";
    } else if (r.kind == DrivenRemedy::Kind::too_many_steps) {
        cure = "h = " + text(r.h) + " ficaria " + within + ", mas com N demais";
        detail = "; seriam precisos N = " + whole(r.steps) +
                 " passos até ao mesmo instante final, mais do que a execução permite";
    }
    return warning("a amplitude sai " + amplitude + "; " + cure,
                   "com h·wf = " + figure(found.h_wf) +
                       ", passado o transitório, as linhas oscilam com amplitude " +
                       figure(found.amplitude) + " em vez de A(wf) = " +
                       figure(found.exact_amplitude) + ", e com " + phase + detail);
}

namespace {

// How N and h are read (`in_order`, as x0 v0 N h) and, where they may have come swapped, what
// the other way would do; h as N in all its digits where it is a count.
std::string as_read(const std::optional<SwapFinding> &swapped, bool in_order = true)
{
    const std::string meaning = "N conta os passos e h é o seu tamanho";
    std::string read = in_order ? "lidos como x0 v0 N h, " + meaning : meaning;
    if (!swapped) return read;
    const double N = swapped->h;
    return read + "; se N e h vieram trocados, N = " + (N == std::floor(N) ? whole(N) : text(N)) +
           " e h = " + text(swapped->steps) + " iriam até t = " + text(swapped->end);
}

} // namespace

std::string sentence(const OneRowFinding &found)
{
    const std::string only = "só a linha de t = 0 será escrita";
    if (std::isnan(found.steps))
        return "o instante final " + text(found.end) +
               " vem antes do primeiro passo, h = " + text(found.h) + ": " + only;
    const std::string what = found.steps == 0.0 ? ": nenhum passo, " : " não chega a um passo: ";
    std::optional<SwapFinding> swapped;
    if (found.swapped) swapped = SwapFinding{found.steps, found.h, found.end};
    return warning("N = " + text(found.steps) + what + only, as_read(swapped));
}

std::string follow_up(const SwapFinding &found, bool in_order)
{
    return warning("", as_read(found, in_order));
}

std::string sentence(const SamplingFinding &found)
{
    const std::string start =
        std::string(found.of == SamplingFinding::Of::free ? "a oscilação livre"
                                                          : "a oscilação forçada") +
        " (período " + figure(found.period) + ") tem só " + figure(found.rows) +
        " linhas por período, menos de ";
    const std::string each = "uma a cada h = " + text(found.h) + ": ";
    switch (found.kind) {
    case SamplingFinding::Kind::broken_line:
        return warning(start + figure(smooth_rows),
                       each + "o gráfico, que as liga por segmentos, mostra uma linha quebrada "
                              "aos bicos, em x(t) e no retrato de fase, e não uma curva suave");
    case SamplingFinding::Kind::constant:
        return warning(start + figure(nyquist_rows),
                       each + "caem todas na mesma fase e o gráfico mostra uma constante em vez "
                              "da oscilação (aliasing)");
    case SamplingFinding::Kind::alias: break;
    }
    return warning(start + figure(nyquist_rows),
                   each + "o gráfico mostra uma oscilação falsa, mais lenta, de período " +
                       figure(found.apparent) + ", que não existe no movimento (aliasing)");
}

std::string sentence(const char *file, const DiskFinding &found)
{
    const std::string lines = " (" + text(found.rows) + " linhas), mas só há " +
                              size_text(found.room) + " livres no disco";
    if (found.kind == DiskFinding::Kind::cannot_fit)
        return std::string("não é possível escrever ") + file + ": ocuparia cerca de " +
               size_text(found.bytes) + lines + "; nenhum ficheiro foi alterado";
    if (found.kind == DiskFinding::Kind::large)
        return warning("esta execução escreve cerca de " + size_text(found.bytes) + " em " + file +
                           " (" + text(found.rows) + " linhas)",
                       "mais de " + size_text(large_file) +
                           "; se não é o que queria, interrompa-a com Ctrl+C");
    return warning(std::string(file) + " pode chegar a " + size_text(found.bytes) + lines,
                   "se o disco encher, a execução para aí e o ficheiro fica com as linhas "
                   "completas escritas até então");
}

} // namespace osc
