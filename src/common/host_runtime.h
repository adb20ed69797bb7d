#pragma once
// The host backend's stand-in for the part of the CUDA runtime this system
// uses. Device memory is host memory; kernels run as plain functions, one call
// per thread, with the index variables set per block and thread. Only
// platform.h includes this file.
#include <cstddef>
#include <cstdint>

// The declarations are the toolkit's own (types, status numbers, function
// signatures); the definitions of the calls the system makes are ours, in
// host_runtime.cpp, so nothing of libcudart is linked.
#include <cuda_runtime_api.h>

#ifndef __forceinline__
#define __forceinline__ inline
#endif

template <class T>
inline cudaError_t cudaMalloc(T** ptr, std::size_t bytes) {
  return cudaMalloc(reinterpret_cast<void**>(ptr), bytes);
}
template <class T>
inline cudaError_t cudaMallocHost(T** ptr, std::size_t bytes) {
  return cudaMallocHost(reinterpret_cast<void**>(ptr), bytes);
}

// Index variables of the thread being run; each worker thread has its own.
// __thread rather than thread_local: such a variable cannot need dynamic
// initialisation, so a kernel's reads are plain thread-local accesses without
// the wrapper call an extern thread_local costs on every use.
extern __thread uint3 threadIdx;
extern __thread uint3 blockIdx;
extern __thread dim3 blockDim;
extern __thread dim3 gridDim;

// Device atomics on the host: the compiler's atomic built-ins, so that kernels
// stay single-source and correct when blocks run on several workers. Each
// returns the old value, as the device functions do.
template <class T>
inline T atomicAdd(T* address, T value) {
  return __atomic_fetch_add(address, value, __ATOMIC_ACQ_REL);
}
template <class T>
inline T atomicSub(T* address, T value) {
  return __atomic_fetch_sub(address, value, __ATOMIC_ACQ_REL);
}
template <class T>
inline T atomicExch(T* address, T value) {
  return __atomic_exchange_n(address, value, __ATOMIC_ACQ_REL);
}
template <class T>
inline T atomicCAS(T* address, T expected, T desired) {
  __atomic_compare_exchange_n(address, &expected, desired, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
  return expected;
}
template <class T>
inline T atomicOr(T* address, T value) {
  return __atomic_fetch_or(address, value, __ATOMIC_ACQ_REL);
}
template <class T>
inline T atomicAnd(T* address, T value) {
  return __atomic_fetch_and(address, value, __ATOMIC_ACQ_REL);
}
template <class T>
inline T atomicMax(T* address, T value) {
  T old = __atomic_load_n(address, __ATOMIC_ACQUIRE);
  while (old < value && !__atomic_compare_exchange_n(address, &old, value, true, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
  }
  return old;
}
template <class T>
inline T atomicMin(T* address, T value) {
  T old = __atomic_load_n(address, __ATOMIC_ACQUIRE);
  while (value < old && !__atomic_compare_exchange_n(address, &old, value, true, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
  }
  return old;
}

#include "common/runtime_counters.h"

// Controls and counters of the host device, for tests and for the launcher.
namespace hostrt {

// The dynamic shared memory of the block being run by this worker thread.
void* dynamic_shared_memory();

// Runs body(block) for every block of a launch after checking its shape the
// way the runtime does; a refused launch sets the last error and runs nothing.
typedef void (*BlockBody)(unsigned int block, const void* context);
void run_blocks(unsigned int grid, unsigned int block, std::size_t shared_bytes, BlockBody body,
                const void* context);

// Worker threads for kernel blocks (0: all cores). Launches of fewer threads
// than parallel_launch_threads run on the launching thread alone.
void set_worker_threads(int n);
constexpr unsigned int parallel_launch_threads = 8192;
// From now on the calling thread runs the blocks of its launches itself,
// whatever the worker count: a background lane leaves the workers to others.
void run_launches_on_this_thread();

// The order in which the threads of a block (and the blocks a worker takes
// together) run. Kernels must be right in any order, as on a GPU; the other
// orders show where one is not. The environment variable
// PG_HOST_THREAD_ORDER=forward|reverse|shuffle chooses it for a whole
// process; reset() returns to that choice. Shuffled orders are fixed by the
// launch's number and the block's index.
enum class ThreadOrder { forward, reverse, shuffle };
void set_thread_order(ThreadOrder order);
ThreadOrder thread_order();
// The thread indices of the block being run, in the order to run them, or
// null for index order.
const unsigned int* thread_permutation(unsigned int threads);

// Failure injection: the cudaMalloc call with this 1-based number (counted
// from the last reset) fails with cudaErrorMemoryAllocation; 0 disables it. A
// byte budget fails every allocation that would take the bytes in use above it.
void fail_allocation(std::size_t k);
void set_byte_budget(std::size_t bytes);
// The k-th copy (cudaMemcpy or cudaMemcpyAsync), the k-th cudaMemset(Async)
// and the k-th launch, counted from the last reset, fail with
// cudaErrorLaunchFailure, as calls after a fault on a device do; a failed
// launch runs nothing and sets the last error. 0 disables each.
void fail_copy(std::size_t k);
void fail_memset(std::size_t k);
void fail_launch(std::size_t k);
// With 0 devices every call that needs one (allocations, copies, launches,
// cudaSetDevice) fails with cudaErrorNoDevice, as the runtime's do.
void set_device_count(int n);
// What cudaGetDeviceProperties reports for device 0 (multiProcessorCount,
// sharedMemPerBlock, ...); the limits of launches follow it.
void set_device_properties(const cudaDeviceProp& prop);
cudaDeviceProp default_device_properties();
// Restores all of the above to their defaults (the thread order to the
// environment's) and restarts the counters.
void reset();

std::size_t allocation_count();     // successful and failed cudaMalloc calls since reset
std::size_t live_allocations();     // device buffers not yet freed
std::size_t bytes_in_use();

}  // namespace hostrt
