#include "order/verdict.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace osc {

double rounding_of(double value, int digits)
{
    if (value == 0) return 0;
    // Well inside its decade a number rounds within it; near its top, printf says where.
    const double size = std::fabs(value);
    const double decade = std::floor(std::log10(size));
    const double low = std::pow(10.0, decade);
    const double ulps = 8 * DBL_EPSILON; // 10^k as a double is off by an ulp or so
    if (size >= low * (1 + ulps) && size < 10 * low * (1 - std::pow(10.0, -digits) - ulps))
        return 0.5 * std::pow(10.0, decade - (digits - 1));
    // The decimal exponent of the value once rounded to its digits, as printf finds it.
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
    const char *const exponent = std::strchr(text, 'e');
    if (exponent == nullptr) return 0;
    return 0.5 * std::pow(10.0, std::atoi(exponent + 1) - (digits - 1));
}

bool measured(const Run &run) { return std::fabs(run.error) > order_margin * run.rounding; }

Pair pair_of(const Run &larger, const Run &smaller)
{
    if (!measured(larger) || !measured(smaller)) return Pair::unmeasured;
    return larger.error / smaller.error > 0 ? Pair::order : Pair::sign_change;
}

double order_of(const Run &larger, const Run &smaller)
{
    return std::log(larger.error / smaller.error) / std::log(2.0);
}

Verdict judge(const std::vector<Run> &runs)
{
    Verdict verdict;
    std::size_t last = runs.size();
    while (last > 1 && pair_of(runs[last - 2], runs[last - 1]) == Pair::unmeasured) --last;
    if (last <= 1) {
        const auto both_count = [](const Run &a, const Run &b) {
            return !std::isnan(a.error) && !std::isnan(b.error);
        };
        verdict.uncounted = std::adjacent_find(runs.begin(), runs.end(), both_count) == runs.end();
        return verdict;
    }
    verdict.last = last - 1;
    if (pair_of(runs[last - 2], runs[last - 1]) == Pair::sign_change) {
        verdict.outcome = Outcome::sign_change;
        return verdict;
    }
    verdict.order = order_of(runs[last - 2], runs[last - 1]);

    std::size_t orders = 0;
    for (std::size_t i = 1; i < runs.size(); ++i)
        if (pair_of(runs[i - 1], runs[i]) == Pair::order) ++orders;
    verdict.single_pair = orders == 1;
    if (last >= 3) {
        const Pair before = pair_of(runs[last - 3], runs[last - 2]);
        verdict.after_sign_change = before == Pair::sign_change;
        if (before == Pair::order) {
            verdict.previous_order = order_of(runs[last - 3], runs[last - 2]);
            verdict.moving = std::fabs(verdict.order - verdict.previous_order) > settled_within;
        }
    }
    const bool doubt = verdict.single_pair || verdict.after_sign_change || verdict.moving;
    verdict.outcome = doubt ? Outcome::unsettled : Outcome::settled;
    return verdict;
}

} // namespace osc
