#pragma once
// The one place where the backend shows: the real CUDA runtime for the cuda
// backend, our host layer otherwise. Everything above includes this file and
// is written once for both.
#if defined(PG_CUDA_BACKEND)
#include <cuda_runtime.h>
// Reading a flag back from the device waits for the launches before it and
// crosses the bus: loops batch their passes between reads.
constexpr bool pg_reads_are_round_trips = true;
// The threads of a launch run side by side.
constexpr bool pg_later_threads_run_after = false;
// Dynamic shared memory of a kernel, declared inside the kernel body.
#define PG_DYNAMIC_SHARED(type, name) extern __shared__ type name[]
#else
#include "common/host_runtime.h"
// A launch has finished when it returns and device memory is host memory:
// a read costs nothing, and a pass past a loop's fixpoint is pure waste.
constexpr bool pg_reads_are_round_trips = false;
// A block's threads run one after another on a worker, in index order
// unless a test asks for another: a thread's work can reach into the
// threads that follow it (hints, batches).
constexpr bool pg_later_threads_run_after = true;
#define PG_DYNAMIC_SHARED(type, name) type* name = static_cast<type*>(::hostrt::dynamic_shared_memory())
#endif
