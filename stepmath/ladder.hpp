// The steps a warning offers in place of one too large: 5, 2 and 1 times a power of ten.
#pragma once

#include <cmath>
#include <initializer_list>
#include <optional>

namespace osc {

// Offers `rung` the steps 5, 2 and 1 times each power of ten, from the largest power not
// above `size` down to a millionth of `size`, largest first, until it answers with a value;
// returns that answer, or `none` when no step gets one.
template <typename Rung>
double ladder_step(double size, Rung rung, double none)
{
    for (double decade = std::pow(10.0, std::floor(std::log10(size))); decade >= 1e-6 * size;
         decade /= 10.0)
        for (const double digit : {5.0, 2.0, 1.0})
            if (const std::optional<double> answer = rung(digit * decade)) return *answer;
    return none;
}

} // namespace osc
