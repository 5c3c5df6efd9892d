// Where six significant digits, as the data files write them, stop telling numbers apart.
#pragma once

namespace osc {

// Whether two numbers are written alike in six significant digits.
bool written_alike(double a, double b);

// The first value of the grid 0, h, 2h, ... up to `end` that is written alike with the next
// one, or NaN when none is.
double first_written_alike(double h, double end);

} // namespace osc
