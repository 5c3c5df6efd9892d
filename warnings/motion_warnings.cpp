#include "warnings/motion_warnings.hpp"

#include "motion/motion.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"
#include "stepmath/sampling.hpp"
#include "stepmath/time_grid.hpp"
#include "text/messages.hpp"
#include "warnings/wording.hpp"

#include <cmath>
#include <complex>
#include <string>

namespace osc {

namespace {

// The computed amplitude against the exact one, in words: a share in percent (whole units from
// 10% on) where it is within a factor of two.
std::string amplitude_against_exact(double ratio)
{
    if (!(ratio >= 0.5 && ratio <= 2.0)) return figure(ratio) + " vezes a exata";
    const double percent = 100.0 * std::abs(ratio - 1.0);
    return (percent >= 10.0 ? std::to_string(std::llround(percent)) : figure(percent)) + "% " +
           (ratio < 1.0 ? "menor" : "maior") + " do que a exata";
}

// The phase of the computed oscillation against the exact one, δ in radians.
std::string phase_against_exact(double delta)
{
    if (std::abs(delta) < 5e-4) return "a fase certa";
    return std::string("a fase ") + (delta > 0.0 ? "adiantada" : "atrasada") + " " +
           figure(std::abs(delta)) + " rad";
}

// The last row's time, a whole number of steps from t = 0.
double last_row(double h, double t_end) { return whole_steps(h, t_end) * h; }

// What the step to offer, and how many of it reach t_run, let the student do.
std::string remedy(double w0, double beta, double wf, double h, double t_run, double max_steps)
{
    const double step = response_step(w0, beta, wf, h);
    if (step == 0.0)
        return "nenhum passo de 1, 2 ou 5 vezes uma potência de dez, até um milionésimo de h = " +
               text(h) + ", o poria abaixo de 1%";
    const double steps = steps_needed(step, t_run);
    if (steps > max_steps || !(t_run < stall_time(step)))
        return "com h = " + text(step) + " o desvio ficaria abaixo de 1%, mas seriam precisos " +
               "N = " + whole(steps) + " passos até ao mesmo instante final, mais do que a execução " +
               "permite";
    return offer(step, steps);
}

// Says what a plot of rows every h makes of an oscillation of that period, if fewer than
// smooth_rows of them fall in one.
void judge_rows(const char *program, double h, double period, const std::string &what)
{
    const double rows = period / h;
    if (!(rows < smooth_rows)) return;
    const std::string start = what + " tem período " + figure(period) +
                              " e as linhas, uma a cada h = " + text(h) + ", dão " +
                              figure(rows) + " por período, menos de ";
    if (rows >= nyquist_rows) {
        warn(program, start + figure(smooth_rows) +
                          ": o gráfico, que as liga por segmentos, mostra uma linha quebrada aos "
                          "bicos, em x(t) e no retrato de fase, e não uma curva suave");
        return;
    }
    const double apparent = alias_period(period, h);
    warn(program, start + figure(nyquist_rows) + ": " +
                      (std::isinf(apparent)
                           ? std::string("caem todas na mesma fase e o gráfico mostra uma "
                                         "constante em vez da oscilação")
                           : "o gráfico mostra uma oscilação falsa, mais lenta, de período " +
                                 figure(apparent) + ", que não existe no movimento") +
                      " (aliasing)");
}

} // namespace

void warn_driven(const char *program, const Motion &motion, double h, double t_end,
                 double max_steps)
{
    const double w0 = motion.w0;
    const double beta = motion.beta;
    const double f = motion.f;
    const double wf = motion.wf;
    if (!(h > 0.0) || !std::isfinite(w0) || !std::isfinite(beta) || !std::isfinite(f) ||
        !std::isfinite(wf) || !std::isfinite(t_end) || f == 0.0)
        return;
    const double t_run = last_row(h, t_end);
    const double settled = transient_time(w0, beta, h);
    if (!(t_run > settled) || !(response_error(w0, beta, wf, h) > tolerance)) return;

    const std::complex<double> computed = rk4_response(w0, beta, f, wf, h);
    const std::complex<double> exact = steady_amplitude(motion);
    warn(program, "a oscilação forçada que o método calcula com h·wf = " +
                      figure(h * std::abs(wf)) +
                      " não é a da física: passado o transitório (de t = " +
                      figure(settled) + " em diante) as linhas oscilam com amplitude " +
                      figure(std::abs(computed)) + ", " +
                      amplitude_against_exact(std::abs(computed) / std::abs(exact)) +
                      " A(wf) = " + figure(std::abs(exact)) + ", e com " +
                      phase_against_exact(std::arg(computed / exact)) + "; " +
                      remedy(w0, beta, wf, h, t_run, max_steps));
}

void warn_rows(const char *program, const Motion &motion, double h, double t_end)
{
    const double w0 = motion.w0;
    const double beta = motion.beta;
    const double wf = motion.wf;
    if (!(h > 0.0) || !std::isfinite(w0) || !std::isfinite(beta) || !std::isfinite(wf) ||
        !std::isfinite(t_end))
        return;
    const double t_run = last_row(h, t_end);
    // A mode that the step makes unstable (as the step warnings judge it) hides the rest.
    if (!(t_run >= h) || (beta >= 0.0 && free_log_gain(w0, beta, h) > 1e-12)) return;
    const double period = damped_period(w0, beta); // the mode decays as e^(-β·t)
    if (std::isfinite(period) && h * horizon_steps(-beta * h, t_run / h) >= period)
        judge_rows(program, h, period, "a oscilação livre");
    const double forced = 2.0 * pi / std::abs(wf);
    if (t_run >= forced) judge_rows(program, h, forced, "a oscilação forçada");
}

} // namespace osc
