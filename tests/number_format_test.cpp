// Every number in a data file must read exactly as printf("%.6g") writes it, the default form
// of a C++ stream. Each program prints its initial state unchanged in its first row, so the
// values below go in as initial conditions and come out through the program's row writer.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

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

// One run of the program: a tie that goes to the even digit and a negative exponent; the
// formatter's other cases are the number text test's.
void for_each_pair(const std::function<void(double, double)> &check) { check(123456.5, -1e-5); }

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
