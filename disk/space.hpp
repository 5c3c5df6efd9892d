// How many bytes a data file's disk has for its rows (what the rows take is the data format's:
// dataformat/layout.hpp).
#pragma once

namespace osc {

// Bytes `file` may grow to: the free space of its file system, plus what the file holds now,
// which the run gives back when it empties it. Infinity when that cannot be known, or where
// the file is a device, which keeps nothing.
double space_for(const char *file);

} // namespace osc
