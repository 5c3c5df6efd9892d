// How the warnings write their numbers in a sentence.
#pragma once

#include <string>

namespace osc {

// A number as a sentence gives it: three significant digits.
std::string figure(double value);

} // namespace osc
