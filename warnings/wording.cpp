#include "warnings/wording.hpp"

#include "text/messages.hpp"

#include <cstdio>

namespace osc {

std::string figure(double value, int digits)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

std::string whole(double value)
{
    if (!(value < 1e15)) return text(value);
    char digits[24];
    std::snprintf(digits, sizeof digits, "%.0f", value);
    return digits;
}

} // namespace osc
