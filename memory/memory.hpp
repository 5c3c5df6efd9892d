// How much more memory a process can take before it is refused or killed.
#pragma once

namespace osc {

// Bytes this process can still allocate: the least of what the system has free
// (MemAvailable), what the process's own limits leave (RLIMIT_AS over its address space,
// RLIMIT_DATA over its data) and what a memory-limited control group leaves (cgroup v2
// memory.max, or v1 memory.limit_in_bytes, less what the group uses; the group's ancestors
// limit it too). Infinity when none of them can be read.
double memory_available();

} // namespace osc
