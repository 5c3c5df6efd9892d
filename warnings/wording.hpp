// How the warnings write their numbers in a sentence.
#pragma once

#include <string>

namespace osc {

// A number as a sentence gives it: three significant digits, or `digits` where more are needed.
std::string figure(double value, int digits = 3);

// A count such as N in full digits, or as the data files write it beyond 10^15.
std::string whole(double value);

// The step to offer and the N of it that reach the same end: "com h = ... e N = ..., até ao
// mesmo instante final, o desvio ficaria abaixo de 1%".
std::string offer(double h, double steps);

} // namespace osc
