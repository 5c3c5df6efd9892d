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

// The first number of a text, or `unknown` when there is none (cgroup v2 writes "max" for no
// limit).
double number_in(const std::string &text)
{
    std::istringstream in(text);
    double value = 0.0;
    if (in >> value) return value;
    return unknown;
}

// MemAvailable: what the kernel can hand out without swapping.
double system_available(const std::string &meminfo)
{
    std::istringstream lines(meminfo);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string key;
        double kib = 0.0;
        if (fields >> key >> kib && key == "MemAvailable:") return kib * 1024.0;
    }
    return unknown;
}

// A resource limit less what the process already has of it (a field of /proc/self/statm, in
// pages).
double limit_left(double limit, const std::string &statm, int statm_field, double page_size)
{
    if (limit == unknown) return unknown;
    std::istringstream fields(statm);
    double pages = 0.0;
    for (int i = 0; i <= statm_field; ++i)
        if (!(fields >> pages)) return unknown;
    return limit - pages * page_size;
}

// Limit less usage in the control group at `path` under the hierarchy mounted at `root`, and
// in each of its ancestors; the group's own path may not exist inside a container, where the
// mount shows the container's group as the root.
double group_left(const ReadText &read, const std::string &root, std::string path,
                  const char *limit_file, const char *usage_file)
{
    double left = unknown;
    for (;;) {
        const std::string dir = root + path;
        const double limit = number_in(read(dir + "/" + limit_file));
        // cgroup v1 writes a number near 2^63 for no limit.
        if (limit < 1e18) left = std::min(left, limit - number_in(read(dir + "/" + usage_file)));
        const std::size_t parent = path.rfind('/');
        if (path == "/" || parent == std::string::npos) return left;
        path.erase(parent);
    }
}

double control_group_left(const ReadText &read)
{
    double left = unknown;
    std::istringstream groups(read("/proc/self/cgroup"));
    for (std::string line; std::getline(groups, line);) {
        // hierarchy-id:controllers:path
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (controllers.empty()) { // v2, mounted alone or beside v1 as "unified"
            for (const char *root : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"})
                left = std::min(left, group_left(read, root, path, "memory.max", "memory.current"));
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            left = std::min(left, group_left(read, "/sys/fs/cgroup/memory", path,
                                             "memory.limit_in_bytes", "memory.usage_in_bytes"));
        }
    }
    return left;
}

// The whole text of a file, or "" when it cannot be read.
std::string text_of(const std::string &file)
{
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The soft limit on a resource, `unknown` for none.
double soft_limit(int resource)
{
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return unknown;
    return static_cast<double>(limit.rlim_cur);
}

} // namespace

double memory_left(const ReadText &read, double address_space_limit, double data_limit,
                   double page_size)
{
    const std::string statm = read("/proc/self/statm");
    return std::min({system_available(read("/proc/meminfo")),
                     limit_left(address_space_limit, statm, 0, page_size),
                     limit_left(data_limit, statm, 5, page_size), control_group_left(read)});
}

double memory_available()
{
    const double left = memory_left(text_of, soft_limit(RLIMIT_AS), soft_limit(RLIMIT_DATA),
                                    static_cast<double>(::sysconf(_SC_PAGESIZE)));
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
