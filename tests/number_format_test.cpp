// Every number in a data file must read exactly as printf("%.6g") writes it, the default form
// of a C++ stream. Each program prints its initial state unchanged in its first row, so the
// values below go in as initial conditions and come out through the program's row writer.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <cstdio>
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

// One run of each program: a tie that goes to the even digit and a negative exponent, given as
// the initial state and written back in the first row; the formatter's other cases are the
// number text test's. With h = 0, rkstepper's step leaves the state as it was.
TEST(NumberFormat, EachProgramsFirstRowIsAsPrintfWritesIt)
{
    const double x0 = 123456.5;
    const double v0 = -1e-5;
    const std::string state = exact(x0) + " " + exact(v0);
    const std::string row = printf_g6(x0) + " " + printf_g6(v0) + "\n";
    struct Case {
        const char *program;
        std::string input, parameter_file, parameters, data_file, first_row;
    };
    const Case cases[] = {
        {HARMOSC, "1\n1 1\n" + state + "\n0\n", "", "", "Oscilador_Kutta.dat", "0 " + row},
        {DRIVENOSC, "2\n", "input_1a.txt", state + " 0 1\n", "Kutta_1a_w0.dat", "0 0 " + row},
        {RKSTEPPER, "", "parametros_sistema.txt", state + " 1 0\n", "RK_generico_1b.txt", "0 " + row},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program);
        Sandbox box;
        if (!c.parameter_file.empty()) box.write(c.parameter_file, c.parameters);
        ASSERT_EQ(box.run(c.program, c.input).status, 0);
        EXPECT_EQ(box.read(c.data_file), c.first_row);
    }
}

} // namespace
