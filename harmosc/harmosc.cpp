// harmosc: the free or damped linear oscillator
//
//     x'' = -w0^2 x - 2 gamma x'
//
// integrated with the classical fourth-order Runge-Kutta scheme at a fixed step, from
// constants and initial conditions asked on the console. The state at the start of every
// step goes to "Oscilador_Kutta.dat" as one row: t x v.

#include "disk/datafile.hpp"
#include "disk/space.hpp"
#include "memory/memory.hpp"
#include "programs/harmosc_definition.hpp"
#include "signals/signals.hpp"
#include "stepmath/time_grid.hpp"
#include "text/command_line.hpp"
#include "text/messages.hpp"
#include "text/refusals.hpp"
#include "text/reading.hpp"
#include "warnings/program_checks.hpp"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <unistd.h>

namespace {

const char *const program = "harmosc";
const char *const data_file = osc::harmosc::layout.files[0];
const auto &names = osc::harmosc::names; // k m b x0 v0 tf

const char *const usage =
    "uso: harmosc [-h | --help | --version]\n"
    "\n"
    "Integra o oscilador livre ou amortecido\n"
    "    x'' = -w0²·x - 2β·x',   w0 = sqrt(k/m),   β = b/(2m)\n"
    "pelo método de Runge-Kutta de quarta ordem, com passo h = 0.1, desde t = 0.\n"
    "\n"
    "Pergunta na consola: a equação, (1) movimento harmónico simples ou (2) amortecido;\n"
    "k (constante da mola) e m (massa), e na opção 2 b (constante de amortecimento);\n"
    "x0 e v0; o instante final tf.\n"
    "Escreve Oscilador_Kutta.dat no diretório atual: uma linha \"t x v\" por passo,\n"
    "o estado no início do passo, enquanto t não passar tf.\n"
    "\n"
    "Estado de saída: 0 simulação concluída; 1 opção inválida, valor inválido ou em falta,\n"
    "ou ficheiro que não se pode escrever (com a razão); 2 argumento desconhecido.\n";

// Rate of change of position: the velocity itself.
double OH_Dx(double v) { return v; }

// Acceleration of the unforced oscillator; 2 gamma is formed as gamma + gamma.
double OH_Dv(double x, double v, double w0, double gamma)
{
    return osc::harmosc::acceleration(x, v, w0, gamma);
}

// Integrates from t = 0 while tf >= t, time being the running sum of h. Returns false, after
// saying why, when the data file cannot be written or a row cannot be written whole.
bool RungeKutta(double x0, double v0, double w0, double gamma, double h, double tf)
{
    double t = 0.0;
    double x = x0;
    double v = v0;

    osc::DataFile out;
    if (!out.open(program, data_file) || !out.empty()) return false;

    while (tf >= t) {
        const double k1x = OH_Dx(v);
        const double k1v = OH_Dv(x, v, w0, gamma);
        const double k2x = OH_Dx((0.5 * h) * k1v + v);
        const double k2v = OH_Dv((0.5 * h) * k1x + x, (0.5 * h) * k1v + v, w0, gamma);
        const double k3x = OH_Dx((0.5 * h) * k2v + v);
        const double k3v = OH_Dv((0.5 * h) * k2x + x, (0.5 * h) * k2v + v, w0, gamma);
        const double k4x = OH_Dx(h * k3v + v);
        const double k4v = OH_Dv(h * k3x + x, h * k3v + v, w0, gamma);

        const double x_next = ((((k2x + k2x) + k1x) + (k3x + k3x)) + k4x) * (h / 6.0) + x;
        const double v_next = ((((k2v + k2v) + k1v) + (k3v + k3v)) + k4v) * (h / 6.0) + v;

        if (!out.write_row(t, x, v)) return false;
        x = x_next;
        v = v_next;
        t = t + h;
    }
    return true;
}

// Whether the dialogue is coloured: not where a non-empty NO_COLOR asks for no colour
// (https://no-color.org).
bool colours()
{
    static const bool wanted = [] {
        const char *const no_colour = std::getenv("NO_COLOR");
        return no_colour == nullptr || *no_colour == '\0';
    }();
    return wanted;
}

// A colour sequence of the dialogue, or nothing.
const char *colour(const char *sequence) { return colours() ? sequence : ""; }

// The next answer of the dialogue, refused unless it is one number read in full.
bool read_value(double &value, const char *name)
{
    return osc::read_number(std::cin, value, program, name, nullptr);
}

// The prompts leave the terminal in bold white; a terminal gets its attributes back when the
// program ends, also when it is interrupted. Anything else gets the dialogue's bytes alone.
const char reset_attributes[] = "\033[0m";

void reset_terminal()
{
    [[maybe_unused]] const ssize_t ignored =
        ::write(STDOUT_FILENO, reset_attributes, sizeof reset_attributes - 1);
}

osc::EarlierHandlers earlier_handler;

void reset_and_reraise(int signal)
{
    reset_terminal();
    osc::hand_on(signal, earlier_handler);
}

int dialogue_and_run()
{
    // Better to hear now than after the last answer that the results could not be kept.
    if (!osc::data_files_usable(program, {data_file})) return 1;

    const double h = osc::harmosc::h;

    std::cout << colour("\033[1;32m")
              << "Indique que EDO pretende resolver (introduza os números identificadores)\n"
              << std::endl;
    std::cout << colour("\033[37m")
              << "   (1) Movimento Harmónico Simples \n   (2) Movimento Oscilatório Amortecido \n\n"
              << std::endl;

    int selection = 0;
    std::string answer;
    if (!osc::read_choice(std::cin, selection, &answer) || (selection != 1 && selection != 2)) {
        std::cout << "Opção inválida" << std::endl;
        return osc::refuse_choice(program, answer, "1 ou 2");
    }

    double k = 0.0;
    double m = 0.0;
    double b = 0.0;
    if (selection == 1) {
        std::cout << colour("\033[1;31m") << "Introduza k, m " << colour("\033[37m") << std::endl;
        if (!read_value(k, names[0]) || !read_value(m, names[1])) return 1;
    } else {
        std::cout << colour("\033[1;31m") << "Introduza k, m e b " << colour("\033[37m")
                  << std::endl;
        if (!read_value(k, names[0]) || !read_value(m, names[1]) || !read_value(b, names[2]))
            return 1;
    }
    std::cout << std::endl;

    double x0 = 0.0;
    double v0 = 0.0;
    std::cout << colour("\033[1;31m") << "Introduza as condições iniciais (x0 e v0 por esta ordem)"
              << colour("\033[37m") << std::endl;
    if (!read_value(x0, names[3]) || !read_value(v0, names[4])) return 1;

    double tf = 0.0;
    std::cout << colour("\033[1;31m") << "Introduza o instante final da simulação "
              << colour("\033[37m") << std::endl;
    if (!read_value(tf, names[5])) return 1;
    if (tf >= osc::stall_time(h)) return osc::refuse(program, osc::never_reached(tf, h));

    const osc::Motion motion = selection == 1 ? osc::harmosc::simple_motion(k, m, x0, v0)
                                              : osc::harmosc::motion(k, m, b, x0, v0);
    if (!osc::harmosc_checks({program, osc::space_for(data_file)}, motion, k, m, b, tf)) return 1;

    const double w0 = motion.w0;
    const double gamma = motion.beta;
    return RungeKutta(x0, v0, w0, gamma, h, tf) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) try {
    if (!osc::keep_memory_for_failure()) return osc::out_of_memory(program);
    if (const int answered = osc::answer_arguments(argc, argv, program, usage); answered >= 0)
        return answered;
    const bool terminal = ::isatty(STDOUT_FILENO) == 1 && colours();
    if (terminal)
        osc::chain_on_ending_signals(reset_and_reraise, earlier_handler);
    const int status = dialogue_and_run();
    if (terminal) std::cout << reset_attributes << std::flush;
    return status;
} catch (const std::bad_alloc &) {
    if (::isatty(STDOUT_FILENO) == 1 && colours()) reset_terminal();
    return osc::out_of_memory(program);
}
