// The methods in-process, against closed forms worked out by hand on x'' = -x (z = h·w0):
// the one-step matrices, their Taylor polynomials in Z = h·A, the determinant 1 of the
// symplectic two, the energy factor of a step, the stability limit and the observed order.

#include "methods/methods.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <utility>

namespace {

TEST(Methods, EachAgainstItsClosedForm)
{
    const double z = 0.3;
    const double c = 1 - z * z / 2; // the diagonal of the second-order Taylor polynomial
    struct Case {
        const char *name;
        osc::Matrix undamped;  // M at z = 0.3 on x'' = -x
        double energy;         // det M at z = 0.5
        double limit;          // the largest stable z; NaN for none
    };
    const double none = NAN;
    const double rk4_diagonal = c + z * z * z * z / 24;
    const double rk4_off = z - z * z * z / 6;
    const double y = 0.5;
    const Case cases[] = {
        {"Euler", {1, z, -z, 1}, 1 + y * y, none},
        {"Euler-Cromer", {1 - z * z, z, -z, 1}, 1, 2},
        {"ponto médio", {c, z, -z, c}, 1 + y * y * y * y / 4, none},
        {"Verlet", {c, z, -z * (1 - z * z / 4), c}, 1, 2},
        {"RK4", {rk4_diagonal, rk4_off, -rk4_off, rk4_diagonal},
         1 - std::pow(y, 6) / 72 + std::pow(y, 8) / 576, 2 * std::sqrt(2.0)},
    };
    ASSERT_EQ(std::size(cases), std::size(osc::methods));
    for (std::size_t i = 0; i < std::size(osc::methods); ++i) {
        const osc::Method &method = osc::methods[i];
        const Case &expected = cases[i];
        SCOPED_TRACE(method.name);
        EXPECT_EQ(std::string(method.name), expected.name);
        const osc::Matrix m = osc::amplification(method, z, 1, 0);
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(m[k], expected.undamped[k], 1e-15) << k;
        EXPECT_NEAR(osc::energy_factor(method, y), expected.energy, 1e-15);
        const double limit = osc::stability_limit(method, 0);
        if (std::isnan(expected.limit)) EXPECT_TRUE(std::isnan(limit)) << limit;
        else EXPECT_NEAR(limit, expected.limit, 1e-9);

        // The order: errors at T = 1 for h = 0.05 and 0.025 on x = cos t.
        double error[2];
        for (int k = 0; k < 2; ++k) {
            const double h = 0.05 / (1 << k);
            const osc::Acceleration a = [](double, double x, double) { return -x; };
            double x = 1;
            double v = 0;
            double t = 0;
            for (int n = 0; n < (20 << k); ++n, t += h) method.step(a, h, t, x, v);
            error[k] = x - std::cos(1.0);
        }
        EXPECT_NEAR(std::log2(error[0] / error[1]), method.order, 0.1);
    }
}

// With damping, the Runge-Kutta methods are Taylor polynomials of Z = h·A, A = [0 1; -w0² -2β],
// and the turn of a step is the argument of the eigenvalue 1 + h·λ + ...
TEST(Methods, DampedTaylorPolynomialsAndTheirTurn)
{
    const double h = 0.2;
    const double w0 = 2;
    const double beta = 0.3;
    const osc::Matrix Z = {0, h, -h * w0 * w0, -2 * h * beta};
    const auto times = [](const osc::Matrix &p, const osc::Matrix &q) {
        return osc::Matrix{p[0] * q[0] + p[1] * q[2], p[0] * q[1] + p[1] * q[3],
                           p[2] * q[0] + p[3] * q[2], p[2] * q[1] + p[3] * q[3]};
    };
    const osc::Matrix Z2 = times(Z, Z);
    const osc::Matrix Z3 = times(Z2, Z);
    const osc::Matrix Z4 = times(Z3, Z);
    const double eye[] = {1, 0, 0, 1};
    const std::complex<double> lambda(-beta, std::sqrt(w0 * w0 - beta * beta));
    const std::complex<double> hl = h * lambda;
    const std::pair<std::size_t, std::complex<double>> rows[] = {
        {0, 1.0 + hl}, {2, 1.0 + hl + hl * hl / 2.0},
        {4, 1.0 + hl + hl * hl / 2.0 + hl * hl * hl / 6.0 + hl * hl * hl * hl / 24.0}};
    for (const auto &[index, R] : rows) {
        const osc::Method &method = osc::methods[index];
        SCOPED_TRACE(method.name);
        const osc::Matrix m = osc::amplification(method, h, w0, beta);
        for (int k = 0; k < 4; ++k) {
            double expected = eye[k] + Z[k];
            if (method.order >= 2) expected += Z2[k] / 2;
            if (method.order >= 4) expected += Z3[k] / 6 + Z4[k] / 24;
            EXPECT_NEAR(m[k], expected, 1e-15) << k;
        }
        EXPECT_NEAR(osc::turn(m), std::arg(R), 1e-14);
        EXPECT_NEAR(osc::spectral_radius(m), std::abs(R), 1e-14);
    }
    // Euler-Cromer keeps the area (det 1 - 2h·β), Verlet keeps it undamped only.
    const osc::Matrix cromer = osc::amplification(osc::methods[1], h, w0, beta);
    EXPECT_NEAR(cromer[0] * cromer[3] - cromer[1] * cromer[2], 1 - 2 * h * beta, 1e-15);
}

} // namespace
