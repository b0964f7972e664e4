// Process-wide request to stop running scaling work (portable). Raised by a show window that
// is destroyed while its preparation thread runs; polled by the scaling loops.
#pragma once
#include <atomic>
#include <cstdint>

extern std::atomic<int32_t> g_bAbortImageWork;
