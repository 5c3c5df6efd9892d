// How many bytes a data file's rows take, and how many its disk has for them. Each row holds
// the columns that grow steadily up to the bounds `growing` (time, and drivenosc's step
// index), then a position and a velocity, each followed by a space or the newline.
#pragma once

#include <initializer_list>

namespace osc {

// A row at its longest: each growing column in the decade of its bound with a sign, position
// and velocity as long as six significant digits get (-1.23457e-05).
double row_bytes_upper(std::initializer_list<double> growing);

// A row as most rows of a long run are: each growing column with six significant digits in
// the decade of its bound (a run of more rows than a million needs all six), and no sign;
// position and velocity as six digits with a point and a sign or a leading zero (-1.23457,
// 0.841471).
double row_bytes_typical(std::initializer_list<double> growing);

// Bytes `file` may grow to: the free space of its file system, plus what the file holds now,
// which the run gives back when it empties it. Infinity when that cannot be known, or where
// the file is a device, which keeps nothing.
double space_for(const char *file);

} // namespace osc
