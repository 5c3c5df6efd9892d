// How much more memory a process can take before it is refused or killed.
#pragma once

#include <functional>
#include <string>

namespace osc {

// Bytes this process can still allocate: the least of what the system has free
// (MemAvailable), what the process's own limits leave (RLIMIT_AS over its address space,
// RLIMIT_DATA over its data) and what a memory-limited control group leaves (cgroup v2
// memory.max, or v1 memory.limit_in_bytes, less what the group uses; the group's ancestors
// limit it too). Infinity when none of them can be read.
double memory_available();

// The text of a file by its path, "" when it cannot be read.
using ReadText = std::function<std::string(const std::string &)>;

// The same from what the system says: /proc/meminfo, /proc/self/statm, /proc/self/cgroup and
// the control groups' files under /sys/fs/cgroup as `read` gives them, and the soft limits on
// the address space and the data segment in bytes (infinity for none).
double memory_left(const ReadText &read, double address_space_limit, double data_limit,
                   double page_size);

// Makes every failure of operator new from here on end the run cleanly: a reserve taken now is
// given back the first time memory runs out, so that the std::bad_alloc thrown then can be
// made and unwind the run (each data file closed as it was) to main, which answers it with
// out_of_memory(). Code that answers a std::bad_alloc itself calls this again. False when not
// even the reserve can be had, and the run must stop at once.
bool keep_memory_for_failure();

// Whether memory ran out since keep_memory_for_failure(): a stream that met the failure says
// only that it failed, so what it read or wrote then must not be taken as the input's word.
bool memory_ran_out();

// Writes "program: memória insuficiente ..." in one line without allocating; returns 1.
int out_of_memory(const char *program);

} // namespace osc
