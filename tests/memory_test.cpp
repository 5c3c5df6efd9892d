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
#include <vector>

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

TEST(Memory, WhatTheSystemAndTheLimitsLeave)
{
    const std::string meminfo = "MemTotal: 8000 kB\nMemFree: 3000 kB\nMemAvailable: 2000 kB\n";
    EXPECT_EQ(left({}), none);
    EXPECT_EQ(left({{"/proc/meminfo", meminfo}}), 2000 * 1024.0);
    // ulimit -v: the whole program's pages count against it; the data limit, its data pages.
    EXPECT_EQ(left({{"/proc/self/statm", statm}}, 100e6), 100e6 - 1000 * 4096);
    EXPECT_EQ(left({{"/proc/self/statm", statm}}, none, 10e6), 10e6 - 300 * 4096);
    EXPECT_EQ(left({}, 100e6, 10e6), none);
    EXPECT_EQ(left({{"/proc/meminfo", meminfo}, {"/proc/self/statm", statm}}, 5e6),
              5e6 - 1000 * 4096);
}

// Each group on the path and its ancestors: limit less usage, the least of them. A container
// shows its own group as the root, where its path in /proc/self/cgroup is not found.
TEST(Memory, WhatTheControlGroupsLeave)
{
    struct Group {
        std::string dir, limit, usage; // dir under /sys/fs/cgroup; memory/... for cgroup v1
    };
    struct Case {
        const char *kind, *cgroup;
        std::vector<Group> groups;
        double left;
    };
    const std::string unlimited = "9223372036854771712"; // what v1 writes for no limit
    const Case cases[] = {
        {"v2, its own",
         "0::/user/app",
         {{"user/app", "900000", "400000"}, {"user", "max", "1"}},
         500000},
        {"v2, a parent",
         "0::/user/app",
         {{"user/app", "max", "1"}, {"user", "800000", "500000"}, {"", "700000", "500000"}},
         200000},
        {"v2, a container", "0::/docker/abc", {{"", "600000", "250000"}}, 350000},
        {"v2 beside v1", "4:memory:/\n0::/app", {{"unified/app", "5000", "1000"}}, 4000},
        {"v1, a container",
         "9:pids:/\n4:cpu,memory:/process_api/dd10",
         {{"memory", "3000000", "1000000"}, {"memory/process_api", unlimited, "900000"}},
         2000000},
        {"v1, no limit", "4:memory:/", {{"memory", unlimited, "5000"}}, none},
        {"v1, no memory controller",
         "3:cpuset:/\n5:memory_x:/",
         {{"memory", "3000000", "0"}},
         none},
    };
    for (const Case &c : cases) {
        std::map<std::string, std::string> files = {
            {"/proc/self/cgroup", c.cgroup + std::string("\n")}};
        for (const Group &g : c.groups) {
            const bool v1 = g.dir.rfind("memory", 0) == 0;
            const std::string dir = "/sys/fs/cgroup/" + g.dir + (g.dir.empty() ? "" : "/");
            files[dir + (v1 ? "memory.limit_in_bytes" : "memory.max")] = g.limit + "\n";
            files[dir + (v1 ? "memory.usage_in_bytes" : "memory.current")] = g.usage + "\n";
        }
        EXPECT_EQ(left(files), c.left) << c.kind;
        files["/proc/meminfo"] = "MemAvailable: 1 kB\n"; // and the least of all sources
        EXPECT_EQ(left(files), 1024.0) << c.kind;
    }
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
