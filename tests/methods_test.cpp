// The methods in-process, each entry by its name against closed forms worked out by hand on
// x'' = -x (z = h·w0): the one-step matrices, their Taylor polynomials in Z = h·A, the
// determinant 1 of the symplectic ones, the energy factor of a step, the stability limit and the
// observed order; and one step of damped, driven motion against the textbook step written here,
// at a small step and at one past a quarter turn.

#include "methods/methods.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <iterator>
#include <string>
#include <utility>

namespace {

// The entry of the table named `name`.
const osc::Method &named(const std::string &name)
{
    const auto *const found = std::find_if(std::begin(osc::methods), std::end(osc::methods),
                                    [&](const osc::Method &method) { return name == method.name; });
    if (found != std::end(osc::methods)) return *found;
    ADD_FAILURE() << "no method named " << name;
    return osc::programs_method;
}

TEST(Methods, EachAgainstItsClosedFormAndItsTextbookStep)
{
    struct Case {
        const char *name;
        osc::Matrix (*undamped)(double z); // M on x'' = -x
        double (*energy)(double z);        // det M
        double limit;                      // the largest stable z; NaN for none
        osc::OneStep textbook;
    };
    const double none = NAN;
    const Case cases[] = {
        {"Euler", [](double z) { return osc::Matrix{1, z, -z, 1}; }, [](double z) { return 1 + z * z; },
         none,
         [](const osc::Acceleration &a, double h, double t, double &x, double &v) {
             const double dv = h * a(t, x, v);
             x += h * v;
             v += dv;
         }},
        {"Euler-Cromer", [](double z) { return osc::Matrix{1 - z * z, z, -z, 1}; },
         [](double) { return 1.0; }, 2,
         [](const osc::Acceleration &a, double h, double t, double &x, double &v) {
             v += h * a(t, x, v);
             x += h * v;
         }},
        {"ponto médio",
         [](double z) { return osc::Matrix{1 - z * z / 2, z, -z, 1 - z * z / 2}; },
         [](double z) { return 1 + std::pow(z, 4) / 4; }, none,
         [](const osc::Acceleration &a, double h, double t, double &x, double &v) {
             const double xm = x + h / 2 * v;
             const double vm = v + h / 2 * a(t, x, v);
             x += h * vm;
             v += h * a(t + h / 2, xm, vm);
         }},
        {"Verlet",
         [](double z) { return osc::Matrix{1 - z * z / 2, z, -z * (1 - z * z / 4), 1 - z * z / 2}; },
         [](double) { return 1.0; }, 2,
         [](const osc::Acceleration &a, double h, double t, double &x, double &v) {
             const double a0 = a(t, x, v);
             const double x1 = x + h * v + h * h / 2 * a0;
             v += h / 2 * (a0 + a(t + h, x1, v + h * a0));
             x = x1;
         }},
        {"RK4",
         [](double z) {
             const double c = 1 - z * z / 2 + std::pow(z, 4) / 24;
             const double s = z - std::pow(z, 3) / 6;
             return osc::Matrix{c, s, -s, c};
         },
         [](double z) { return 1 - std::pow(z, 6) / 72 + std::pow(z, 8) / 576; }, 2 * std::sqrt(2.0),
         [](const osc::Acceleration &a, double h, double t, double &x, double &v) {
             using State = std::complex<double>; // x + i·v
             const auto f = [&](double s, State y) { return State(y.imag(), a(s, y.real(), y.imag())); };
             const State y(x, v);
             const State k1 = f(t, y);
             const State k2 = f(t + h / 2, y + h / 2 * k1);
             const State k3 = f(t + h / 2, y + h / 2 * k2);
             const State k4 = f(t + h, y + h * k3);
             const State next = y + h / 6 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
             x = next.real();
             v = next.imag();
         }},
    };
    ASSERT_EQ(std::size(cases), std::size(osc::methods));
    // Damped and driven: a stage's time shows only with the force, its velocity only with damping.
    const osc::Acceleration driven = [](double t, double x, double v) {
        return -4 * x - 0.6 * v + 0.7 * std::sin(1.3 * t);
    };
    for (const Case &c : cases) {
        const osc::Method &method = named(c.name);
        SCOPED_TRACE(c.name);
        for (const double z : {0.3, 1.8}) {
            const osc::Matrix m = osc::amplification(method, z, 1, 0);
            const osc::Matrix expected = c.undamped(z);
            for (int k = 0; k < 4; ++k) EXPECT_NEAR(m[k], expected[k], 1e-14) << z << " " << k;
            EXPECT_NEAR(osc::energy_factor(method, z), c.energy(z), 1e-14) << z;
            // w0 = 2: h·w0 = 0.1, and 1.8, past a quarter turn.
            const double h = z == 0.3 ? 0.05 : 0.9;
            double x = 0.6;
            double v = -0.9;
            double textbook_x = x;
            double textbook_v = v;
            method.step(driven, h, 0.4, x, v);
            c.textbook(driven, h, 0.4, textbook_x, textbook_v);
            EXPECT_NEAR(x, textbook_x, 1e-14) << h;
            EXPECT_NEAR(v, textbook_v, 1e-14) << h;
        }
        const double limit = osc::stability_limit(method, 0);
        if (std::isnan(c.limit)) EXPECT_TRUE(std::isnan(limit)) << limit;
        else EXPECT_NEAR(limit, c.limit, 1e-9);

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
// and the turn of a step is the argument of the eigenvalue 1 + h·λ + ..., also past a quarter
// turn.
TEST(Methods, DampedTaylorPolynomialsAndTheirTurn)
{
    const double w0 = 2;
    const double beta = 0.3;
    const auto times = [](const osc::Matrix &p, const osc::Matrix &q) {
        return osc::Matrix{p[0] * q[0] + p[1] * q[2], p[0] * q[1] + p[1] * q[3],
                           p[2] * q[0] + p[3] * q[2], p[2] * q[1] + p[3] * q[3]};
    };
    const double eye[] = {1, 0, 0, 1};
    const std::complex<double> lambda(-beta, std::sqrt(w0 * w0 - beta * beta));
    for (const double h : {0.2, 0.9}) {
        const osc::Matrix Z = {0, h, -h * w0 * w0, -2 * h * beta};
        const osc::Matrix Z2 = times(Z, Z);
        const osc::Matrix Z3 = times(Z2, Z);
        const osc::Matrix Z4 = times(Z3, Z);
        const std::complex<double> hl = h * lambda;
        const std::pair<const char *, std::complex<double>> rows[] = {
            {"Euler", 1.0 + hl}, {"ponto médio", 1.0 + hl + hl * hl / 2.0},
            {"RK4", 1.0 + hl + hl * hl / 2.0 + hl * hl * hl / 6.0 + hl * hl * hl * hl / 24.0}};
        for (const auto &[name, R] : rows) {
            const osc::Method &method = named(name);
            SCOPED_TRACE(std::string(name) + " h = " + std::to_string(h));
            const osc::Matrix m = osc::amplification(method, h, w0, beta);
            for (int k = 0; k < 4; ++k) {
                double expected = eye[k] + Z[k];
                if (method.order >= 2) expected += Z2[k] / 2;
                if (method.order >= 4) expected += Z3[k] / 6 + Z4[k] / 24;
                EXPECT_NEAR(m[k], expected, 1e-14) << k;
            }
            EXPECT_NEAR(osc::turn(m), std::abs(std::arg(R)), 1e-14);
            EXPECT_NEAR(osc::spectral_radius(m), std::abs(R), 1e-14);
        }
        // Euler-Cromer keeps the area but for damping: det M = 1 - 2h·β.
        const osc::Matrix cromer = osc::amplification(named("Euler-Cromer"), h, w0, beta);
        EXPECT_NEAR(cromer[0] * cromer[3] - cromer[1] * cromer[2], 1 - 2 * h * beta, 1e-15);
    }
}

} // namespace
