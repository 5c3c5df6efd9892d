#include "text/written_alike.hpp"

#include "text/number_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace osc {

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
