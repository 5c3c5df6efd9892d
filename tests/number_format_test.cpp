// Every number in a data file must read exactly as printf("%.6g") writes it, the default form
// of a C++ stream. Each program prints its initial state unchanged in its first row, so the
// values below go in as initial conditions and come out through the program's own row writer.
// They gather the hard cases: exact ties between two six-digit texts (which go to the even
// digit), values a hair either side of a tie, rounding that carries into a new decade
// (999999.5 -> 1e+06), the switches between fixed and exponent notation at 1e-4 and 1e6,
// subnormal, huge and signed-zero values; and then random bit patterns.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

std::string printf_g6(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string exact(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::vector<double> hard_values()
{
    std::vector<double> values = {
        0.0, -0.0, 1.0, -1.0, 0.1, 0.2, 0.3, 1.0 / 3.0, -2.0 / 3.0, 123456.5, 123457.5,
        1234565.0, 1234575.0, 0.5, 2.5e-5, 999999.5, 999999.4999999999, 9999995.0,
        9.999995e-5, 9.9999949999e-5, 0.0001, 0.00001, 0.000099999, 100000.0, 999999.0,
        1000000.0, 1e-15, 9.999999e-16, 1e20, 9.9999999999999e19, 1e-300, 1e300,
        4.9406564584124654e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
        0.9999999999999999, 4.99999999999999, 99.9999999999998, 1.9000000000000006,
        0.30000000000000004, -7.77777777, 65536.0, 1e6 - 0.5, 1e5 - 0.05, 12345.65, 1.234565,
        std::nextafter(1.234565, 2.0), std::nextafter(1.234565, 0.0), 8.5e-5, 0.000125,
        3.0517578125e-05, 1.52587890625e-05, 6.103515625e-05};
    std::mt19937_64 bits(424242);
    for (int i = 0; i < 120; ++i) {
        const std::uint64_t pattern = bits();
        double value = 0.0;
        std::memcpy(&value, &pattern, sizeof value);
        if (std::isfinite(value)) values.push_back(value);
        // and one of an everyday size, anywhere from 1e-8 to 1e8
        values.push_back(std::ldexp(static_cast<double>(bits() >> 11), -53) *
                         std::pow(10.0, static_cast<double>(bits() % 17) - 8.0) *
                         ((pattern & 1) ? -1.0 : 1.0));
    }
    return values;
}

// Pairs of values, each pair one run of the program.
void for_each_pair(const std::function<void(double, double)> &check)
{
    const std::vector<double> values = hard_values();
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) check(values[i], values[i + 1]);
}

TEST(NumberFormat, HarmoscFirstRow)
{
    for_each_pair([](double x0, double v0) {
        Sandbox box;
        ASSERT_EQ(box.run(HARMOSC, "1\n1 1\n" + exact(x0) + " " + exact(v0) + "\n0\n").status, 0);
        EXPECT_EQ(box.read("Oscilador_Kutta.dat"),
                  "0 " + printf_g6(x0) + " " + printf_g6(v0) + "\n");
    });
}

TEST(NumberFormat, DrivenoscFirstRow)
{
    for_each_pair([](double x0, double v0) {
        Sandbox box;
        box.write("input_1a.txt", exact(x0) + " " + exact(v0) + " 0 1\n");
        ASSERT_EQ(box.run(DRIVENOSC, "2\n").status, 0);
        EXPECT_EQ(box.read("Kutta_1a_w0.dat"),
                  "0 0 " + printf_g6(x0) + " " + printf_g6(v0) + "\n");
    });
}

// With h = 0 a step leaves the state as it was (for values whose stage sums stay finite).
TEST(NumberFormat, RkstepperRowsAfterAZeroStep)
{
    for_each_pair([](double x0, double v0) {
        if (std::abs(x0) > 1e300 || std::abs(v0) > 1e300 || (x0 == 0.0 && std::signbit(x0)) ||
            (v0 == 0.0 && std::signbit(v0)))
            return;
        Sandbox box;
        box.write("parametros_sistema.txt", exact(x0) + " " + exact(v0) + " 1 0\n");
        ASSERT_EQ(box.run(RKSTEPPER).status, 0);
        EXPECT_EQ(box.read("RK_generico_1b.txt"),
                  "0 " + printf_g6(x0) + " " + printf_g6(v0) + "\n");
    });
}

} // namespace
