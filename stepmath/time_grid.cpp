#include "stepmath/time_grid.hpp"

#include "text/number_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace osc {

double stall_time(double h)
{
    int exponent = 0;
    const double mantissa = std::frexp(h, &exponent); // h = mantissa * 2^exponent
    return std::ldexp(1.0, mantissa == 0.5 ? exponent + 52 : exponent + 53);
}

bool grid_ends(double h, double t_end)
{
    if (!(t_end >= 0.0)) return true;
    if (!(h > 0.0)) return false;
    return t_end < stall_time(h);
}

double whole_steps(double h, double t_end) { return std::floor(t_end / h + 1e-9); }

double steps_needed(double h, double t_end) { return std::ceil(t_end / h - 1e-9); }

// Whether two times are written alike in six significant digits.
bool written_alike(double a, double b)
{
    char first[format_room];
    char second[format_room];
    const char *first_end = format_g6(first, a);
    const char *second_end = format_g6(second, b);
    return first_end - first == second_end - second &&
           std::memcmp(first, second, static_cast<std::size_t>(first_end - first)) == 0;
}

double first_written_alike(double h, double end)
{
    int e = static_cast<int>(std::ceil(std::log10(h)));
    while (std::pow(10.0, e) <= h) ++e;
    while (std::pow(10.0, e - 1) > h) --e;
    const double decade = std::pow(10.0, e + 5);
    const double first = std::max(0.0, std::floor(decade / h) - 2.0);
    const double last = first + 1e6;
    for (double i = first; i < last && (i + 1.0) * h <= end; ++i)
        if (written_alike(i * h, (i + 1.0) * h)) return i * h;
    // h so close to the place value that values written alike are rare: they begin around the
    // decade, if the run gets that far.
    return last * h <= end ? decade : std::numeric_limits<double>::quiet_NaN();
}

} // namespace osc
