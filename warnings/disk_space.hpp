// Whether a run's rows fit in the room its data file's disk has.
#pragma once

#include "warnings/findings.hpp"

#include <initializer_list>

namespace osc {

// Whether `rows` rows with the growing columns `growing` fit in the `room` bytes that their
// file's disk has (disk/space.hpp): not at their typical length (a run to refuse), or at that
// length and not at their longest (a run to warn of, going on).
DiskFinding disk_finding(double room, double rows, std::initializer_list<double> growing);

} // namespace osc
