// The data files' number text against the C library's printf("%.6g"), the default form of a
// C++ stream, on a few million generated values: exact ties between two six-digit texts
// (which go to the even digit) and the doubles a few units in the last place either side of
// them, roundings that carry into a new decade, both sides of every place where the short
// path hands over to std::to_chars or where fixed notation turns to exponent notation,
// subnormals, and random bit patterns.

#include "text/number_text.hpp"
#include "text/reading.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Counts the values whose text differs from printf's, and shows the first few.
class Comparison {
public:
    void check(double value)
    {
        char ours[osc::format_room + 1];
        char *const end = osc::format_g6(ours, value);
        char theirs[64];
        const int length = std::snprintf(theirs, sizeof theirs, "%.6g", value);
        ++checked_;
        char longer[64];
        std::snprintf(longer, sizeof longer, "%.16g", value);
        reads_back(theirs);
        reads_back(longer);
        if (end - ours == length && std::memcmp(ours, theirs, static_cast<std::size_t>(length)) == 0)
            return;
        if (++differing_ <= 10) {
            char exact[64];
            std::snprintf(exact, sizeof exact, "%.17g", value);
            ADD_FAILURE() << exact << ": printf " << theirs << ", ours "
                          << std::string(ours, static_cast<std::size_t>(end - ours));
        }
    }

    // The value, its negative, and the doubles up to `reach` steps either side of each.
    void around(double value, int reach)
    {
        for (const double signed_value : {value, -value}) {
            double below = signed_value;
            double above = signed_value;
            check(signed_value);
            for (int i = 0; i < reach; ++i) {
                below = std::nextafter(below, -INFINITY);
                above = std::nextafter(above, INFINITY);
                check(below);
                check(above);
            }
        }
    }

    long checked() const { return checked_; }

    // A number's text reads back in a row as the C library reads it, to the last bit.
    static void reads_back(const char *text)
    {
        double value = 0.0;
        ASSERT_EQ(osc::row_numbers(text, &value, 1), 1) << text;
        const double expected = std::strtod(text, nullptr);
        if (!std::isnan(expected) && (value != expected || std::signbit(value) != std::signbit(expected)))
            ADD_FAILURE() << text << " reads as " << value;
    }

private:
    long checked_ = 0;
    long differing_ = 0;
};

#ifdef OSC_SANITIZED
constexpr long scale = 10; // the sanitizers slow every call; the same cases, fewer of each
#else
constexpr long scale = 1;
#endif

TEST(NumberText, MatchesPrintfOnTiesCarriesEdgesAndRandomBits)
{
    Comparison compare;
    std::mt19937_64 bits(20261208);
    const auto decade = [&] { return static_cast<int>(bits() % 44) - 22; };

    // Seven-digit decimals ending in 5, halfway between two six-digit texts, at every decade
    // from 1e-22 to 1e21; the nearest double lies a little above or below the tie.
    for (long i = 0; i < 150000 / scale; ++i) {
        const double digits = static_cast<double>(1000000 + bits() % 900000 * 10 + 5);
        compare.around(digits * std::pow(10.0, decade() - 6), 2);
    }
    // 999999.5 and its relatives round up into the next decade.
    for (int e = -30; e <= 30; ++e) compare.around(9.999995 * std::pow(10.0, e), 8);
    // Where notation changes, and where the short path ends: 1e-15, 1e20 and their neighbours.
    for (const double edge : {1e-5, 1e-4, 1e5, 1e6, 1e-15, 1e20, 9.999995e-5, 9.999995e-16,
                              9.9999949999e19, 0.5, 1.0, 2.5e-5})
        compare.around(edge, 64);
    // Subnormals and the smallest normals.
    for (long i = 0; i < 100000 / scale; ++i) {
        const std::uint64_t pattern = bits() & ((std::uint64_t{1} << 53) - 1);
        double value = 0.0;
        std::memcpy(&value, &pattern, sizeof value);
        compare.check(value);
    }
    // Any bit pattern (infinities and NaNs included), and everyday magnitudes.
    for (long i = 0; i < 1500000 / scale; ++i) {
        const std::uint64_t pattern = bits();
        double value = 0.0;
        std::memcpy(&value, &pattern, sizeof value);
        compare.check(value);
        compare.check(std::ldexp(static_cast<double>(bits() >> 11), -53) *
                      std::pow(10.0, static_cast<double>(bits() % 17) - 8.0));
    }
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const double special : {0.0, -0.0, inf, -inf, nan, -nan}) compare.check(special);
    EXPECT_GT(compare.checked(), 3000000 / scale);
}

// The hard cases one by one, in every run of the suite: ties that go to the even digit, a hair
// off a tie, roundings that carry into a new decade, exponent notation both ways, a subnormal,
// and where fixed notation and the short path end.
TEST(NumberText, HardCasesMatchPrintf)
{
    Comparison compare;
    for (const double value : {123456.5, 1234575.0, 1.234565, 999999.5, 9.999995e-5, 1e-5,
                               -123456789.0, 4.9406564584124654e-324, -0.1, 0.0001, 1e20, 1e-15})
        compare.around(value, 2);
    EXPECT_EQ(compare.checked(), 12 * 10);
}

// A row of a data file back to its numbers, as the stream would read them: any white space
// (CRLF line ends too) separates them, and a field that is not one number refuses the row.
TEST(NumberText, RowsReadBackAsTheStreamReadsThem)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *row;
        int count;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"0.1 -0.841471 1e-05", 3, {0.1, -0.841471, 1e-05}},
        {"1\t 2.5\r", 2, {1.0, 2.5}},             // a tab, a run of blanks, a CRLF end
        {"+1 .5 2E3", 3, {1.0, 0.5, 2000.0}},      // signs, bare fractions, upper-case exponents
        {"-1e400 1e-400", 2, {-inf, 0.0}},         // beyond the range: -inf; below it: 0
        {"18446744073709551616 -3.6893488147419103232e19", 2, {0x1p64, -0x1p65}}, // 20 digits
        {"- e5", -1, {}},                          // a sign or an exponent alone
        {"", 0, {}},
        {"1 2 3 4 5", -1, {}},                     // more than the room for four
        {"1x 2", -1, {}},
        {"+-1", -1, {}},
        {"1,5", -1, {}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.row);
        double values[4] = {};
        ASSERT_EQ(osc::row_numbers(c.row, values, 4), c.count);
        for (std::size_t i = 0; i < c.values.size(); ++i) EXPECT_EQ(values[i], c.values[i]);
    }
    double values[4] = {};
    ASSERT_EQ(osc::row_numbers("nan -inf", values, 4), 2);
    EXPECT_TRUE(std::isnan(values[0]));
    EXPECT_EQ(values[1], -inf);
}

} // namespace
