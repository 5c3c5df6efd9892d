#include "warnings/program_checks.hpp"

#include "programs/drivenosc_definition.hpp"
#include "programs/harmosc_definition.hpp"
#include "programs/rkstepper_definition.hpp"
#include "stepmath/time_grid.hpp"
#include "text/messages.hpp"
#include "text/reading.hpp"
#include "warnings/before_run.hpp"
#include "warnings/step_warnings.hpp"
#include "warnings/wording.hpp"

#include <cmath>
#include <string>

namespace osc {

namespace {

// A run whose rows can show no motion, or none that a real spring could make, still runs,
// but says so first.
void harmosc_pointless(const char *speaker, double k, double m, double b, double w0,
                       double gamma, double tf)
{
    const char *const data_file = harmosc::layout.files[0];
    const std::string nan_rows = "as posições e velocidades a partir da segunda linha serão nan";
    if (m == 0.0)
        warn(speaker, "m = 0: w0 = sqrt(k/m) não é finito e " + nan_rows + " ou inf");
    else if (k / m < 0.0)
        warn(speaker, "k/m = " + text(k / m) + " é negativo: w0 = sqrt(k/m) não é um número e " +
                          nan_rows);
    else if (m < 0.0)
        warn(speaker, "a massa m = " + text(m) +
                          " é negativa: o movimento calculado não tem sentido físico");
    // Damping takes energy away: a negative b gives it, and the motion grows (with m < 0,
    // said above, nothing has a physical sense).
    if (b < 0.0 && m > 0.0)
        warn(speaker, "a constante de amortecimento b = " + text(b) +
                          " é negativa\n  em vez de amortecer, faz o movimento "
                          "crescer, o que não tem sentido físico");
    const bool defined = m != 0.0 && !(k / m < 0.0); // else said above
    if (defined && (!std::isfinite(w0) || !std::isfinite(gamma)))
        warn(speaker, "w0 = " + text(w0) + " e β = " + text(gamma) +
                          " não são ambos finitos: " + nan_rows + " ou inf");
    else if (defined && !judgeable(w0, gamma))
        warn(speaker, "w0² = " + text(w0 * w0) + " e 2β = " + text(gamma + gamma) +
                          " não são ambos finitos: " + nan_rows + " ou inf");
    if (tf < 0.0)
        warn(speaker, "o instante final " + text(tf) + " é negativo: " + data_file +
                          " ficará vazio");
}

} // namespace

bool judgeable(double w0, double beta)
{
    return std::isfinite(w0 * w0) && std::isfinite(beta + beta);
}

bool harmosc_checks(Speaker speaker, const Motion &motion, double k, double m, double b,
                    double tf)
{
    const double h = harmosc::h;
    const bool finite = judgeable(motion.w0, motion.beta);
    const Plan plan{motion,
                    {h, tf >= 0.0 ? whole_steps(h, tf) : 0.0, Step::fixed},
                    tf, finite, finite && m > 0.0, false, harmosc::layout.files[0],
                    std::floor(tf / h) + 1.0, 0.0, tf, speaker.room};
    return check_before_run(speaker.name, plan, [&] {
        harmosc_pointless(speaker.name, k, m, b, motion.w0, motion.beta, tf);
        if (const auto one = one_row(tf, h)) warn(speaker.name, sentence(*one));
    });
}

bool drivenosc_checks(Speaker speaker, int selection, const Motion &motion, double N, double h)
{
    // Rows are written only up to an end at or after t = 0, and then h > 0.
    const double t_end = N * h >= 0.0 ? N * h : 0.0;
    const Plan plan{motion, {h, whole_steps(h, t_end), Step::chosen},
                    t_end, true, true, true, drivenosc::layout.files[selection - 1],
                    N * h >= 0.0 ? std::floor(N) + 1.0 : 0.0, N, N * h, speaker.room};
    return check_before_run(speaker.name, plan, [&] {
        if (N * h < 0.0)
            warn(speaker.name, "N·h = " + text(N * h) +
                                   " é negativo: nenhuma linha será escrita e os três "
                                   "ficheiros de dados ficarão vazios");
        if (const auto one = one_row(N * h, h, N)) warn(speaker.name, sentence(*one));
    });
}

bool rkstepper_checks(Speaker speaker, const Motion &motion, int N, double h)
{
    const char *const data_file = rkstepper::layout.files[0];
    const double t_end = N * h;
    const Plan plan{motion, {h, static_cast<double>(N), Step::chosen_int},
                    t_end, true, true, false, data_file, static_cast<double>(N), 0.0, t_end,
                    speaker.room};
    return check_before_run(speaker.name, plan, [&] {
        if (N == 0)
            warn(speaker.name, std::string("N = 0: nenhum passo, ") + data_file + " ficará vazio");
    });
}

std::string rkstepper_swap_hint(const std::string &N, const std::string &h, bool in_order)
{
    double steps = 0.0;
    double step = 0.0;
    std::size_t used = 0;
    if (read_whole(N, steps, used) != Reading::whole || read_whole(h, step, used) != Reading::whole)
        return "";
    const auto swapped = swapped_count(steps, step);
    return swapped ? follow_up(*swapped, in_order) : "";
}

} // namespace osc
