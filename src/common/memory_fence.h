#pragma once
// A fence that orders a thread's memory accesses for all other threads of the
// device (and, in the host backend, for the workers running other blocks).
#include "common/platform.h"

#if defined(PG_CUDA_BACKEND)
__device__ inline void device_memory_fence() { __threadfence(); }
#else
inline void device_memory_fence() { __atomic_thread_fence(__ATOMIC_SEQ_CST); }
#endif
