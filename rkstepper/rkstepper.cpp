// rkstepper: silent batch run of the damped, driven oscillator
//
//     x'' = -(k/m) x - (lbd/m) x' + (F0/m) sin(wf t)
//
// through the generic Runge-Kutta step. Reads x0, v0, N and h from "parametros_sistema.txt",
// keeps the N states after each step in memory and, once the last step is taken, writes them
// to "RK_generico_1b.txt" as rows t x v.

#include "RuKu.hpp"

#include <array>
#include <charconv>
#include <fstream>
#include <iostream>
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

const char *const parameter_file = "parametros_sistema.txt";
const char *const data_file = "RK_generico_1b.txt";

using Row = std::array<double, 3>; // time, position, velocity

int refuse(const std::string &why)
{
    std::cerr << "rkstepper: " << why << std::endl;
    return 1;
}

// Memory the kernel can hand out without swapping (MemAvailable), in bytes; 0 if unknown.
double available_memory()
{
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        std::istringstream fields(line);
        std::string key;
        double kib = 0.0;
        if (fields >> key >> kib && key == "MemAvailable:") return kib * 1024.0;
    }
    return 0.0;
}

// One data row, each number in the stream's default form (%g, six significant digits),
// separated by single spaces; the row is flushed so it is on disk as soon as it is written.
bool write_row(std::ofstream &out, const Row &row)
{
    char text[96];
    char *end = text;
    for (const double value : row) {
        if (end != text) *end++ = ' ';
        end = std::to_chars(end, text + sizeof text, value, std::chars_format::general, 6).ptr;
    }
    *end++ = '\n';
    out.write(text, end - text);
    out.flush();
    return static_cast<bool>(out);
}

} // namespace

int main()
{
    const double t0 = 0.0;

    forF::m = 1.0;
    forF::k = 1.0;
    forF::lbd = 0.5;
    forF::F0 = 0.5;
    forF::wf = 3.0;

    // Everything is read and checked, and the table is in hand, before the data file is
    // created: a refused run leaves the previous results as they were.
    std::ifstream parameters(parameter_file);
    if (!parameters) return refuse(std::string("não foi possível abrir ") + parameter_file);

    double x0 = 0.0;
    double v0 = 0.0;
    int N = 0;
    double h = 0.0;
    std::string missing;
    if (!(parameters >> x0)) missing = "x0";
    else if (!(parameters >> v0)) missing = "v0";
    else if (!(parameters >> N)) missing = "N (um inteiro)";
    else if (!(parameters >> h)) missing = "h";
    if (!missing.empty())
        return refuse("não foi possível ler " + missing + " de " + parameter_file +
                      " (valor inválido ou em falta)");
    if (N < 0) return refuse("o número de passos N = " + std::to_string(N) + " é negativo");

    const double table_bytes = static_cast<double>(N) * sizeof(Row);
    const double free_bytes = available_memory();
    if (free_bytes > 0.0 && table_bytes > free_bytes)
        return refuse("memória insuficiente para guardar " + std::to_string(N) + " passos (" +
                      std::to_string(static_cast<long long>(table_bytes / 1048576.0)) +
                      " MiB; disponíveis " +
                      std::to_string(static_cast<long long>(free_bytes / 1048576.0)) + " MiB)");
    std::vector<Row> table;
    try {
        table.reserve(static_cast<std::size_t>(N));
    } catch (const std::bad_alloc &) {
        return refuse("memória insuficiente para guardar " + std::to_string(N) + " passos");
    }

    std::ofstream out(data_file);
    if (!out) return refuse(std::string("não foi possível criar ") + data_file);

    forRK::x1 = x0;
    forRK::v1 = v0;
    double t = t0;
    for (int i = 0; i < N; ++i) {
        t = RuKuNew1(D2_Oscilador, h, t, forRK::x1, forRK::v1);
        table.push_back({t, forRK::x1, forRK::v1});
    }

    for (const Row &row : table)
        if (!write_row(out, row)) return refuse(std::string("erro ao escrever em ") + data_file);
    return 0;
}
