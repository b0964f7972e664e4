#include "image/AbortFlag.h"

std::atomic<int32_t> g_bAbortImageWork {0};
