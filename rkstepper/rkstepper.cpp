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
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// Says why the run stops; returns the exit status of a refusal.
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

// Three-character decimal texts "000" to "999", back to back.
constexpr std::array<char, 3000> three_digits = [] {
    std::array<char, 3000> table{};
    for (std::size_t i = 0; i < 1000; ++i) {
        table[3 * i] = static_cast<char>('0' + i / 100);
        table[3 * i + 1] = static_cast<char>('0' + i / 10 % 10);
        table[3 * i + 2] = static_cast<char>('0' + i % 10);
    }
    return table;
}();

// Writes value as printf("%.6g"), the stream's default form, does. A value between 1e-15 and
// 1e20 is scaled by an exact power of ten into [1e5, 1e6), a single rounding, and rounded to
// six digits there; when the scaled value lies too near a rounding tie to tell which way the
// exact one goes, and for every other value, std::to_chars gives the same text the slow way.
// Writes at most format_room characters from first and returns the end of the text.
constexpr int format_room = 16;
char *format_g6(char *first, double value)
{
    static constexpr double ten_to[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const auto slow = [&] {
        return std::to_chars(first, first + format_room, value, std::chars_format::general, 6).ptr;
    };
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-15 && magnitude < 1e20)) return slow();

    // magnitude lies in [2^b, 2^(b+1)), so its decimal exponent is floor(b log10 2) or one more;
    // 78913 / 2^18 is log10 2 closely enough to keep that floor exact for |b| < 1700.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int b = static_cast<int>(bits >> 52) - 1023;
    int exponent = (b * 78913) >> 18;
    const auto scale = [&](int e) {
        return e <= 5 ? magnitude * ten_to[5 - e] : magnitude / ten_to[e - 5];
    };
    double scaled = scale(exponent);
    if (scaled >= 1e6) scaled = scale(++exponent);
    const double whole = static_cast<double>(static_cast<unsigned>(scaled));
    const double fraction = scaled - whole;
    if (scaled < 1e5 || scaled >= 1e6 || std::fabs(fraction - 0.5) < 0x1p-30) return slow();

    std::size_t digits = static_cast<std::size_t>(whole) + (fraction > 0.5 ? 1U : 0U);
    if (digits == 1000000U) {
        digits = 100000U;
        ++exponent;
    }
    // digits / 1000 as a multiply by ceil(2^32 / 1000), exact below 2^20.
    const std::size_t high = (digits * 4294968U) >> 32U;
    char d[6];
    std::memcpy(d, &three_digits[3 * high], 3);
    std::memcpy(d + 3, &three_digits[3 * (digits - high * 1000U)], 3);
    int significant = 6;
    while (d[significant - 1] == '0') --significant;

    // The six digits with a point after the first `point` of them; what follows the last
    // significant digit (and a point with nothing after it) is cut off.
    const auto with_point = [&](char *out, int point) {
        for (int i = 0; i < 6; ++i) out[i + (i >= point ? 1 : 0)] = d[i];
        out[point] = '.';
        return out + (significant > point ? significant + 1 : point);
    };
    char *out = first;
    if (value < 0) *out++ = '-';
    if (exponent >= 0 && exponent < 6) return with_point(out, exponent + 1);
    if (exponent < 0 && exponent >= -4) {
        static constexpr char lead[] = {'0', '.', '0', '0', '0'};
        std::memcpy(out, lead, sizeof lead);
        out += 1 - exponent;
        std::memcpy(out, d, 6);
        return out + significant;
    }
    out = with_point(out, 1);
    const int e = std::abs(exponent);
    const char text[4] = {'e', exponent < 0 ? '-' : '+', static_cast<char>('0' + e / 10),
                          static_cast<char>('0' + e % 10)};
    std::memcpy(out, text, 4);
    return out + 4;
}

// One data row, each number in the stream's default form, separated by single spaces; the
// row goes to the file in one piece and is flushed so it is on disk as soon as it is written.
bool write_row(std::ofstream &out, const Row &row)
{
    char text[3 * (format_room + 1)];
    char *end = text;
    for (const double value : row) {
        if (end != text) *end++ = ' ';
        end = format_g6(end, value);
    }
    *end++ = '\n';
    // Straight to the file's buffer and out with one write: the stream's write() and flush()
    // would do the same behind a sentry each.
    std::filebuf &file = *out.rdbuf();
    return file.sputn(text, end - text) == end - text && file.pubsync() == 0;
}

// Reads x0, v0, N and h; says what is wrong when the file is missing, short or unreadable
// (an N beyond the range of int included), or N is negative.
bool read_parameters(double &x0, double &v0, int &N, double &h)
{
    std::ifstream parameters(parameter_file);
    if (!parameters) {
        refuse(std::string("não foi possível abrir ") + parameter_file);
        return false;
    }
    std::string missing;
    if (!(parameters >> x0)) missing = "x0";
    else if (!(parameters >> v0)) missing = "v0";
    else if (!(parameters >> N)) missing = "N (um inteiro)";
    else if (!(parameters >> h)) missing = "h";
    if (!missing.empty()) {
        refuse("não foi possível ler " + missing + " de " + parameter_file +
               " (valor inválido ou em falta)");
        return false;
    }
    if (N < 0) {
        refuse("o número de passos N = " + std::to_string(N) + " é negativo");
        return false;
    }
    return true;
}

// Room for N rows in one allocation, refused when it exceeds the memory the system has free,
// so that a run never gets killed halfway for want of it.
bool reserve_table(std::vector<Row> &table, int N)
{
    const double table_bytes = static_cast<double>(N) * sizeof(Row);
    const double free_bytes = available_memory();
    const auto mib = [](double bytes) { return std::to_string(std::llround(bytes / 1048576.0)); };
    if (free_bytes > 0.0 && table_bytes > free_bytes) {
        refuse("memória insuficiente para guardar " + std::to_string(N) + " passos (" +
               mib(table_bytes) + " MiB; disponíveis " + mib(free_bytes) + " MiB)");
        return false;
    }
    try {
        table.reserve(static_cast<std::size_t>(N));
    } catch (const std::bad_alloc &) {
        refuse("memória insuficiente para guardar " + std::to_string(N) + " passos");
        return false;
    }
    return true;
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
    double x0 = 0.0;
    double v0 = 0.0;
    int N = 0;
    double h = 0.0;
    std::vector<Row> table;
    if (!read_parameters(x0, v0, N, h) || !reserve_table(table, N)) return 1;

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
