#pragma once
// A hint that a later thread of the same launch will read an address. The
// host backend runs a block's threads one after another, so a thread that
// knows the next threads' addresses can start their cache misses early; on a
// GPU those threads run side by side and the hint does nothing.
#include "common/platform.h"

#if defined(PG_CUDA_BACKEND)
// Lets a kernel skip the reads that only find the addresses to hint.
constexpr bool pg_later_threads_run_after = false;
__device__ inline void prefetch_for_later_thread(const void*) {}
#else
constexpr bool pg_later_threads_run_after = true;
inline void prefetch_for_later_thread(const void* address) { __builtin_prefetch(address); }
#endif
