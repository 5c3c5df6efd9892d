// drivenosc: the damped oscillator driven by a sinusoidal force
//
//     x'' = -w0^2 x - gamma x' + F sin(wf t)
//
// with m = 1, k = 1, lambda = 0.5 and F0 = 0.5, integrated with the classical fourth-order
// Runge-Kutta scheme from t = 0 to N h. Reads x0, v0, N and h from "input_1a.txt", asks for
// the driving frequency (w0/3, w0 or 3 w0) and writes rows n t x v to the data file of that
// frequency, emptying the other two.

#include "disk/datafile.hpp"
#include "disk/space.hpp"
#include "memory/memory.hpp"
#include "programs/drivenosc_definition.hpp"
#include "stepmath/time_grid.hpp"
#include "text/command_line.hpp"
#include "text/messages.hpp"
#include "text/refusals.hpp"
#include "text/reading.hpp"
#include "warnings/program_checks.hpp"

#include <array>
#include <cmath>
#include <fstream>
#include <iostream>
#include <new>
#include <string>

namespace {

const char *const program = "drivenosc";
const char *const parameter_file = osc::drivenosc::layout.parameters;
const auto &names = osc::drivenosc::names; // x0 v0 N h, then escolha

// One data file per driving frequency, in the order of the menu: w0/3, w0, 3 w0.
const std::array<const char *, 3> &data_files = osc::drivenosc::layout.files;

const char *const usage =
    "uso: drivenosc [-h | --help | --version]\n"
    "\n"
    "Integra o oscilador amortecido e forçado\n"
    "    x'' = -w0²·x - 2β·x' + f·sin(wf·t),   w0 = 1, 2β = 0.5, f = 0.5\n"
    "com m (massa) = 1, k (constante da mola) = 1, λ (constante de amortecimento) = 0.5 e\n"
    "F0 (amplitude da força) = 0.5: w0 = sqrt(k/m), 2β = λ/m, f = F0/m,\n"
    "pelo método de Runge-Kutta de quarta ordem, de t = 0 enquanto t, a soma dos passos h,\n"
    "não passar N·h.\n"
    "\n"
    "Lê de input_1a.txt quatro números: x0 v0 N h (N não precisa de ser inteiro).\n"
    "Pergunta na consola a frequência da força: (1) w0/3, (2) w0 ou (3) 3·w0.\n"
    "Escreve, no diretório atual, Kutta_1a_w0_3.dat, Kutta_1a_w0.dat ou Kutta_1a_3w0.dat\n"
    "(o da frequência escolhida; os outros dois ficam vazios): uma linha \"n t x v\" por\n"
    "passo, n = t/h, o estado no início do passo.\n"
    "\n"
    "Estado de saída: 0 simulação concluída; 1 opção inválida, ficheiro de parâmetros em\n"
    "falta ou inválido, grelha de tempo sem fim, ou ficheiro que não se pode escrever (com a\n"
    "razão); 2 argumento desconhecido.\n";

// Rate of change of position: the velocity itself.
double OH_Dx(double v) { return v; }

// Acceleration of the damped, driven oscillator at time t.
double OH_Dv(double x, double v, double t, double w0, double gamma, double F, double wf)
{
    return osc::drivenosc::acceleration(x, v, t, w0, gamma, F, wf);
}

// Integrates from t = 0 while N h >= t, time being the running sum of h, and writes every
// state to the file of the selection (1, 2 or 3). All three files are opened before any is
// emptied, and all three are emptied. Returns false, after saying why, when a file cannot be
// written or a row cannot be written whole.
bool RungeKutta(double x0, double v0, double w0, double gamma, double h, double N, double F,
                double wf, int selection)
{
    double t = 0.0;
    const double t_end = N * h;
    double x = x0;
    double v = v0;

    std::array<osc::DataFile, 3> files;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (!files[i].open(program, data_files[i])) return false;
    for (osc::DataFile &file : files)
        if (!file.empty()) return false;
    const bool writes = selection >= 1 && selection <= 3;
    const std::size_t chosen = writes ? static_cast<std::size_t>(selection - 1) : 0;

    while (t_end >= t) {
        const double n = t / h;
        const double k1x = OH_Dx(v);
        const double k1v = OH_Dv(x, v, t, w0, gamma, F, wf);
        const double k2x = OH_Dx((0.5 * h) * k1v + v);
        const double k2v = OH_Dv((0.5 * h) * k1x + x, (0.5 * h) * k1v + v, (0.5 * h) + t, w0,
                                 gamma, F, wf);
        const double k3x = OH_Dx((0.5 * h) * k2v + v);
        const double k3v = OH_Dv((0.5 * h) * k2x + x, (0.5 * h) * k2v + v, (0.5 * h) + t, w0,
                                 gamma, F, wf);
        const double k4x = OH_Dx(h * k3v + v);
        const double k4v = OH_Dv(h * k3x + x, h * k3v + v, t + h, w0, gamma, F, wf);

        const double x_next = ((((k2x + k2x) + k1x) + (k3x + k3x)) + k4x) * (h / 6.0) + x;
        const double v_next = ((((k2v + k2v) + k1v) + (k3v + k3v)) + k4v) * (h / 6.0) + v;

        if (writes && !files[chosen].write_row(n, t, x, v)) return false;
        x = x_next;
        v = v_next;
        t = t + h;
    }
    return true;
}

// Reads x0, v0, N and h, each a whole number token; says what is wrong when it cannot.
bool read_parameters(double &x0, double &v0, double &N, double &h)
{
    std::ifstream parameters;
    if (!osc::open_to_read(parameters, program, parameter_file)) return false;
    const auto read = [&](double &value, const char *name) {
        return osc::read_number(parameters, value, program, name, parameter_file);
    };
    return read(x0, names[0]) && read(v0, names[1]) && read(N, names[2]) && read(h, names[3]);
}

} // namespace

int main(int argc, char **argv) try {
    if (!osc::keep_memory_for_failure()) return osc::out_of_memory(program);

    if (const int answered = osc::answer_arguments(argc, argv, program, usage); answered >= 0)
        return answered;

    double x0 = 0.0;
    double v0 = 0.0;
    double N = 0.0;
    double h = 0.0;
    if (!read_parameters(x0, v0, N, h)) return 1;
    if (!osc::grid_ends(h, N * h)) return osc::refuse(program, osc::never_ends(N, h));
    // The three files are emptied together or not at all, so all three must be writable
    // before anyone is asked for a frequency.
    if (!osc::data_files_usable(program, {data_files[0], data_files[1], data_files[2]}))
        return 1;

    std::cout << "*** DRIVENOSC ***" << std::endl;
    std::cout << "Introduza o valor de wf pretendido (selecione o número correspondente): \n"
                 "   (1) w0 / 3 \n   (2) w0 \n   (3) 3*w0 \n\n "
              << std::endl;

    int selection = 0;
    std::string answer;
    const bool read = osc::read_choice(std::cin, selection, &answer);
    if (!read || selection < 1 || selection > 3)
        return osc::refuse_choice(program, answer, "1, 2 ou 3");
    const osc::Motion motion = osc::drivenosc::motion(selection, x0, v0);

    const osc::Speaker speaker{program, osc::space_for(data_files[selection - 1])};
    if (!osc::drivenosc_checks(speaker, selection, motion, N, h)) return 1;

    const double gamma = motion.beta + motion.beta;
    return RungeKutta(x0, v0, motion.w0, gamma, h, N, motion.f, motion.wf, selection) ? 0 : 1;
} catch (const std::bad_alloc &) {
    return osc::out_of_memory(program);
}
