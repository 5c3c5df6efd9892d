// A data file of harmosc, drivenosc or rkstepper as oscplot reads it: rows of three numbers
// "t x v" or four "n t x v", every row alike; rows holding nan or inf are left out.
#pragma once

#include "oscplot/thinning.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace osc {

// The finite rows of `text`, the whole content of a data file, into `rows`; returns why the
// file cannot be drawn, or "" when it can (two finite rows at least).
std::string finite_rows(std::string_view text, std::vector<Row> &rows);

// Why `file` cannot be read as a data file, or "" with its whole content in `text`. A FIFO is
// refused before it is opened, which would wait for a writer.
std::string read_data_file(const std::string &file, std::string &text);

} // namespace osc
