// How many bytes a row of a data file takes, and the longest line a data file may have. Which
// files each program writes and what their columns hold: programs/.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "dataformat/row_text.hpp"

namespace osc {

// A row at its longest: each growing column (time, and drivenosc's step index, which grow
// steadily up to the bounds `growing`) in the decade of its bound with a sign, position and
// velocity as long as six significant digits get (-1.23457e-05). Each column is followed by a
// space or the newline.
double row_bytes_upper(std::initializer_list<double> growing);

// A row as most rows of a long run are: each growing column with six significant digits in
// the decade of its bound (a run of more rows than a million needs all six), and no sign;
// position and velocity as six digits with a point and a sign or a leading zero (-1.23457,
// 0.841471).
double row_bytes_typical(std::initializer_list<double> growing);

// The longest line a data file may have. Ours are at most row_room(4) bytes; a hand-written
// row of four numbers to all 17 digits (24 characters each: -1.2345678901234567e-308) with
// its columns aligned by wide runs of blanks stays well under 64 times that. A longer line
// (a disk image, a binary file with no line end) is no row, and is judged so as soon as it is
// that long, without reading the rest of it.
inline constexpr std::size_t longest_line = 64 * row_room(4);

} // namespace osc
