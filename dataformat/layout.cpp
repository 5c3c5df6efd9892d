#include "dataformat/layout.hpp"

#include <cmath>

namespace osc {

namespace {

// Characters a column takes, sign included, in most rows when its values grow steadily to
// `bound`: most of them lie in the decade of the last one, and there six significant digits
// take 12345.6, 0.000123457 or 1.23457e+06.
double longest_text(double bound)
{
    const double magnitude = std::fabs(bound);
    if (!(magnitude >= 1e-4 && magnitude < 1e6)) return magnitude >= 1e100 ? 13 : 12;
    const int decade = static_cast<int>(std::floor(std::log10(magnitude)));
    return 1 + (decade >= 0 ? (decade == 5 ? 6 : 7) : 7 - decade);
}

// Each column and the space or newline after it.
double row_bytes(std::initializer_list<double> growing, double sign, double any)
{
    double bytes = 2 * (any + 1);
    for (const double bound : growing) bytes += longest_text(bound) - 1 + sign + 1;
    return bytes;
}

} // namespace

double row_bytes_upper(std::initializer_list<double> growing) { return row_bytes(growing, 1, 12); }

double row_bytes_typical(std::initializer_list<double> growing) { return row_bytes(growing, 0, 8); }

} // namespace osc
