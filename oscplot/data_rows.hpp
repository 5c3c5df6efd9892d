// A data file of harmosc, drivenosc or rkstepper as oscplot reads it: rows of three numbers
// "t x v" or four "n t x v", every row alike; rows holding nan or inf are left out.
#pragma once

#include "oscplot/thinning.hpp"

#include <string>
#include <vector>

namespace osc {

// A data file open for reading. It is read in pieces, never held whole: a long file in two
// halves side by side, cut at a line's end.
class DataSource {
public:
    DataSource() = default;
    DataSource(const DataSource &) = delete;
    DataSource &operator=(const DataSource &) = delete;
    ~DataSource();

    // Why `file` cannot be read as a data file (it is empty, say), or "" once it is open. A
    // FIFO is refused before it is opened, which would wait for a writer.
    std::string open(const std::string &file);

    // The file's finite rows into `rows`; returns why it cannot be drawn, or "" when it can
    // (two finite rows at least).
    std::string finite_rows(std::vector<Row> &rows) const;

private:
    int fd_ = -1;
};

} // namespace osc
