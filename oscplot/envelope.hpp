// What of a run too long to draw as a line is drawn: where a pixel column would hold several
// oscillations the line fills a solid band, and only its edges, the envelope, can be read.
#pragma once

#include "dataformat/rows.hpp"

#include <cstddef>
#include <vector>

namespace osc {

// The oscillations of a run, of x or of v, whichever makes more: half its swings across the
// middle quarter of its range, from below it to above it or back. Noise narrower than that
// quarter makes none, and a decaying oscillation counts until its swings fit in it: `more` says
// that they stopped counting more than two swings' time before the run's end, which then holds
// more oscillations than `count`.
struct Oscillations {
    std::size_t count = 0;
    bool more = false;
};
Oscillations oscillations(const std::vector<Row> &rows);

// The envelope over `columns` equal spans of the run's time: a run of rows holding the lowest
// x and v of each span, then one holding the highest, each row at its span's middle; the first
// span's row stands at the run's first time and the last one's at its last time, so that the
// envelope spans the whole run. Spans without a row are passed over; rows all at one time are
// one span.
std::vector<std::vector<Row>> envelope(const std::vector<Row> &rows, std::size_t columns);

} // namespace osc
