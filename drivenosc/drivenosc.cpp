// drivenosc: the damped oscillator driven by a sinusoidal force
//
//     x'' = -w0^2 x - gamma x' + F sin(wf t)
//
// with m = 1, k = 1, lambda = 0.5 and F0 = 0.5, integrated with the classical fourth-order
// Runge-Kutta scheme from t = 0 to N h. Reads x0, v0, N and h from "input_1a.txt", asks for
// the driving frequency (w0/3, w0 or 3 w0) and writes rows n t x v to the data file of that
// frequency, emptying the other two.

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

const char *const parameter_file = "input_1a.txt";

// One data file per driving frequency, in the order of the menu: w0/3, w0, 3 w0.
const std::array<const char *, 3> data_files = {"Kutta_1a_w0_3.dat", "Kutta_1a_w0.dat",
                                                "Kutta_1a_3w0.dat"};

// Rate of change of position: the velocity itself.
double OH_Dx(double v) { return v; }

// Acceleration of the damped, driven oscillator at time t.
double OH_Dv(double x, double v, double t, double w0, double gamma, double F, double wf)
{
    const double a = ((-w0) * w0) * x;
    const double d = gamma * v;
    return std::sin(wf * t) * F + (a - d);
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
bool write_row(std::ofstream &out, double n, double t, double x, double v)
{
    char row[4 * (format_room + 1)];
    char *end = row;
    for (const double value : {n, t, x, v}) {
        if (end != row) *end++ = ' ';
        end = format_g6(end, value);
    }
    *end++ = '\n';
    // Straight to the file's buffer and out with one write: the stream's write() and flush()
    // would do the same behind a sentry each.
    std::filebuf &file = *out.rdbuf();
    return file.sputn(row, end - row) == end - row && file.pubsync() == 0;
}

// Integrates from t = 0 while N h >= t, time being the running sum of h, and writes every
// state to the file of the selection (1, 2 or 3). All three files are created or emptied.
// Returns false, after saying why, when a file cannot be created or a row cannot be written.
bool RungeKutta(double x0, double v0, double w0, double gamma, double h, double N, double F,
                double wf, int selection)
{
    double t = 0.0;
    const double t_end = N * h;
    double x = x0;
    double v = v0;

    std::array<std::ofstream, 3> files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i].open(data_files[i]);
        if (!files[i]) {
            std::cerr << "drivenosc: não foi possível criar " << data_files[i] << std::endl;
            return false;
        }
    }
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

        if (writes && !write_row(files[chosen], n, t, x, v)) {
            std::cerr << "drivenosc: erro ao escrever em " << data_files[chosen] << std::endl;
            return false;
        }
        x = x_next;
        v = v_next;
        t = t + h;
    }
    return true;
}

// Whether the running sum t = 0, h, h + h, ... ever exceeds t_end, so that the loop ends.
// A positive h stops changing the sum once it reaches the lowest power of two whose half ulp
// is at least h; a zero or negative h never climbs past an end time >= 0.
bool grid_ends(double h, double t_end)
{
    if (!(t_end >= 0.0)) return true;
    if (!(h > 0.0)) return false;
    int exponent = 0;
    const double mantissa = std::frexp(h, &exponent); // h = mantissa * 2^exponent
    const double stall = std::ldexp(1.0, mantissa == 0.5 ? exponent + 52 : exponent + 53);
    return t_end < stall;
}

} // namespace

int main()
{
    const double m = 1.0;
    const double k = 1.0;
    const double lambda = 0.5;
    const double F0 = 0.5;

    std::ifstream parameters(parameter_file);
    if (!parameters) {
        std::cerr << "drivenosc: não foi possível abrir " << parameter_file << std::endl;
        return 1;
    }
    double x0 = 0.0;
    double v0 = 0.0;
    double N = 0.0;
    double h = 0.0;
    if (!(parameters >> x0 >> v0 >> N >> h)) {
        std::cerr << "drivenosc: " << parameter_file
                  << " deve conter quatro números: x0, v0, N e h" << std::endl;
        return 1;
    }
    if (!grid_ends(h, N * h)) {
        std::cerr << "drivenosc: com N = " << N << " e h = " << h
                  << " o tempo nunca ultrapassa N·h e a simulação não terminaria" << std::endl;
        return 1;
    }

    const double w0 = std::sqrt(k / m);
    const double gamma = lambda / m;
    const double F = F0 / m;

    std::cout << "*** DRIVENOSC ***" << std::endl;
    std::cout << "Introduza o valor de wf pretendido (selecione o número correspondente): \n"
                 "   (1) w0 / 3 \n   (2) w0 \n   (3) 3*w0 \n\n "
              << std::endl;

    int selection = 0;
    if (!(std::cin >> selection)) return 1;
    double wf = 0.0;
    switch (selection) {
    case 1: wf = w0 / 3; break;
    case 2: wf = w0; break;
    case 3: wf = 3 * w0; break;
    default: return 1;
    }

    return RungeKutta(x0, v0, w0, gamma, h, N, F, wf, selection) ? 0 : 1;
}
