// harmosc: the free or damped linear oscillator
//
//     x'' = -w0^2 x - 2 gamma x'
//
// integrated with the classical fourth-order Runge-Kutta scheme at a fixed step, from
// constants and initial conditions asked on the console. The state at the start of every
// step goes to "Oscilador_Kutta.dat" as one row: t x v.

#include <charconv>
#include <cmath>
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

// One data row, each number in the stream's default form (%g, six significant digits),
// separated by single spaces; the row is flushed so it is on disk as soon as it is written.
bool write_row(std::ofstream &out, double t, double x, double v)
{
    char row[96];
    char *end = row;
    for (const double value : {t, x, v}) {
        if (end != row) *end++ = ' ';
        end = std::to_chars(end, row + sizeof row, value, std::chars_format::general, 6).ptr;
    }
    *end++ = '\n';
    out.write(row, end - row);
    out.flush();
    return static_cast<bool>(out);
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
