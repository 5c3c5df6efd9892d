// harmosc: the free or damped linear oscillator
//
//     x'' = -w0^2 x - 2 gamma x'
//
// integrated with the classical fourth-order Runge-Kutta scheme at a fixed step, from
// constants and initial conditions asked on the console. The state at the start of every
// step goes to "Oscilador_Kutta.dat" as one row: t x v.

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

const char *const data_file = "Oscilador_Kutta.dat";

// Rate of change of position: the velocity itself.
double OH_Dx(double v) { return v; }

// Acceleration of the unforced oscillator; 2 gamma is formed as gamma + gamma.
double OH_Dv(double x, double v, double w0, double gamma)
{
    return ((-w0) * w0) * x - (gamma + gamma) * v;
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
bool write_row(std::ofstream &out, double t, double x, double v)
{
    char row[3 * (format_room + 1)];
    char *end = row;
    for (const double value : {t, x, v}) {
        if (end != row) *end++ = ' ';
        end = format_g6(end, value);
    }
    *end++ = '\n';
    // Straight to the file's buffer and out with one write: the stream's write() and flush()
    // would do the same behind a sentry each.
    std::filebuf &file = *out.rdbuf();
    return file.sputn(row, end - row) == end - row && file.pubsync() == 0;
}

// Integrates from t = 0 while tf >= t, time being the running sum of h. Returns false, after
// saying why, when the data file cannot be created or a row cannot be written.
bool RungeKutta(double x0, double v0, double w0, double gamma, double h, double tf)
{
    double t = 0.0;
    double x = x0;
    double v = v0;

    std::ofstream out(data_file);
    if (!out) {
        std::cerr << "harmosc: não foi possível criar " << data_file << std::endl;
        return false;
    }

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

        if (!write_row(out, t, x, v)) {
            std::cerr << "harmosc: erro ao escrever em " << data_file << std::endl;
            return false;
        }
        x = x_next;
        v = v_next;
        t = t + h;
    }
    return true;
}

// Once the running sum t reaches the lowest power of two whose half ulp is at least h,
// adding h no longer changes it. A final time at or beyond that point is never passed.
double stall_time(double h)
{
    int exponent = 0;
    const double mantissa = std::frexp(h, &exponent); // h = mantissa * 2^exponent
    return std::ldexp(1.0, mantissa == 0.5 ? exponent + 52 : exponent + 53);
}

// Reads the next number of the dialogue; on end of input or text that is not a number
// (an overflowing value included) it says which value was missing.
bool read_value(double &value, const char *name)
{
    if (std::cin >> value) return true;
    std::cerr << "harmosc: não foi possível ler " << name
              << " (valor inválido ou fim da entrada)" << std::endl;
    return false;
}

} // namespace

int main()
{
    const double h = 0.1;

    std::cout << "\033[1;32m"
              << "Indique que EDO pretende resolver (introduza os números identificadores)\n"
              << std::endl;
    std::cout << "\033[37m"
              << "   (1) Movimento Harmónico Simples \n   (2) Movimento Oscilatório Amortecido \n\n"
              << std::endl;

    int selection = 0;
    if (!(std::cin >> selection) || (selection != 1 && selection != 2)) {
        std::cout << "Opção inválida" << std::endl;
        return 1;
    }

    double k = 0.0;
    double m = 0.0;
    double b = 0.0;
    if (selection == 1) {
        std::cout << "\033[1;31m" << "Introduza k, m \033[37m" << std::endl;
        if (!read_value(k, "k") || !read_value(m, "m")) return 1;
    } else {
        std::cout << "\033[1;31m" << "Introduza k, m e b \033[37m" << std::endl;
        if (!read_value(k, "k") || !read_value(m, "m") || !read_value(b, "b")) return 1;
    }
    std::cout << std::endl;

    double x0 = 0.0;
    double v0 = 0.0;
    std::cout << "\033[1;31m" << "Introduza as condições iniciais (x0 e v0 por esta ordem)\033[37m"
              << std::endl;
    if (!read_value(x0, "x0") || !read_value(v0, "v0")) return 1;

    double tf = 0.0;
    std::cout << "\033[1;31m" << "Introduza o instante final da simulação \033[37m" << std::endl;
    if (!read_value(tf, "tf")) return 1;
    if (tf >= stall_time(h)) {
        std::cerr << "harmosc: o instante final " << tf << " nunca é atingido: com passo " << h
                  << " a soma do tempo deixa de avançar antes dele" << std::endl;
        return 1;
    }

    const double w0 = std::sqrt(k / m);
    const double gamma = selection == 1 ? 0.0 : b / (m + m);

    return RungeKutta(x0, v0, w0, gamma, h, tf) ? 0 : 1;
}
