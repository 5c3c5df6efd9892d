#include "warnings/wording.hpp"

#include <cstdio>

namespace osc {

std::string figure(double value, int digits)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

} // namespace osc
