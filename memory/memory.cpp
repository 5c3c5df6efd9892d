#include "memory/memory.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/uio.h>
#include <unistd.h>

namespace osc {

namespace {

constexpr double unknown = std::numeric_limits<double>::infinity();

// Enough for the exception, the unwinding and a refusal's sentence, when nothing else is left.
constexpr std::size_t reserve_bytes = 16384;
void *reserve = nullptr;
bool ran_out = false;

void give_back_the_reserve()
{
    ran_out = true;
    std::free(reserve); // NOLINT(cppcoreguidelines-no-malloc): the reserve is malloc's
    reserve = nullptr;
    throw std::bad_alloc();
}

// The first number in a file, or `unknown` when there is none (cgroup v2 writes "max" for
// no limit).
double number_in(const std::string &file)
{
    std::ifstream in(file);
    double value = 0.0;
    if (in >> value) return value;
    return unknown;
}

// MemAvailable: what the kernel can hand out without swapping.
double system_available()
{
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        std::istringstream fields(line);
        std::string key;
        double kib = 0.0;
        if (fields >> key >> kib && key == "MemAvailable:") return kib * 1024.0;
    }
    return unknown;
}

// A resource limit less what the process already has of it (a field of /proc/self/statm, in
// pages).
double limit_left(int resource, int statm_field)
{
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return unknown;
    std::ifstream statm("/proc/self/statm");
    double pages = 0.0;
    for (int i = 0; i <= statm_field; ++i)
        if (!(statm >> pages)) return unknown;
    return static_cast<double>(limit.rlim_cur) - pages * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// Limit less usage in the control group at `path` under the hierarchy mounted at `root`, and
// in each of its ancestors; the group's own path may not exist inside a container, where the
// mount shows the container's group as the root.
double group_left(const std::string &root, std::string path, const char *limit_file,
                  const char *usage_file)
{
    double left = unknown;
    for (;;) {
        const std::string dir = root + path;
        const double limit = number_in(dir + "/" + limit_file);
        // cgroup v1 writes a number near 2^63 for no limit.
        if (limit < 1e18) left = std::min(left, limit - number_in(dir + "/" + usage_file));
        const std::size_t parent = path.rfind('/');
        if (path == "/" || parent == std::string::npos) return left;
        path.erase(parent);
    }
}

double control_group_left()
{
    double left = unknown;
    std::ifstream groups("/proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        // hierarchy-id:controllers:path
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (controllers.empty()) { // v2, mounted alone or beside v1 as "unified"
            for (const char *root : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"})
                left = std::min(left, group_left(root, path, "memory.max", "memory.current"));
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            left = std::min(left, group_left("/sys/fs/cgroup/memory", path,
                                             "memory.limit_in_bytes", "memory.usage_in_bytes"));
        }
    }
    return left;
}

} // namespace

double memory_available()
{
    const double left = std::min({system_available(), limit_left(RLIMIT_AS, 0),
                                  limit_left(RLIMIT_DATA, 5), control_group_left()});
    if (memory_ran_out()) throw std::bad_alloc(); // the figures read are not the system's
    return left;
}

bool keep_memory_for_failure()
{
    if (reserve == nullptr) reserve = std::malloc(reserve_bytes); // NOLINT(cppcoreguidelines-no-malloc)
    ran_out = reserve == nullptr;
    std::set_new_handler(give_back_the_reserve);
    return !ran_out;
}

bool memory_ran_out() { return ran_out; }

int out_of_memory(const char *program)
{
    static const char why[] = ": memória insuficiente para continuar a execução\n";
    const iovec line[] = {{const_cast<char *>(program), std::strlen(program)},
                          {const_cast<char *>(why), sizeof why - 1}};
    [[maybe_unused]] const ssize_t ignored = ::writev(STDERR_FILENO, line, 2);
    return 1;
}

} // namespace osc
