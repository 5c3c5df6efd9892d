// rkstepper: silent batch run of the damped, driven oscillator
//
//     x'' = -(k/m) x - (lbd/m) x' + (F0/m) sin(wf t)
//
// through the generic Runge-Kutta step. Reads x0, v0, N and h from "parametros_sistema.txt",
// keeps the N states after each step in memory and, once the last step is taken, writes them
// to "RK_generico_1b.txt" as rows t x v.

#include "RuKu.hpp"

#include "disk/datafile.hpp"
#include "disk/space.hpp"
#include "memory/memory.hpp"
#include "programs/rkstepper_definition.hpp"
#include "text/command_line.hpp"
#include "text/messages.hpp"
#include "text/refusals.hpp"
#include "text/reading.hpp"
#include "warnings/program_checks.hpp"
#include "warnings/step_warnings.hpp"
#include "warnings/wording.hpp"

#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace forF {
double m;
double k;
double lbd;
double F0;
double wf;
} // namespace forF

namespace forRK {
double x1;
double v1;
} // namespace forRK

namespace {

const char *const program = "rkstepper";
const char *const parameter_file = osc::rkstepper::layout.parameters;
const char *const data_file = osc::rkstepper::layout.files[0];
const auto &names = osc::rkstepper::names; // x0 v0 N h

using Row = std::array<double, 3>; // time, position, velocity

const char *const usage =
    "uso: rkstepper [-h | --help | --version]\n"
    "\n"
    "Execução silenciosa do oscilador amortecido e forçado\n"
    "    x'' = -(k/m)·x - (lbd/m)·x' + (F0/m)·sin(wf·t),\n"
    "com m (massa) = 1, k (constante da mola) = 1, lbd (constante de amortecimento) = 0.5,\n"
    "F0 (amplitude da força) = 0.5 e wf = 3 (nos avisos, w0 = sqrt(k/m) e 2β = lbd/m),\n"
    "por um passo genérico de Runge-Kutta de quarta ordem que recebe a lei de força.\n"
    "\n"
    "Lê de parametros_sistema.txt quatro valores: x0 v0 N h (N inteiro, h real).\n"
    "Dá N passos, guarda-os em memória e escreve-os em RK_generico_1b.txt, no diretório\n"
    "atual: uma linha \"t x v\" por passo, o estado depois do passo.\n"
    "\n"
    "Estado de saída: 0 simulação concluída; 1 ficheiro de parâmetros em falta ou inválido,\n"
    "N negativo, memória insuficiente, ou ficheiro que não se pode escrever (com a razão);\n"
    "2 argumento desconhecido.\n";

// Says why the run stops; returns the exit status of a refusal.
int refuse(const std::string &why) { return osc::refuse(program, why); }

// Reads x0, v0, N and h, each one whole token (N an int); says what is wrong when the file is
// missing, short or holds something else, or N is negative.
bool read_parameters(double &x0, double &v0, int &N, double &h)
{
    std::ifstream parameters;
    if (!osc::open_to_read(parameters, program, parameter_file)) return false;
    if (!osc::read_number(parameters, x0, program, names[0], parameter_file) ||
        !osc::read_number(parameters, v0, program, names[1], parameter_file))
        return false;
    // N and h as tokens first, for a refusal of N to say whether the two came swapped.
    std::string N_token;
    std::string h_token;
    parameters >> N_token >> h_token;
    std::istringstream N_in(N_token);
    std::istringstream h_in(h_token);
    const std::string hint = osc::rkstepper_swap_hint(N_token, h_token, true);
    if (!osc::read_number(N_in, N, program, names[2], parameter_file, hint) ||
        !osc::read_number(h_in, h, program, names[3], parameter_file))
        return false;
    if (N < 0) {
        refuse(osc::negative_steps(N));
        return false;
    }
    return true;
}

// Room for N rows in one allocation, refused when it would take more than four fifths of the
// memory left to the process, so that a run is neither killed halfway for want of it nor
// leaves the rest of the machine without any.
bool reserve_table(std::vector<Row> &table, int N)
{
    const double table_bytes = static_cast<double>(N) * sizeof(Row);
    const double free_bytes = osc::memory_available();
    const auto mib = [](double bytes) { return std::to_string(std::llround(bytes / 1048576.0)); };
    if (table_bytes > 0.8 * free_bytes) {
        refuse("memória insuficiente para guardar " + std::to_string(N) + " passos: a tabela "
               "ocuparia " + mib(table_bytes) + " MiB e há " + mib(free_bytes) +
               " MiB disponíveis, dos quais se usam no máximo 80%");
        return false;
    }
    try {
        table.reserve(static_cast<std::size_t>(N));
    } catch (const std::bad_alloc &) {
        if (!osc::keep_memory_for_failure()) throw;
        refuse("memória insuficiente para guardar " + std::to_string(N) + " passos");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) try {
    if (!osc::keep_memory_for_failure()) return osc::out_of_memory(program);
    const double t0 = 0.0;
    if (const int answered = osc::answer_arguments(argc, argv, program, usage); answered >= 0)
        return answered;

    forF::m = osc::rkstepper::m;
    forF::k = osc::rkstepper::k;
    forF::lbd = osc::rkstepper::lbd;
    forF::F0 = osc::rkstepper::F0;
    forF::wf = osc::rkstepper::wf;

    // Everything is read and checked, and the table is in hand, before the computation; the
    // data file is emptied only once every step is taken, so that a refused or interrupted
    // run leaves the previous results as they were.
    double x0 = 0.0;
    double v0 = 0.0;
    int N = 0;
    double h = 0.0;
    std::vector<Row> table;
    if (!read_parameters(x0, v0, N, h) || !osc::data_files_usable(program, {data_file}) ||
        !reserve_table(table, N))
        return 1;

    const osc::Speaker speaker{program, osc::space_for(data_file)};
    if (!osc::rkstepper_checks(speaker, osc::rkstepper::motion(x0, v0), N, h)) return 1;

    forRK::x1 = x0;
    forRK::v1 = v0;
    double t = t0;
    for (int i = 0; i < N; ++i) {
        t = RuKuNew1(D2_Oscilador, h, t, forRK::x1, forRK::v1);
        table.push_back({t, forRK::x1, forRK::v1});
    }

    osc::DataFile out;
    if (!out.open(program, data_file) || !out.empty()) return 1;
    for (const Row &row : table)
        if (!out.write_row(row[0], row[1], row[2])) return 1;
    return 0;
} catch (const std::bad_alloc &) {
    return osc::out_of_memory(program);
}
