#include "warnings/step_warnings.hpp"

#include "stepmath/rk4.hpp"
#include "stepmath/time_grid.hpp"
#include "text/messages.hpp"
#include "warnings/wording.hpp"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace osc {

namespace {

using Complex = std::complex<double>;

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
struct Mode {
    Complex z;
    std::string what, label, cause;
};

// The modes of the motion at step h, named.
std::vector<Mode> named_modes(const Motion &motion, double h)
{
    const std::vector<Complex> zs = step_modes(h, motion.w0, motion.beta);
    const std::string k_m = "k/m = " + text(motion.w0 * motion.w0);
    const std::string b_m = "b/m = " + text(motion.beta + motion.beta);
    const std::string spring = "é " + k_m + " que torna";
    const std::string damping = "é " + b_m + " que torna";
    const std::string both = "são " + k_m + " e " + b_m + " que tornam";
    const auto rate = [h](Complex z) {
        return "a parte do movimento que varia como e^(λ·t) com λ = " + figure(z.real() / h);
    };
    std::vector<Mode> modes;
    for (std::size_t i = 0; i < zs.size(); ++i) {
        if (zs[i] == 0.0) continue;
        if (zs[i].imag() != 0.0)
            modes.push_back({zs[i], "a oscilação", "h·w0", spring});
        else
            modes.push_back(
                {zs[i], rate(zs[i]), "h·|λ|", zs.size() == 2 && i == 0 ? damping : both});
    }
    return modes;
}

// The largest N a program takes.
double most_steps(Step step) { return step == Step::chosen_int ? INT_MAX : HUGE_VAL; }

// What would keep the mode within 1%: for a fixed step, smaller constants or a shorter run;
// otherwise a smaller step and the N that reaches the same end, if the program accepts one.
std::string remedy(const Grid &grid, const Mode &mode, double judged)
{
    const double h = grid.h;
    const double t_end = grid.steps * h;
    const std::string small = mode.label + " = " + figure(std::abs(mode.z)) +
                              " é pequeno, mas o desvio de cada passo acumula-se nos " +
                              text(grid.steps) + " passos";
    const bool by_length = strays_by_length(mode.z, judged);
    if (grid.step == Step::fixed) {
        if (by_length)
            return small + " até t = " + text(t_end) + "; até t = " +
                   time_below(steps_within(mode.z, judged) * h) + " ficaria abaixo de 1%";
        return "um passo menor ajudaria, mas h = " + text(h) + " é fixo: " + mode.cause + " " +
               mode.label + " grande";
    }
    const std::string prefix = by_length ? small + "; " : "";
    const double smaller = accurate_step(mode.z, h, judged);
    if (std::isnan(smaller))
        return prefix + "nenhum passo mantém o desvio abaixo de 1% até t = " + text(t_end);
    const double most = most_steps(grid.step);
    const double steps = steps_to_reach(t_end, smaller, most);
    if (!std::isnan(steps))
        return prefix + offer(smaller, steps);
    const std::string would = prefix + "um passo que mantenha o desvio abaixo de 1%, h = " +
                              text(smaller) + " ou menor, ";
    if (!std::isfinite(t_end)) return would + "não chegaria a N·h, que não é finito";
    const double needed = steps_needed(smaller, t_end);
    if (needed > most)
        return would + "só chegaria a t = " + text(t_end) + " com mais de " + whole(most) +
               " passos, o maior N que se aceita";
    return would + "só chegaria a t = " + text(t_end) + " com N = " + whole(needed) +
           " passos, e a soma do tempo deixa de avançar antes disso";
}

// How the computed oscillation turns against the exact one: by how much its phase is behind
// or ahead, or, where a step turns it far from the exact turn, the turn of one step; and the
// period either way.
struct Turn {
    std::string verb, clause;
};

Turn turn(const Mode &mode, const Deviation &d, double h, double beta)
{
    const double computed = rk4_log_factor(mode.z).imag(); // arg R(z), in (-π, π]
    const double exact = mode.z.imag();
    const double turn_time = 2.0 * pi * std::abs(h); // a turn of 2π, at |h| a step
    const auto [period, exact_period] =
        apart(turn_time / std::abs(computed), turn_time / std::abs(exact));
    const std::string periods = "com um período de " + period + " em vez de " +
                                (beta == 0.0 ? "2π/w0" : "2π/sqrt(w0² - β²)") + " = " +
                                exact_period;
    if (computed * exact > 0.0 && std::abs(exact) <= pi && std::abs(d.phase) <= pi) {
        const bool behind = d.phase * exact < 0.0;
        return {behind ? "atrasa a oscilação" : "adianta a oscilação",
                "a fase vai " + figure(std::abs(d.phase)) + " rad " +
                    (behind ? "atrasada" : "adiantada") + ", " + periods};
    }
    return {"perde a fase da oscilação", "cada passo roda a oscilação de " + figure(computed) +
                                             " rad em vez de " + figure(exact) + ", " + periods};
}

// Says what the step does to one mode, if it is worth saying, judged over `judged` steps;
// returns whether it called the step unstable.
bool judge(const char *program, const Motion &motion, const Grid &grid, const Mode &mode,
           double judged)
{
    const Complex z = mode.z;
    if (!std::isfinite(std::abs(z))) return false;
    const std::string size = mode.label + " = " + figure(std::abs(z));
    if (rk4_unstable(z)) {
        warn(program, "com " + size + " o passo é instável para " + mode.what +
                          ": passa o limite do método, " + mode.label + " = " +
                          figure(rk4_stability_limit(z)) +
                          ", e a solução calculada vai crescer sem limite, seja qual for a "
                          "física; " +
                          remedy(grid, mode, judged));
        return true;
    }
    const Deviation d = deviation(z, judged);
    if (d.largest <= tolerance) return false; // within 1% all along

    const bool amplitude_off = !(std::abs(std::expm1(d.log_amplitude)) <= tolerance);
    const bool phase_off = z.imag() != 0.0 && (std::abs(d.phase) > pi ||
                                               2.0 * std::abs(std::sin(0.5 * d.phase)) > tolerance);
    const std::string when = time_figure(d.steps * grid.h);
    if (!amplitude_off) {
        const Turn t = turn(mode, d, grid.h, motion.beta);
        const std::string amplitude =
            std::abs(std::expm1(d.log_amplitude)) >= 0.001
                ? ", e a amplitude é " + comparison(d.log_amplitude)
                : "";
        warn(program, "com " + size + " o método " + t.verb + ": até t = " + when +
                          " a posição calculada chega a afastar-se da exata " +
                          percent(d.largest) + " da amplitude, porque " + t.clause + amplitude +
                          "; " + remedy(grid, mode, judged));
        return false;
    }
    const bool smaller = d.log_amplitude < 0.0;
    std::string effect;
    if (z.real() > 0.0)
        effect = rk4_log_gain(z) < 0.0
                     ? "faz decair " + mode.what + ", que a física faz crescer"
                     : "faz crescer " + mode.what + (smaller ? " mais devagar" : " mais depressa") +
                           " do que a física";
    else if (z.real() == 0.0)
        effect = "amortece " + mode.what + ", que não tem amortecimento físico";
    else
        effect = "amortece " + mode.what + (smaller ? " mais depressa" : " mais devagar") +
                 " do que a física";
    const std::string phase = phase_off ? ", e " + turn(mode, d, grid.h, motion.beta).clause : "";
    warn(program, "com " + size + " o método " + effect + ": em t = " + when +
                      " a amplitude calculada é " + comparison(d.log_amplitude) + phase + "; " +
                      remedy(grid, mode, judged));
    return false;
}

// The rate at which the fastest growing mode grows along the run, per unit of |t|; 0 when none
// grows.
double growth_rate(const std::vector<Mode> &modes, double h)
{
    double growth = 0.0;
    for (const Mode &mode : modes) growth = std::max(growth, mode.z.real() / std::abs(h));
    return growth;
}

// The step of a running sum of h at which it passes the largest double.
std::string time_overflow_step(double h)
{
    const double estimate = std::floor(DBL_MAX / std::abs(h)) + 1.0;
    if (estimate > 1000.0) return "por volta do passo " + whole(estimate);
    double t = 0.0;
    double n = 0.0;
    while (std::isfinite(t)) {
        t = t + h;
        n += 1.0;
    }
    return "no passo " + whole(n);
}

// Says how the numbers of the rows come to pass the largest double, where the step is stable:
// from the step `step` the sums of a step may, and from `sure` on the rows themselves do.
void warn_overflow(const char *program, const Motion &motion, const Grid &grid,
                   const std::vector<Mode> &modes, double step, double sure)
{
    const std::string limit = "maior número que um double guarda, " + text(DBL_MAX);
    if (step == 0.0 && std::isnan(sure)) {
        warn(program, "x0 = " + text(motion.x0) + " e v0 = " + text(motion.v0) +
                          " estão tão perto do " + limit +
                          ", que as somas de um passo o podem passar, e as linhas ficar inf e nan");
        return;
    }
    const double growth = growth_rate(modes, grid.h);
    std::string cause;
    if (growth > 0.0 && grid.h < 0.0)
        cause = "para trás no tempo, o amortecimento faz a solução crescer como e^(" +
                figure(growth) + "·|t|)";
    else if (growth > 0.0)
        cause = "a física faz a solução crescer como e^(" + figure(growth) + "·t)";
    else
        cause = "a partir de x0 = " + text(motion.x0) + " e v0 = " + text(motion.v0) +
                " a solução cresce até lá";
    const std::string when = "por volta de t = " + time_figure(step * grid.h);
    if (std::isnan(sure))
        warn(program, when + " a solução calculada chega tão perto do " + limit +
                          ", que as somas de um passo o podem passar, e as linhas ficar inf e "
                          "nan: " + cause);
    else
        warn(program, when + " a solução calculada chega ao " + limit +
                          ", e daí em diante as linhas são inf e nan: " + cause);
}

} // namespace

void warn_step(const char *program, const Motion &motion, const Grid &grid)
{
    const double h = grid.h;
    if (!(grid.steps >= 1.0) || !std::isfinite(h) || !std::isfinite(motion.w0) ||
        !std::isfinite(motion.beta))
        return;
    const std::vector<Mode> modes = named_modes(motion, h);
    const double t_end = grid.steps * h;
    if (h < 0.0) {
        const double growth = growth_rate(modes, h);
        warn(program, "h = " + text(h) + " é negativo: a simulação corre para trás no tempo, de "
                      "t = 0 até t = " + text(t_end) +
                          (growth > 0.0 ? ", e o amortecimento, que para a frente faz decair o "
                                          "movimento, faz agora crescer a solução como e^(" +
                                              figure(growth) + "·|t|)"
                                        : ""));
    }
    if (!std::isfinite(t_end))
        warn(program, "N·h passa o maior número que um double guarda, " + text(DBL_MAX) +
                          ": a soma do tempo chega a inf " + time_overflow_step(h) +
                          ", e daí em diante as linhas são inf e nan");

    const auto overflow_from = [&](double factor) {
        return overflow_step(h, motion.w0, motion.beta, motion.f, motion.wf, motion.x0,
                             motion.v0, grid.steps, factor);
    };
    const double overflow = overflow_from(stage_factor(motion.w0, motion.beta));
    // Past the overflow there is nothing left to compare.
    const double judged = std::isnan(overflow) ? grid.steps : overflow;
    bool unstable = false;
    for (const Mode &mode : modes)
        unstable = judge(program, motion, grid, mode, judged) || unstable;
    if (!unstable && !std::isnan(overflow))
        warn_overflow(program, motion, grid, modes, overflow, overflow_from(1.0));
}

void warn_repeated_times(const char *program, double h, double t_end, bool index)
{
    if (h == 0.0) {
        warn(program, "h = 0: o tempo não avança, e todas as linhas têm t = 0");
        return;
    }
    // Backward in time the grid is the forward one with its signs turned.
    const double size = std::abs(h);
    const double end = std::copysign(1.0, h) * t_end;
    if (!std::isfinite(h) || !(end >= 0.0) || !std::isfinite(end)) return;
    const double t = first_written_alike(size, end);
    if (std::isnan(t)) return;
    const double n = index ? first_written_alike(1.0, end / size) : std::nan("");
    const bool both = !std::isnan(n);
    warn(program, "a partir de t = " + text(h < 0.0 && t > 0.0 ? -t : t) +
                      " há linhas seguidas com o mesmo t" +
                      (both ? ", e a partir de n = " + text(n) + " com o mesmo n" : "") +
                      ": os números escritos têm seis algarismos significativos, que a partir "
                      "daí não distinguem t de t " +
                      (h < 0.0 ? "- " : "+ ") + text(size) + (both ? " nem n de n + 1" : ""));
}

} // namespace osc
