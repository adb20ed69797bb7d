#pragma once
// A fence that orders a thread's memory accesses for all other threads of the
// device (and, in the host backend, for the workers running other blocks).
// Its users, the row locks and version checks of the in-place lifts, need
// acquire and release order only: nothing waits for a store of its own to
// become visible before a later load. So the host backend takes an
// acquire-release fence, which costs no instruction on x86 where a full
// fence (mfence) cost more than the rest of a lift.
#include "common/platform.h"

#if defined(PG_CUDA_BACKEND)
__device__ inline void device_memory_fence() { __threadfence(); }
#else
inline void device_memory_fence() { __atomic_thread_fence(__ATOMIC_ACQ_REL); }
#endif
