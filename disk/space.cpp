#include "disk/space.hpp"

#include <limits>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace osc {

double space_for(const char *file)
{
    constexpr double unknown = std::numeric_limits<double>::infinity();
    struct stat status {};
    const bool exists = ::stat(file, &status) == 0;
    if (exists && !S_ISREG(status.st_mode)) return unknown;
    struct statvfs disk {};
    if (::statvfs(exists ? file : ".", &disk) != 0) return unknown;
    return static_cast<double>(disk.f_bavail) * static_cast<double>(disk.f_frsize) +
           (exists ? static_cast<double>(status.st_size) : 0.0);
}

} // namespace osc
