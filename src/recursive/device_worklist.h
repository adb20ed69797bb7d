#pragma once
#include <cstddef>
#include <cstdint>
#include "common/device_vector.h"
#include "common/platform.h"

// Predicates of DeviceWorklist::update_global on the stencil entries.
struct is_equal {
  unsigned int value;
  __host__ __device__ bool operator()(unsigned int x) const { return x == value; }
};
struct is_equal_or_greater {
  unsigned int value;
  __host__ __device__ bool operator()(unsigned int x) const { return x >= value; }
};

// A device list of node indices with a fixed capacity (the number of nodes),
// rebuilt by stream compaction from a per-node stencil. The storage is sized
// once; the entries past size() are stale, so a rebuild costs one compaction
// and no refill.
class DeviceWorklist {
 public:
  explicit DeviceWorklist(std::size_t capacity);
  DeviceWorklist(const DeviceWorklist&) = delete;
  DeviceWorklist& operator=(const DeviceWorklist&) = delete;

  std::size_t size() const { return _size; }
  std::size_t capacity() const { return _worklist.size(); }
  // Device address of the first entry; throws on a list of capacity 0.
  unsigned int* get_raw_pointer();

  // Lists, in ascending order, every index i with Predicate{value}(stencil[i]).
  // The stencil (device memory) must have exactly capacity() entries.
  template <class Predicate>
  void update_global(const unsigned int* stencil_begin, const unsigned int* stencil_end, unsigned int value);

 private:
  DeviceVector<unsigned int> _worklist;
  std::size_t _size = 0;
};
