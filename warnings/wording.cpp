#include "warnings/wording.hpp"

#include <cstdio>

namespace osc {

std::string figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

} // namespace osc
