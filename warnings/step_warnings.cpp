#include "warnings/step_warnings.hpp"

#include "stepmath/rk4.hpp"
#include "stepmath/time_grid.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace osc {

namespace {

using Complex = std::complex<double>;

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
    const bool unstable = z.real() <= 0.0 && rk4_log_gain(z) > 1e-12;
    const double ratio = amplitude_ratio(lambda, h, t_run);
    if (!unstable && std::abs(ratio - 1.0) <= amplitude_tolerance) return;

    std::string remedy;
    if (step == Step::fixed) {
        remedy = "um passo menor ajudaria, mas h = " + text(h) + " é fixo: " + cause + " " + label +
                 " grande";
    } else {
        const double smaller = amplitude_step(lambda, h, t_run);
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
                      figure(mode_horizon(lambda, t_run)) + " a amplitude calculada é " +
                      comparison(ratio) + "; " + remedy);
}

} // namespace

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

} // namespace osc
