// Whether a run's rows fit on the disk of its data file.
#pragma once

#include "warnings/findings.hpp"

#include <initializer_list>

namespace osc {

// Whether `rows` rows with the growing columns `growing` (disk/space.hpp) fit on the disk of
// `file`: not at their typical length (a run to refuse), or at that length and not at their
// longest (a run to warn of, going on).
DiskFinding disk_finding(const char *file, double rows, std::initializer_list<double> growing);

} // namespace osc
