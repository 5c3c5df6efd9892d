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
    const auto *const found =
        std::find_if(std::begin(osc::methods), std::end(osc::methods),
                     [&](const osc::Method &method) { return name == method.name; });
    if (found != std::end(osc::methods)) return *found;
    ADD_FAILURE() << "no method named " << name;
    return osc::programs_method;
}

TEST(Methods, EachAgainstItsClosedFormAndItsTextbookStep)
{
    using State = std::complex<double>; // x + i·v
    // Damped and driven, w0 = 2: a stage's time shows only with the force, its velocity only
    // with damping.
    const auto a = [](double t, State y) {
        return -4 * y.real() - 0.6 * y.imag() + 0.7 * std::sin(1.3 * t);
    };
    const auto f = [&](double t, State y) { return State(y.imag(), a(t, y)); }; // y' = f(t, y)
    const double none = NAN;
    for (const double z : {0.3, 1.8}) { // h·w0 small, and past a quarter turn
        const double c = 1 - z * z / 2;   // the diagonal of the second-order Taylor polynomial
        const double s = z - z * z * z / 6;
        // One step of h = z/2 from y at t, each method as its equations read.
        const double h = z / 2;
        const double t = 0.4;
        const State y(0.6, -0.9);
        const double a0 = a(t, y);
        const double cromer_v = y.imag() + h * a0;
        const double verlet_x = y.real() + h * y.imag() + h * h / 2 * a0;
        const State k1 = f(t, y);
        const State k2 = f(t + h / 2, y + h / 2 * k1);
        const State k3 = f(t + h / 2, y + h / 2 * k2);
        const State k4 = f(t + h, y + h * k3);
        const struct {
            const char *name;
            osc::Matrix undamped; // M at h = z on x'' = -x
            double energy;        // det M there
            double limit;         // the largest stable z; NaN for none
            State textbook;       // the step of the driven motion
        } cases[] = {
            {"Euler", {1, z, -z, 1}, 1 + z * z, none, y + h * k1},
            {"Euler-Cromer", {1 - z * z, z, -z, 1}, 1, 2, {y.real() + h * cromer_v, cromer_v}},
            {"ponto médio", {c, z, -z, c}, 1 + std::pow(z, 4) / 4, none, y + h * k2},
            {"Verlet", {c, z, -z * (1 - z * z / 4), c}, 1, 2,
             {verlet_x, y.imag() + h / 2 * (a0 + a(t + h, {verlet_x, y.imag() + h * a0}))}},
            {"RK4", {c + std::pow(z, 4) / 24, s, -s, c + std::pow(z, 4) / 24},
             1 - std::pow(z, 6) / 72 + std::pow(z, 8) / 576, 2 * std::sqrt(2.0),
             y + h / 6 * (k1 + 2.0 * k2 + 2.0 * k3 + k4)},
        };
        ASSERT_EQ(std::size(cases), std::size(osc::methods));
        for (const auto &expected : cases) {
            const osc::Method &method = named(expected.name);
            SCOPED_TRACE(std::string(expected.name) + " z = " + std::to_string(z));
            const osc::Matrix m = osc::amplification(method, z, 1, 0);
            for (int k = 0; k < 4; ++k) EXPECT_NEAR(m[k], expected.undamped[k], 1e-14) << k;
            EXPECT_NEAR(osc::energy_factor(method, z), expected.energy, 1e-14);
            double x = y.real();
            double v = y.imag();
            method.step([&](double time, double p, double q) { return a(time, {p, q}); }, h, t, x,
                        v);
            EXPECT_NEAR(std::abs(State(x, v) - expected.textbook), 0, 1e-14);
            const double limit = osc::stability_limit(method, 0);
            if (std::isnan(expected.limit)) EXPECT_TRUE(std::isnan(limit)) << limit;
            else EXPECT_NEAR(limit, expected.limit, 1e-9);

            // The order: errors at T = 1 for h = 0.05 and 0.025 on x = cos t.
            double error[2];
            for (int k = 0; k < 2; ++k) {
                const double step = 0.05 / (1 << k);
                const osc::Acceleration free = [](double, double p, double) { return -p; };
                double p = 1;
                double q = 0;
                double time = 0;
                for (int n = 0; n < (20 << k); ++n, time += step)
                    method.step(free, step, time, p, q);
                error[k] = p - std::cos(1.0);
            }
            EXPECT_NEAR(std::log2(error[0] / error[1]), method.order, 0.1);
        }
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
