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

std::string offer(double h, double steps)
{
    return "com h = " + text(h) + " e N = " + whole(steps) +
           ", até ao mesmo instante final, o desvio ficaria abaixo de 1%";
}

} // namespace osc
