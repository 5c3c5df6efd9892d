// A long data file read in two halves side by side, on a machine with a processor to spare.
#pragma once

#include "dataformat/rows.hpp"

#include <string>
#include <vector>

namespace osc {

// The finite rows of the file open in `source` into `rows`, as DataSource::finite_rows gives
// them; a file of a megabyte or more is read in two halves at once, or in one go where no
// thread can be had.
std::string finite_rows_in_halves(const DataSource &source, std::vector<Row> &rows);

} // namespace osc
