#include "warnings/wording.hpp"

#include "stepmath/sampling.hpp"
#include "text/messages.hpp"

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

// "com h = ... e N = ..., até ao mesmo instante final, o desvio ficaria abaixo de 1%".
std::string offer(double h, double steps)
{
    return "com h = " + text(h) + " e N = " + whole(steps) +
           ", até ao mesmo instante final, o desvio ficaria abaixo de " + tolerance_text();
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

std::string remedy(const StepFindings &found, const ModeFinding &mode, const Named &name)
{
    const Remedy &r = mode.remedy;
    const Grid &grid = found.grid;
    const double t_end = grid.steps * grid.h;
    const std::string within = "abaixo de " + tolerance_text();
    const std::string small = name.label + " = " + figure(std::abs(mode.z)) +
                              " é pequeno, mas o desvio de cada passo acumula-se nos " +
                              text(grid.steps) + " passos";
    const std::string prefix = r.by_length ? small + "; " : "";
    const std::string would = prefix + "um passo que mantenha o desvio " + within + ", h = " +
                              text(r.h) + " ou menor, ";
    switch (r.kind) {
    case Remedy::Kind::shorter_run:
        return small + " até t = " + text(t_end) + "; até t = " + time_below(r.until) +
               " ficaria " + within;
    case Remedy::Kind::constants:
        return "um passo menor ajudaria, mas h = " + text(grid.h) + " é fixo: " + name.cause +
               " " + name.label + " grande";
    case Remedy::Kind::no_step:
        return prefix + "nenhum passo mantém o desvio " + within + " até t = " + text(t_end);
    case Remedy::Kind::step: return prefix + offer(r.h, r.steps);
    case Remedy::Kind::end_not_finite: return would + "não chegaria a N·h, que não é finito";
    case Remedy::Kind::too_many_steps:
        return would + "só chegaria a t = " + text(t_end) + " com mais de " + whole(r.steps) +
               " passos, o maior N que se aceita";
    case Remedy::Kind::stalls: break;
    }
    return would + "só chegaria a t = " + text(t_end) + " com N = " + whole(r.steps) +
           " passos, e a soma do tempo deixa de avançar antes disso";
}

// How the computed oscillation turns against the exact one: a verb, and a clause that says by
// how much, with the period either way.
std::pair<std::string, std::string> turn(const StepFindings &found, const Turn &t)
{
    const auto [period, exact_period] = apart(t.period, t.exact_period);
    const std::string periods = "com um período de " + period + " em vez de " +
                                (found.beta == 0.0 ? "2π/w0" : "2π/sqrt(w0² - β²)") + " = " +
                                exact_period;
    if (!t.per_step) {
        const bool behind = t.phase * t.exact < 0.0;
        return {behind ? "atrasa a oscilação" : "adianta a oscilação",
                "a fase vai " + figure(std::abs(t.phase)) + " rad " +
                    (behind ? "atrasada" : "adiantada") + ", " + periods};
    }
    return {"perde a fase da oscilação", "cada passo roda a oscilação de " + figure(t.step) +
                                             " rad em vez de " + figure(t.exact) + ", " + periods};
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

// The run's own error: "até t = 20 a posição calculada chega a afastar-se da exata 5.1% da
// amplitude".
std::string strays(const StepFindings &found)
{
    return "até t = " + time_figure(found.run_until) +
           " a posição calculada chega a afastar-se da exata " + percent(found.run_error) +
           " da amplitude";
}

std::string run_sentence(const StepFindings &found, const RunErrorFinding &run)
{
    const std::string said = strays(found) + "; ";
    if (run.fixed) return said + "um passo menor ajudaria, mas h = " + text(found.grid.h) + " é fixo";
    if (std::isnan(run.h))
        return said + "nenhum passo de 1, 2 ou 5 vezes uma potência de dez, até um milionésimo "
                      "de h = " + text(found.grid.h) + ", o poria abaixo de " + tolerance_text();
    return said + offer(run.h, run.steps);
}

std::string mode_sentence(const StepFindings &found, const ModeFinding &mode)
{
    const Named name = named(found, mode);
    const std::string size = name.label + " = " + figure(std::abs(mode.z));
    const std::string cure = "; " + remedy(found, mode, name);
    if (mode.kind == ModeFinding::Kind::unstable)
        return "com " + size + " o passo é instável para " + name.what +
               ": passa o limite do método, " + name.label + " = " + figure(mode.limit) +
               ", e a solução calculada vai crescer sem limite, seja qual for a física" + cure;
    const Deviation &d = mode.deviation;
    const std::string when = time_figure(mode.until);
    if (mode.kind == ModeFinding::Kind::phase) {
        const auto [verb, clause] = turn(found, mode.turn);
        const std::string amplitude =
            mode.amplitude_said ? ", e a amplitude é " + comparison(d.log_amplitude) : "";
        return "com " + size + " o método " + verb + ": " + strays(found) + ", porque " +
               clause + amplitude + cure;
    }
    const std::string phase = mode.phase_off ? ", e " + turn(found, mode.turn).second : "";
    return "com " + size + " o método " + effect(mode, name.what) + ": em t = " + when +
           " a amplitude calculada é " + comparison(d.log_amplitude) + phase + "; " +
           strays(found) + cure;
}

std::string overflow_sentence(const StepFindings &found, const OverflowFinding &o)
{
    const std::string limit = "maior número que um double guarda, " + text(DBL_MAX);
    const std::string start = "x0 = " + text(found.x0) + " e v0 = " + text(found.v0);
    if (o.kind == OverflowFinding::Kind::start)
        return start + " estão tão perto do " + limit +
               ", que as somas de um passo o podem passar, e as linhas ficar inf e nan";
    const std::string cause =
        o.cause == OverflowFinding::Cause::backward_growth
            ? "para trás no tempo, o amortecimento faz a solução crescer como e^(" +
                  figure(o.growth) + "·|t|)"
        : o.cause == OverflowFinding::Cause::growth
            ? "a física faz a solução crescer como e^(" + figure(o.growth) + "·t)"
            : "a partir de " + start + " a solução cresce até lá";
    const std::string when = "por volta de t = " + time_figure(o.time);
    if (o.kind == OverflowFinding::Kind::near)
        return when + " a solução calculada chega tão perto do " + limit +
               ", que as somas de um passo o podem passar, e as linhas ficar inf e nan: " + cause;
    return when + " a solução calculada chega ao " + limit +
           ", e daí em diante as linhas são inf e nan: " + cause;
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
        said.push_back("h = " + text(h) +
                       " é negativo: a simulação corre para trás no tempo, de t = 0 até t = " +
                       text(found.grid.steps * h) +
                       (found.backward_growth > 0.0
                            ? ", e o amortecimento, que para a frente faz decair o movimento, "
                              "faz agora crescer a solução como e^(" +
                                  figure(found.backward_growth) + "·|t|)"
                            : ""));
    if (found.time_overflows)
        said.push_back("N·h passa o maior número que um double guarda, " + text(DBL_MAX) +
                       ": a soma do tempo chega a inf " +
                       (found.overflow_step_estimated ? "por volta do passo " : "no passo ") +
                       whole(found.overflow_step) + ", e daí em diante as linhas são inf e nan");
    for (const ModeFinding &mode : found.modes) said.push_back(mode_sentence(found, mode));
    if (found.run) said.push_back(run_sentence(found, *found.run));
    if (found.overflow) said.push_back(overflow_sentence(found, *found.overflow));
    return said;
}

std::string sentence(const RepeatFinding &found)
{
    if (found.still) return "h = 0: o tempo não avança, e todas as linhas têm t = 0";
    const bool both = !std::isnan(found.n);
    return "a partir de t = " + text(found.t) + " há linhas seguidas com o mesmo t" +
           (both ? ", e a partir de n = " + text(found.n) + " com o mesmo n" : "") +
           ": os números escritos têm seis algarismos significativos, que a partir daí não "
           "distinguem t de t " +
           (found.h < 0.0 ? "- " : "+ ") + text(std::abs(found.h)) +
           (both ? " nem n de n + 1" : "");
}

std::string sentence(const DrivenFinding &found)
{
    const double ratio = found.amplitude / found.exact_amplitude;
    std::string amplitude = figure(ratio) + " vezes a exata";
    if (ratio >= 0.5 && ratio <= 2.0) {
        const double share = 100.0 * std::abs(ratio - 1.0);
        amplitude = (share >= 10.0 ? std::to_string(std::llround(share)) : figure(share)) +
                    "% " + (ratio < 1.0 ? "menor" : "maior") + " do que a exata";
    }
    const std::string phase = std::abs(found.phase) < 5e-4
                                  ? "a fase certa"
                                  : std::string("a fase ") +
                                        (found.phase > 0.0 ? "adiantada" : "atrasada") + " " +
                                        figure(std::abs(found.phase)) + " rad";
    const DrivenRemedy &r = found.remedy;
    const std::string within = "abaixo de " + tolerance_text();
    const std::string cure =
        r.kind == DrivenRemedy::Kind::none
            ? "nenhum passo de 1, 2 ou 5 vezes uma potência de dez, até um milionésimo de h = " +
                  text(r.h_now) + ", o poria " + within
        : r.kind == DrivenRemedy::Kind::too_many_steps
            ? "com h = " + text(r.h) + " o desvio ficaria " + within +
                  ", mas seriam precisos N = " + whole(r.steps) +
                  " passos até ao mesmo instante final, mais do que a execução permite"
            : offer(r.h, r.steps);
    return "a oscilação forçada que o método calcula com h·wf = " + figure(found.h_wf) +
           " não é a da física: passado o transitório (de t = " + figure(found.settled) +
           " em diante) as linhas oscilam com amplitude " + figure(found.amplitude) + ", " +
           amplitude + " A(wf) = " + figure(found.exact_amplitude) + ", e com " + phase + "; " +
           cure;
}

std::string sentence(const RowsFinding &found)
{
    const std::string start =
        std::string(found.of == RowsFinding::Of::free ? "a oscilação livre"
                                                      : "a oscilação forçada") +
        " tem período " + figure(found.period) + " e as linhas, uma a cada h = " +
        text(found.h) + ", dão " + figure(found.rows) + " por período, menos de ";
    switch (found.kind) {
    case RowsFinding::Kind::broken_line:
        return start + figure(smooth_rows) +
               ": o gráfico, que as liga por segmentos, mostra uma linha quebrada aos bicos, em "
               "x(t) e no retrato de fase, e não uma curva suave";
    case RowsFinding::Kind::constant:
        return start + figure(nyquist_rows) +
               ": caem todas na mesma fase e o gráfico mostra uma constante em vez da "
               "oscilação (aliasing)";
    case RowsFinding::Kind::alias: break;
    }
    return start + figure(nyquist_rows) +
           ": o gráfico mostra uma oscilação falsa, mais lenta, de período " +
           figure(found.apparent) + ", que não existe no movimento (aliasing)";
}

std::string sentence(const char *file, const DiskFinding &found)
{
    const std::string lines = " (" + text(found.rows) + " linhas), mas só há " +
                              size_text(found.room) + " livres no disco";
    if (found.kind == DiskFinding::Kind::cannot_fit)
        return std::string("não é possível escrever ") + file + ": ocuparia cerca de " +
               size_text(found.bytes) + lines + "; nenhum ficheiro foi alterado";
    return std::string(file) + " pode chegar a " + size_text(found.bytes) + lines +
           "; se o disco encher, a execução para aí e o ficheiro fica com as linhas completas "
           "escritas até então";
}

} // namespace osc
