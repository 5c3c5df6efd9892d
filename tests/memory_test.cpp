// The memory a process may still take, from the texts the system gives: one row per source and
// per way a control group is mounted, the figures worked out by hand.

#include "memory/memory.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const double none = HUGE_VAL;
const std::string statm = "1000 200 150 5 0 300 0\n"; // pages: whole program, ..., data

// A file system of a few files; a path may hold doubled slashes, as the kernel allows.
double left(const std::map<std::string, std::string> &files, double address_space = none,
            double data = none)
{
    const auto read = [&](std::string path) {
        for (std::size_t at; (at = path.find("//")) != std::string::npos;) path.erase(at, 1);
        const auto found = files.find(path);
        return found == files.end() ? std::string() : found->second;
    };
    return osc::memory_left(read, address_space, data, 4096);
}

TEST(Memory, TheLeastOfWhatEachSourceLeaves)
{
    const std::string v1 = "/sys/fs/cgroup/memory/";
    const std::string v2 = "/sys/fs/cgroup/";
    struct Case {
        const char *kind;
        std::map<std::string, std::string> files;
        double address_space, data, left;
    };
    const Case cases[] = {
        {"nothing to read", {}, none, none, none},
        {"MemAvailable, not MemFree",
         {{"/proc/meminfo", "MemTotal: 8000 kB\nMemFree: 3000 kB\nMemAvailable: 2000 kB\n"}},
         none,
         none,
         2000 * 1024.0},
        // ulimit -v: the whole program's pages count against it.
        {"address space", {{"/proc/self/statm", statm}}, 100e6, none, 100e6 - 1000 * 4096},
        {"data", {{"/proc/self/statm", statm}}, none, 10e6, 10e6 - 300 * 4096},
        {"both limits, no statm", {}, 100e6, 10e6, none},
        {"v2, its own group",
         {{"/proc/self/cgroup", "0::/user/app\n"},
          {v2 + "user/app/memory.max", "900000\n"},
          {v2 + "user/app/memory.current", "400000\n"},
          {v2 + "user/memory.max", "max\n"}},
         none,
         none,
         500000},
        {"v2, a parent's limit",
         {{"/proc/self/cgroup", "0::/user/app\n"},
          {v2 + "user/app/memory.max", "max\n"},
          {v2 + "user/memory.max", "800000\n"},
          {v2 + "user/memory.current", "500000\n"},
          {v2 + "memory.max", "700000\n"},
          {v2 + "memory.current", "100000\n"}},
         none,
         none,
         300000},
        // A container shows its own group as the root, and its path in /proc is not there.
        {"v2, in a container",
         {{"/proc/self/cgroup", "0::/docker/abc\n"},
          {v2 + "memory.max", "600000\n"},
          {v2 + "memory.current", "250000\n"}},
         none,
         none,
         350000},
        {"v2 beside v1",
         {{"/proc/self/cgroup", "4:memory:/\n0::/app\n"},
          {v2 + "unified/app/memory.max", "5000\n"},
          {v2 + "unified/app/memory.current", "1000\n"}},
         none,
         none,
         4000},
        {"v1, a container and its parent",
         {{"/proc/self/cgroup", "9:pids:/\n4:cpu,memory:/process_api/dd10\n"},
          {v1 + "memory.limit_in_bytes", "3000000\n"},
          {v1 + "memory.usage_in_bytes", "1000000\n"},
          {v1 + "process_api/memory.limit_in_bytes", "9223372036854771712\n"},
          {v1 + "process_api/memory.usage_in_bytes", "900000\n"}},
         none,
         none,
         2000000},
        {"v1, no limit",
         {{"/proc/self/cgroup", "4:memory:/\n"},
          {v1 + "memory.limit_in_bytes", "9223372036854771712\n"},
          {v1 + "memory.usage_in_bytes", "5000\n"}},
         none,
         none,
         none},
        {"v1, no memory controller",
         {{"/proc/self/cgroup", "3:cpuset:/\n5:memory_x:/\n"},
          {v1 + "memory.limit_in_bytes", "3000000\n"},
          {v1 + "memory.usage_in_bytes", "0\n"}},
         none,
         none,
         none},
        {"the least of all",
         {{"/proc/meminfo", "MemAvailable: 1000000 kB\n"},
          {"/proc/self/statm", statm},
          {"/proc/self/cgroup", "0::/\n"},
          {v2 + "memory.max", "300000000\n"},
          {v2 + "memory.current", "0\n"}},
         500e6,
         none,
         300e6},
    };
    for (const Case &c : cases) EXPECT_EQ(left(c.files, c.address_space, c.data), c.left) << c.kind;
}

#ifndef OSC_SANITIZED
// The soft limit on this process's address space is the one that counts, less what it maps.
// (The sanitizers map more than any such limit allows.)
TEST(Memory, TheProcessOwnSoftLimit)
{
    rlimit before{};
    double pages = 0.0;
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &before), 0);
    ASSERT_TRUE(std::ifstream("/proc/self/statm") >> pages);
    rlimit lower = before;
    lower.rlim_cur =
        static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64 << 20);
    if (lower.rlim_cur > before.rlim_max) GTEST_SKIP() << "the hard limit is lower still";
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &lower), 0);
    const double available = osc::memory_available();
    ::setrlimit(RLIMIT_AS, &before);
    EXPECT_LE(available, 64 << 20);
    EXPECT_GT(available, 48 << 20);
}
#endif

} // namespace
