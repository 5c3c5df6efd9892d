// The force law and the generic step on their own.

#include "RuKu.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

void set_driver_constants()
{
    forF::m = 1.0;
    forF::k = 1.0;
    forF::lbd = 0.5;
    forF::F0 = 0.5;
    forF::wf = 3.0;
}

double no_force(double /*t*/, double /*x*/, double /*v*/) { return 0.0; }

TEST(ForceLaw, SpringPullsBackAndDriveIsSinusoidal)
{
    set_driver_constants();
    EXPECT_EQ(D2_Oscilador(0.0, 1.0, 0.0), -1.0);
    EXPECT_EQ(D2_Oscilador(0.0, 0.0, 2.0), -1.0); // damping -(lbd/m) v
    for (const double t : {0.0, 0.1, 0.5, 1.0, 2.7, -3.0})
        EXPECT_DOUBLE_EQ(D2_Oscilador(t, 0.0, 0.0), 0.5 * std::sin(3.0 * t)) << t;
}

TEST(ForceLaw, ReadsTheConstantsOnEveryCall)
{
    set_driver_constants();
    forF::m = 2.0;
    forF::k = 8.0;
    EXPECT_EQ(D2_Oscilador(0.0, 1.0, 0.0), -4.0);
    forF::m = 0.0;
    EXPECT_TRUE(std::isnan(D2_Oscilador(1.0, 1.0, 1.0)));
}

std::vector<double> stage_times;
double recording_force(double t, double /*x*/, double /*v*/)
{
    stage_times.push_back(t);
    return 0.0;
}

TEST(Step, EvaluatesTheForceFourTimesAtTheStageTimes)
{
    stage_times.clear();
    forRK::x1 = 0.0;
    forRK::v1 = 0.0;
    EXPECT_EQ(RuKuNew1(recording_force, 0.5, 2.0, 0.0, 0.0), 2.5);
    EXPECT_EQ(stage_times, (std::vector<double>{2.0, 2.25, 2.25, 2.5}));
}

TEST(Step, WithoutForceTheMassCoasts)
{
    struct Case {
        double h, x, v;
    };
    for (const Case &c : {Case{0.1, 1.0, 2.0}, Case{0.25, -3.0, 0.5}, Case{-0.5, 0.0, 1.0}}) {
        forRK::x1 = c.x;
        forRK::v1 = c.v;
        EXPECT_EQ(RuKuNew1(no_force, c.h, 1.0, c.x, c.v), 1.0 + c.h);
        EXPECT_NEAR(forRK::x1, c.x + c.h * c.v, 1e-15);
        EXPECT_EQ(forRK::v1, c.v);
    }
}

TEST(Step, ZeroStepChangesNothing)
{
    set_driver_constants();
    forRK::x1 = 0.3;
    forRK::v1 = -0.7;
    EXPECT_EQ(RuKuNew1(D2_Oscilador, 0.0, 4.0, 0.3, -0.7), 4.0);
    EXPECT_EQ(forRK::x1, 0.3);
    EXPECT_EQ(forRK::v1, -0.7);
}

TEST(Step, IncrementsGoOntoTheHeldState)
{
    forRK::x1 = 10.0;
    forRK::v1 = 20.0;
    RuKuNew1(no_force, 0.5, 0.0, 0.0, 1.0);
    EXPECT_EQ(forRK::x1, 10.5);
    EXPECT_EQ(forRK::v1, 20.0);
}

// x'' = -x from x = 1, v = 0 has x(t) = cos t; halving h divides RK4's error at t = 2 by ~2^4.
double error_at_two(double h, int steps)
{
    set_driver_constants();
    forF::lbd = 0.0;
    forF::F0 = 0.0;
    forRK::x1 = 1.0;
    forRK::v1 = 0.0;
    double t = 0.0;
    for (int i = 0; i < steps; ++i) t = RuKuNew1(D2_Oscilador, h, t, forRK::x1, forRK::v1);
    return std::abs(forRK::x1 - std::cos(2.0));
}

TEST(Step, IsFourthOrder)
{
    const double coarse = error_at_two(0.2, 10);
    const double fine = error_at_two(0.1, 20);
    EXPECT_GT(coarse, 1e-7);
    EXPECT_NEAR(coarse / fine, 16.0, 1.5);
}

} // namespace
