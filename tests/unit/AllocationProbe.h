// Largest single allocation through operator new since the last reset to 0, and the blocks
// still allocated (test helper;
// linking AllocationProbe.cpp replaces the global allocation functions of the executable).
#pragma once
#include <atomic>
#include <cstddef>

extern std::atomic<size_t> g_largestAllocation;
// Blocks allocated through operator new and not yet deleted.
extern std::atomic<long> g_liveAllocations;
