#include "common/host_runtime.h"

#include <omp.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

thread_local uint3 threadIdx;
thread_local uint3 blockIdx;
thread_local dim3 blockDim;
thread_local dim3 gridDim;

namespace {

const int max_threads_per_block = 1024;

struct DeviceState {
  std::mutex mutex;
  std::map<const char*, std::size_t> allocations;  // start -> bytes
  std::size_t bytes_in_use = 0;
  std::size_t allocation_count = 0;
  std::size_t fail_allocation = 0;
  std::size_t byte_budget = 0;  // 0: unlimited
  int device_count = 1;
  int worker_threads = 0;
  cudaDeviceProp properties = hostrt::default_device_properties();
};

DeviceState& state() {
  static DeviceState s;
  return s;
}

thread_local cudaError_t last_error = cudaSuccess;
thread_local std::vector<std::max_align_t> shared_memory;

cudaError_t record(cudaError_t error) {
  if (error != cudaSuccess) last_error = error;
  return error;
}

// A copy that starts inside a known allocation must stay inside it. Pointers
// that no allocation of ours covers (Thrust's own storage, host memory) pass.
bool range_is_valid(DeviceState& s, const void* p, std::size_t bytes) {
  const char* c = static_cast<const char*>(p);
  auto it = s.allocations.upper_bound(c);
  if (it == s.allocations.begin()) return true;
  --it;
  const char* start = it->first;
  const std::size_t size = it->second;
  if (c >= start + size) return true;
  return static_cast<std::size_t>(c - start) + bytes <= size;
}

}  // namespace

namespace hostrt {

cudaDeviceProp default_device_properties() {
  cudaDeviceProp prop;
  std::memset(&prop, 0, sizeof prop);
  std::strncpy(prop.name, "host backend", sizeof prop.name - 1);
  prop.sharedMemPerBlock = 49152;
  prop.maxThreadsPerMultiProcessor = 1536;
  const unsigned cores = std::thread::hardware_concurrency();
  prop.multiProcessorCount = cores == 0 ? 1 : static_cast<int>(cores);
  prop.maxThreadsPerBlock = max_threads_per_block;
  return prop;
}

void* dynamic_shared_memory() { return shared_memory.data(); }

void run_blocks(unsigned int grid, unsigned int block, std::size_t shared_bytes, BlockBody body,
                const void* context) {
  DeviceState& s = state();
  if (block == 0 || block > static_cast<unsigned>(max_threads_per_block)) {
    record(cudaErrorInvalidConfiguration);
    return;
  }
  if (shared_bytes > s.properties.sharedMemPerBlock) {
    record(cudaErrorInvalidValue);
    return;
  }
  const std::size_t words = (shared_bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
  const int workers = s.worker_threads > 0 ? s.worker_threads : omp_get_max_threads();
  // Small launches are not worth waking the worker threads for.
  const bool parallel = workers > 1 && grid > 1 && static_cast<std::size_t>(grid) * block >= 8192;
#pragma omp parallel for schedule(dynamic, 4) num_threads(workers) if (parallel)
  for (long b = 0; b < static_cast<long>(grid); ++b) {
    if (shared_memory.size() < words) shared_memory.resize(words);
    blockIdx = uint3{static_cast<unsigned>(b), 0, 0};
    blockDim = dim3(block);
    gridDim = dim3(grid);
    body(static_cast<unsigned>(b), context);
  }
}

void set_worker_threads(int n) { state().worker_threads = n; }

void fail_allocation(std::size_t k) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().fail_allocation = k;
}

void set_byte_budget(std::size_t bytes) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().byte_budget = bytes;
}

void set_device_count(int n) { state().device_count = n; }

void set_device_properties(const cudaDeviceProp& prop) { state().properties = prop; }

void reset() {
  DeviceState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.allocation_count = 0;
  s.fail_allocation = 0;
  s.byte_budget = 0;
  s.device_count = 1;
  s.worker_threads = 0;
  s.properties = default_device_properties();
  last_error = cudaSuccess;
}

std::size_t allocation_count() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().allocation_count;
}

std::size_t live_allocations() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().allocations.size();
}

std::size_t bytes_in_use() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().bytes_in_use;
}

}  // namespace hostrt

extern "C" cudaError_t cudaSetDevice(int device) {
  const int count = state().device_count;
  if (count == 0) return record(cudaErrorNoDevice);
  if (device < 0 || device >= count) return record(cudaErrorInvalidDevice);
  return cudaSuccess;
}

extern "C" cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device) {
  const int count = state().device_count;
  if (count == 0) return record(cudaErrorNoDevice);
  if (device < 0 || device >= count) return record(cudaErrorInvalidDevice);
  if (prop == nullptr) return record(cudaErrorInvalidValue);
  *prop = state().properties;
  return cudaSuccess;
}

extern "C" cudaError_t cudaMalloc(void** ptr, std::size_t bytes) {
  if (ptr == nullptr) return record(cudaErrorInvalidValue);
  DeviceState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  *ptr = nullptr;
  if (bytes == 0) return cudaSuccess;
  ++s.allocation_count;
  const bool injected = s.fail_allocation != 0 && s.allocation_count == s.fail_allocation;
  const bool over_budget = s.byte_budget != 0 && s.bytes_in_use + bytes > s.byte_budget;
  if (injected || over_budget) return record(cudaErrorMemoryAllocation);
  void* p = std::malloc(bytes);
  if (p == nullptr) return record(cudaErrorMemoryAllocation);
  s.allocations.emplace(static_cast<const char*>(p), bytes);
  s.bytes_in_use += bytes;
  *ptr = p;
  return cudaSuccess;
}

extern "C" cudaError_t cudaFree(void* ptr) {
  if (ptr == nullptr) return cudaSuccess;
  DeviceState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.allocations.find(static_cast<const char*>(ptr));
  if (it == s.allocations.end()) return record(cudaErrorInvalidValue);
  s.bytes_in_use -= it->second;
  s.allocations.erase(it);
  std::free(ptr);
  return cudaSuccess;
}

extern "C" cudaError_t cudaMemcpy(void* dst, const void* src, std::size_t bytes, cudaMemcpyKind kind) {
  if (kind < cudaMemcpyHostToHost || kind > cudaMemcpyDefault) return record(cudaErrorInvalidValue);
  if (bytes == 0) return cudaSuccess;
  if (dst == nullptr || src == nullptr) return record(cudaErrorInvalidValue);
  {
    DeviceState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!range_is_valid(s, dst, bytes) || !range_is_valid(s, src, bytes)) return record(cudaErrorInvalidValue);
  }
  std::memmove(dst, src, bytes);
  return cudaSuccess;
}

extern "C" cudaError_t cudaDeviceSynchronize() { return cudaSuccess; }

extern "C" cudaError_t cudaGetLastError() {
  const cudaError_t e = last_error;
  last_error = cudaSuccess;
  return e;
}

extern "C" cudaError_t cudaPeekAtLastError() { return last_error; }

extern "C" const char* cudaGetErrorString(cudaError_t error) {
  switch (error) {
    case cudaSuccess: return "no error";
    case cudaErrorInvalidValue: return "invalid argument";
    case cudaErrorMemoryAllocation: return "out of memory";
    case cudaErrorInvalidConfiguration: return "invalid configuration argument";
    case cudaErrorNoDevice: return "no CUDA-capable device is detected";
    case cudaErrorInvalidDevice: return "invalid device ordinal";
    case cudaErrorLaunchOutOfResources: return "too many resources requested for launch";
    case cudaErrorLaunchFailure: return "unspecified launch failure";
    default: break;
  }
  return "unrecognized error code";
}
