#include "textio/step_warnings.hpp"

#include "textio/number_text.hpp"
#include "textio/program_io.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace textio {

namespace {

using Complex = std::complex<double>;

// A computed amplitude that strays from the exact one by more than this share is worth a word.
const double tolerance = 0.01;

// A number as a sentence gives it: three significant digits.
std::string figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

// A share in percent: whole units from 10% on, two digits below.
std::string percent(double share)
{
    char text[32];
    std::snprintf(text, sizeof text, share >= 0.1 ? "%.0f%%" : "%.2g%%", 100.0 * share);
    return text;
}

// ln|R(z)|: the change of a mode's amplitude in one step.
double log_gain(Complex z) { return z.real() + rk4_log_drift(z); }

// The time up to which a mode's amplitude is judged: the last row, at t_run, or the time at
// which the exact mode e^(λ·t) has decayed to 1% of its start, whichever comes first.
double horizon(Complex lambda, double t_run)
{
    return lambda.real() < 0.0 ? std::min(t_run, std::log(100.0) / -lambda.real()) : t_run;
}

// The computed amplitude of the mode over the exact one at the horizon, after horizon/h steps.
double amplitude_ratio(Complex lambda, double h, double t_run)
{
    return std::exp(horizon(lambda, t_run) / h * rk4_log_drift(h * lambda));
}

// Whether that ratio is off by more than the tolerance (an infinite or undefined one is).
bool strays(Complex lambda, double h, double t_run)
{
    return !(std::abs(amplitude_ratio(lambda, h, t_run) - 1.0) <= tolerance);
}

// The largest step of the form 1, 2 or 5 times a power of ten, below h, with which the mode's
// amplitude stays within the tolerance up to the same horizon.
double step_that_would_do(Complex lambda, double h, double t_run)
{
    double good = h;
    while (good > 0.0 && strays(lambda, good, t_run)) good /= 2.0;
    double bad = good + good;
    for (int i = 0; i < 60; ++i) {
        const double middle = 0.5 * (good + bad);
        (strays(lambda, middle, t_run) ? bad : good) = middle;
    }
    const double decade = std::pow(10.0, std::floor(std::log10(good)));
    double step = decade;
    for (const double leading : {5.0, 2.0})
        if (leading * decade <= good) {
            step = leading * decade;
            break;
        }
    while (strays(lambda, step, t_run) && step > 0.0) step /= 10.0;
    return step;
}

// How the computed amplitude compares with the exact one.
std::string comparison(double ratio)
{
    if (ratio >= 0.01 && ratio < 1.0) return percent(1.0 - ratio) + " menor do que a exata";
    if (ratio > 1.0 && ratio <= 2.0) return percent(ratio - 1.0) + " maior do que a exata";
    return figure(ratio) + " vezes a exata";
}

// Says what the step h does to the mode e^(λ·t), if it is worth saying: `what` names the mode,
// `label` its h·|λ|, and `cause`, where the step is fixed, the constants that make it large.
void judge(const char *program, double h, double t_run, Complex lambda, const std::string &what,
           const std::string &label, const std::string &cause, Step step)
{
    const Complex z = h * lambda;
    if (!std::isfinite(std::abs(z))) return;
    const bool unstable = z.real() <= 0.0 && log_gain(z) > 1e-12;
    const double ratio = amplitude_ratio(lambda, h, t_run);
    if (!unstable && std::abs(ratio - 1.0) <= tolerance) return;

    std::string remedy;
    if (step == Step::fixed) {
        remedy = "um passo menor ajudaria, mas h = " + text(h) + " é fixo: " + cause + " " + label +
                 " grande";
    } else {
        const double smaller = step_that_would_do(lambda, h, t_run);
        const double steps = std::ceil(t_run / smaller - 1e-9);
        remedy = "com h = " + text(smaller) + " e N = " +
                 (steps < 1e15 ? std::to_string(std::llround(steps)) : text(steps)) +
                 ", até ao mesmo instante final, o desvio ficaria abaixo de 1%";
    }

    const std::string size = label + " = " + figure(std::abs(z));
    if (unstable) {
        warn(program, "com " + size + " o passo é instável para " + what +
                          ": passa o limite do método, " + label + " = " +
                          figure(rk4_stability_limit(z)) +
                          ", e a solução calculada vai crescer sem limite, seja qual for a "
                          "física; " +
                          remedy);
        return;
    }
    std::string effect;
    if (z.real() > 0.0)
        effect = "faz crescer " + what + (ratio < 1.0 ? " mais devagar" : " mais depressa") +
                 " do que a física";
    else if (z.real() == 0.0)
        effect = "amortece " + what + ", que não tem amortecimento físico";
    else
        effect = "amortece " + what + (ratio < 1.0 ? " mais depressa" : " mais devagar") +
                 " do que a física";
    warn(program, "com " + size + " o método " + effect + ": em t = " +
                      figure(horizon(lambda, t_run)) + " a amplitude calculada é " +
                      comparison(ratio) + "; " + remedy);
}

// Whether two times are written alike in six significant digits.
bool written_alike(double a, double b)
{
    char first[format_room];
    char second[format_room];
    const char *first_end = format_g6(first, a);
    const char *second_end = format_g6(second, b);
    return first_end - first == second_end - second &&
           std::memcmp(first, second, static_cast<std::size_t>(first_end - first)) == 0;
}

// The first value of the grid 0, h, 2h, ... up to `end` that is written alike with the next
// one, or NaN when none is. Six significant digits keep consecutive values apart as long as h is
// at least the place value of the sixth digit; they first fail to from the decade where that
// place value, a hundred-thousandth of the decade, exceeds h.
double first_written_alike(double h, double end)
{
    int e = static_cast<int>(std::ceil(std::log10(h)));
    while (std::pow(10.0, e) <= h) ++e;
    while (std::pow(10.0, e - 1) > h) --e;
    const double decade = std::pow(10.0, e + 5);
    const double first = std::max(0.0, std::floor(decade / h) - 2.0);
    const double last = first + 1e6;
    for (double i = first; i < last && (i + 1.0) * h <= end; ++i)
        if (written_alike(i * h, (i + 1.0) * h)) return i * h;
    // h so close to the place value that values written alike are rare: they begin around the
    // decade, if the run gets that far.
    return last * h <= end ? decade : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

Complex rk4_factor(Complex z)
{
    return 1.0 + z * (1.0 + z / 2.0 * (1.0 + z / 3.0 * (1.0 + z / 4.0))); // Horner's form
}

double rk4_log_drift(Complex z)
{
    if (std::abs(z) >= 1.0) return std::log(std::abs(rk4_factor(z))) - z.real();
    // R(z) = e^z - (z⁵/5! + z⁶/6! + ...), so R(z)/e^z = 1 + w with w = -e^(-z)·(the tail): the
    // tail summed term by term keeps the digits that R(z) - e^z would lose.
    Complex term = z * z * z * z * z / 120.0;
    Complex tail = 0.0;
    for (int k = 6; k <= 30; ++k) {
        tail += term;
        term *= z / static_cast<double>(k);
    }
    const Complex w = -std::exp(-z) * tail;
    return 0.5 * std::log1p(2.0 * w.real() + std::norm(w)); // ln|1 + w|
}

double rk4_stability_limit(Complex z)
{
    // Along every ray of the left half-plane |R| crosses 1 once, before |z| = 3.
    const Complex ray = z / std::abs(z);
    double inside = 0.0;
    double outside = 4.0;
    for (int i = 0; i < 100; ++i) {
        const double middle = 0.5 * (inside + outside);
        (log_gain(middle * ray) > 0.0 ? outside : inside) = middle;
    }
    return 0.5 * (inside + outside);
}

void warn_step(const char *program, double h, double w0, double beta, double t_end, Step step)
{
    if (!(h > 0.0) || !std::isfinite(w0) || !std::isfinite(beta) || !std::isfinite(t_end)) return;
    const double t_run = std::floor(t_end / h + 1e-9) * h; // the last row, whole steps from t = 0
    if (!(t_run >= h)) return;

    const std::string k_m = "k/m = " + text(w0 * w0);
    const std::string b_m = "b/m = " + text(beta + beta);
    const auto rate = [](double lambda) {
        return "a parte do movimento que varia como e^(λ·t) com λ = " + figure(lambda);
    };
    // λ² + 2β·λ + w0² = 0
    const double discriminant = beta * beta - w0 * w0;
    if (discriminant < 0.0) {
        judge(program, h, t_run, Complex(-beta, std::sqrt(-discriminant)), "a oscilação", "h·w0",
              "é " + k_m + " que torna", step);
        return;
    }
    // The larger |λ| from the formula; the smaller from λ1·λ2 = w0², without cancellation.
    const double fast = -beta - std::copysign(std::sqrt(discriminant), beta);
    if (fast == 0.0) return;
    if (discriminant == 0.0) {
        judge(program, h, t_run, fast, rate(fast), "h·|λ|",
              "são " + k_m + " e " + b_m + " que tornam", step);
        return;
    }
    const double slow = w0 * w0 / fast;
    judge(program, h, t_run, fast, rate(fast), "h·|λ|", "é " + b_m + " que torna", step);
    judge(program, h, t_run, slow, rate(slow), "h·|λ|", "são " + k_m + " e " + b_m + " que tornam",
          step);
}

void warn_repeated_times(const char *program, double h, double t_end, bool index)
{
    if (!(h > 0.0) || !std::isfinite(t_end)) return;
    const double t = first_written_alike(h, t_end);
    if (std::isnan(t)) return;
    const double n = index ? first_written_alike(1.0, t_end / h) : std::nan("");
    const bool both = !std::isnan(n);
    warn(program, "a partir de t = " + text(t) + " há linhas seguidas com o mesmo t" +
                      (both ? ", e a partir de n = " + text(n) + " com o mesmo n" : "") +
                      ": os números escritos têm seis algarismos significativos, que a partir "
                      "daí não distinguem t de t + " +
                      text(h) + (both ? " nem n de n + 1" : ""));
}

} // namespace textio
