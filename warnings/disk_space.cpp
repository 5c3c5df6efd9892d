#include "warnings/disk_space.hpp"

#include "dataformat/layout.hpp"
#include "disk/space.hpp"

namespace osc {

DiskFinding disk_finding(const char *file, double rows, std::initializer_list<double> growing)
{
    const double room = space_for(file);
    const double typical = rows * row_bytes_typical(growing);
    if (typical > room) return {DiskFinding::Kind::cannot_fit, typical, rows, room};
    const double upper = rows * row_bytes_upper(growing);
    if (upper > room) return {DiskFinding::Kind::may_not_fit, upper, rows, room};
    return {DiskFinding::Kind::fits, upper, rows, room};
}

} // namespace osc
