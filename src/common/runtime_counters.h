#pragma once
// What the host backend counts of the runtime calls the system makes, for
// benchmarks and tests that want the round trips of a solve. The cuda
// backend counts nothing: `hostrt::counting` is false there and the counters
// stay zero.
#include <cstddef>

namespace hostrt {

struct Counters {
  std::size_t launches = 0;          // kernel launches that reached the runtime (refused ones too)
  std::size_t copies_to_device = 0;  // cudaMemcpy(Async) host -> device
  std::size_t copies_to_host = 0;    // cudaMemcpy(Async) device -> host
  std::size_t copies_on_device = 0;  // cudaMemcpy(Async) device -> device
  std::size_t memsets = 0;           // cudaMemset(Async)
  // Calls after which the host has waited for the device: cudaDeviceSynchronize,
  // cudaStreamSynchronize and every blocking cudaMemcpy between host and device.
  std::size_t synchronisations = 0;
  std::size_t allocations = 0;       // cudaMalloc calls, failed ones too
  std::size_t frees = 0;             // cudaFree of a non-null pointer
  std::size_t pinned_allocations = 0;  // cudaMallocHost calls
  std::size_t pinned_frees = 0;        // cudaFreeHost of a non-null pointer
};

// The difference of two readings, field by field (later - earlier).
inline Counters operator-(const Counters& later, const Counters& earlier) {
  Counters d;
  d.launches = later.launches - earlier.launches;
  d.copies_to_device = later.copies_to_device - earlier.copies_to_device;
  d.copies_to_host = later.copies_to_host - earlier.copies_to_host;
  d.copies_on_device = later.copies_on_device - earlier.copies_on_device;
  d.memsets = later.memsets - earlier.memsets;
  d.synchronisations = later.synchronisations - earlier.synchronisations;
  d.allocations = later.allocations - earlier.allocations;
  d.frees = later.frees - earlier.frees;
  d.pinned_allocations = later.pinned_allocations - earlier.pinned_allocations;
  d.pinned_frees = later.pinned_frees - earlier.pinned_frees;
  return d;
}

#if defined(PG_CUDA_BACKEND)
constexpr bool counting = false;
inline Counters counters() { return Counters(); }
inline void reset_counters() {}
#else
constexpr bool counting = true;
// The counts since the start of the process or the last reset_counters()
// (hostrt::reset() restarts them too).
Counters counters();
void reset_counters();
#endif

}  // namespace hostrt
