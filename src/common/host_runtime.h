#pragma once
// The host backend's stand-in for the part of the CUDA runtime this system
// uses. Device memory is host memory; kernels run as plain functions, one call
// per thread, with the index variables set per block and thread. Only
// platform.h includes this file.
#include <cstddef>
#include <cstdint>

#ifndef __host__
#define __host__
#endif
#ifndef __device__
#define __device__
#endif
#ifndef __global__
#define __global__
#endif
#ifndef __forceinline__
#define __forceinline__ inline
#endif

// The statuses returned here carry the real runtime's numbers and texts.
enum cudaError {
  cudaSuccess = 0,
  cudaErrorInvalidValue = 1,
  cudaErrorMemoryAllocation = 2,
  cudaErrorInvalidConfiguration = 9,
  cudaErrorNoDevice = 100,
  cudaErrorInvalidDevice = 101,
  cudaErrorLaunchOutOfResources = 701,
  cudaErrorLaunchFailure = 719,
};
typedef enum cudaError cudaError_t;

enum cudaMemcpyKind {
  cudaMemcpyHostToHost = 0,
  cudaMemcpyHostToDevice = 1,
  cudaMemcpyDeviceToHost = 2,
  cudaMemcpyDeviceToDevice = 3,
  cudaMemcpyDefault = 4,
};

struct dim3 {
  unsigned int x, y, z;
  constexpr dim3(unsigned int vx = 1, unsigned int vy = 1, unsigned int vz = 1) : x(vx), y(vy), z(vz) {}
};

// Only the fields this system reads, with the values of a common GPU.
struct cudaDeviceProp {
  char name[256];
  std::size_t sharedMemPerBlock;
  int maxThreadsPerMultiProcessor;
  int multiProcessorCount;
  int maxThreadsPerBlock;
};

cudaError_t cudaSetDevice(int device);
cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device);
cudaError_t cudaMalloc(void** ptr, std::size_t bytes);
cudaError_t cudaFree(void* ptr);
cudaError_t cudaMemcpy(void* dst, const void* src, std::size_t bytes, cudaMemcpyKind kind);
cudaError_t cudaDeviceSynchronize();
cudaError_t cudaGetLastError();
cudaError_t cudaPeekAtLastError();
const char* cudaGetErrorString(cudaError_t error);

template <class T>
inline cudaError_t cudaMalloc(T** ptr, std::size_t bytes) {
  return cudaMalloc(reinterpret_cast<void**>(ptr), bytes);
}

// Index variables of the thread being run; each worker thread has its own.
extern thread_local dim3 threadIdx;
extern thread_local dim3 blockIdx;
extern thread_local dim3 blockDim;
extern thread_local dim3 gridDim;

// Controls and counters of the host device, for tests and for the launcher.
namespace hostrt {

// The dynamic shared memory of the block being run by this worker thread.
void* dynamic_shared_memory();

// Runs body(block) for every block of a launch after checking its shape the
// way the runtime does; a refused launch sets the last error and runs nothing.
typedef void (*BlockBody)(unsigned int block, const void* context);
void run_blocks(unsigned int grid, unsigned int block, std::size_t shared_bytes, BlockBody body,
                const void* context);

// Worker threads for kernel blocks (0: all cores).
void set_worker_threads(int n);

// Failure injection: the cudaMalloc call with this 1-based number (counted
// from the last reset) fails with cudaErrorMemoryAllocation; 0 disables it. A
// byte budget fails every allocation that would take the bytes in use above it.
void fail_allocation(std::size_t k);
void set_byte_budget(std::size_t bytes);
void set_device_count(int n);
void set_device_properties(const cudaDeviceProp& prop);
cudaDeviceProp default_device_properties();
// Restores all of the above to their defaults and restarts the counters.
void reset();

std::size_t allocation_count();     // successful and failed cudaMalloc calls since reset
std::size_t live_allocations();     // device buffers not yet freed
std::size_t bytes_in_use();

}  // namespace hostrt
