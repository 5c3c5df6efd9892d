// Whether a run's rows fit in the room its data file's disk has.
#pragma once

#include "warnings/findings.hpp"

#include <initializer_list>

namespace osc {

// A run whose rows take more bytes than this (1 GB) at their typical length is told their size
// before it starts, so that a final time or an N mistyped does not fill a disk in silence.
inline constexpr double large_file = 1e9;

// Whether `rows` rows with the growing columns `growing` fit in the `room` bytes that their
// file's disk has (disk/space.hpp): not at their typical length (a run to refuse), or at that
// length and not at their longest (a run to warn of, going on); and, where they fit, whether
// they pass large_file.
DiskFinding disk_finding(double room, double rows, std::initializer_list<double> growing);

} // namespace osc
