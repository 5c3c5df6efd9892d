#include "warnings/disk_space.hpp"

#include "dataformat/layout.hpp"

namespace osc {

DiskFinding disk_finding(double room, double rows, std::initializer_list<double> growing)
{
    const double typical = rows * row_bytes_typical(growing);
    if (typical > room) return {DiskFinding::Kind::cannot_fit, typical, rows, room};
    const double upper = rows * row_bytes_upper(growing);
    if (upper > room) return {DiskFinding::Kind::may_not_fit, upper, rows, room};
    if (typical > large_file) return {DiskFinding::Kind::large, typical, rows, room};
    return {DiskFinding::Kind::fits, upper, rows, room};
}

} // namespace osc
