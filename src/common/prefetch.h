#pragma once
// A hint that a later thread of the same launch will read an address. The
// host backend runs a block's threads one after another, so a thread that
// knows the next threads' addresses can start their cache misses early; on a
// GPU those threads run side by side and the hint does nothing.
#include "common/platform.h"

// A kernel can skip the reads that only find the addresses to hint where
// pg_later_threads_run_after (common/platform.h) is false.
#if defined(PG_CUDA_BACKEND)
__device__ inline void prefetch_for_later_thread(const void*) {}
#else
inline void prefetch_for_later_thread(const void* address) { __builtin_prefetch(address); }
#endif
