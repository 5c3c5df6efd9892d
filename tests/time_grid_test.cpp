// The time grid of the running sum t = 0, h, h + h, ...: where it stalls, whether a loop
// while t_end >= t ends, its step counts and where six digits stop telling times apart, each
// against the running sum itself or hand arithmetic.

#include "stepmath/time_grid.hpp"
#include "text/written_alike.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double inf = HUGE_VAL;

// The sum stalls at the first power of two whose half ulp reaches h: there adding h changes
// nothing, and just below it, it still does.
TEST(TimeGrid, StallsWhereAddingTheStepNoLongerCounts)
{
    const std::pair<double, double> cases[] = {
        {0.1, 0x1p50},      // 0.1 = 0.8·2^-3: half an ulp of 2^50 is 2^-3 > 0.1
        {0.5, 0x1p52},      // half an ulp of 2^52 is 0.5: a tie, kept even
        {0.75, 0x1p53},     // 2^52 + 0.75 still rounds up to 2^52 + 1
        {1e-300, 0x1p-943}, // 1e-300 = 0.67·2^-996
        {3e300, inf}};      // 2^1051 is beyond a double
    for (const auto &[h, stall] : cases) {
        EXPECT_EQ(osc::stall_time(h), stall) << h;
        if (stall == inf) continue;
        EXPECT_EQ(stall + h, stall) << h;
        const double below = std::nextafter(stall, 0.0);
        EXPECT_GT(below + h, below) << h;
    }
}

// Whether t_end >= t stops holding; where it does not, the test's running sum stalls or walks
// away from t_end, from a point the grid reaches exactly.
bool running_sum_ends(double h, double t_end, double from)
{
    for (double t = from;; t = t + h)
        if (!(t_end >= t)) return true;
        else if (!(t + h > t)) return false;
}

TEST(TimeGrid, EndsUnlessTheSumStallsOrWalksAway)
{
    struct Case {
        double h, t_end, from;
    };
    const Case cases[] = {
        {0.1, 1.0, 0.0},           {0.1, -0.5, 0.0},
        {0.1, -0.0, 0.0},          {0.0, 0.0, 0.0},
        {-0.1, 0.5, 0.0},          {-0.1, -0.0, 0.0},
        {1e300, inf, 1.7e308},     {1e300, 1e302, 0.0},
        {0.5, 0x1p52, 0x1p52 - 4}, {0.5, 0x1p52 - 0.5, 0x1p52 - 4}, // the last grid that ends
        {1e-300, 1.0, 0x1p-943},   {0.1, NAN, 0.0}};
    for (const Case &c : cases)
        EXPECT_EQ(osc::grid_ends(c.h, c.t_end), running_sum_ends(c.h, c.t_end, c.from))
            << c.h << " " << c.t_end;
}

// Steps counted from t_end/h, which rounds: 0.3/0.1 is 2.9999999999999996.
TEST(TimeGrid, StepCountsAllowForTheRoundingOfTheQuotient)
{
    struct Case {
        double h, t_end, whole, needed;
    };
    for (const Case &c : {Case{0.1, 0.3, 3, 3}, Case{0.1, 0.35, 3, 4}, Case{0.25, 1.0, 4, 4},
                          Case{0.1, 0.0, 0, 0}, Case{0.3, 1.0, 3, 4}}) {
        EXPECT_EQ(osc::whole_steps(c.h, c.t_end), c.whole) << c.h << " " << c.t_end;
        EXPECT_EQ(osc::steps_needed(c.h, c.t_end), c.needed) << c.h << " " << c.t_end;
    }
}

// Six digits stop telling i·h from (i + 1)·h at the decade where they lose h's place: 100000
// and 100000.1 both read 100000; 1000002 and 1000005 both read 1e+06.
TEST(TimeGrid, FirstTimesWrittenAlike)
{
    struct Case {
        double h, end, first;
    };
    for (const Case &c : {Case{0.1, 1e7, 100000}, Case{0.25, 1e7, 100000}, Case{3, 1e9, 1000002},
                          Case{1, 1e9, 1000000}, Case{0.1, 5e4, NAN}}) {
        SCOPED_TRACE(c.h);
        const double first = osc::first_written_alike(c.h, c.end);
        EXPECT_TRUE(first == c.first || (std::isnan(first) && std::isnan(c.first))) << first;
        if (std::isnan(c.first)) continue;
        EXPECT_TRUE(osc::written_alike(first, first + c.h));
        EXPECT_FALSE(osc::written_alike(first - c.h, first));
    }
}

} // namespace
