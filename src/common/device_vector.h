#pragma once
#include <cstddef>
#include <string>
#include <thrust/device_malloc_allocator.h>
#include <thrust/device_vector.h>
#include "common/check_cuda.h"
#include "common/platform.h"

// Storage of device vectors taken with cudaMalloc, like every other device
// buffer of the system: a failure becomes the usual thrown text with the
// runtime's error string (not Thrust's bad_alloc, which nobody catches), and
// in the host backend the allocation is counted and can be made to fail.
template <class T>
class DeviceAllocator : public thrust::device_malloc_allocator<T> {
 public:
  typedef thrust::device_malloc_allocator<T> base;
  typedef typename base::pointer pointer;
  typedef typename base::size_type size_type;
  template <class U>
  struct rebind {
    typedef DeviceAllocator<U> other;
  };

  DeviceAllocator() = default;
  DeviceAllocator(const DeviceAllocator&) = default;
  template <class U>
  DeviceAllocator(const DeviceAllocator<U>&) {}
  DeviceAllocator& operator=(const DeviceAllocator&) = default;

  pointer allocate(size_type count) {
    void* p = nullptr;
    if (count != 0) {
      check_cuda(cudaMalloc(&p, count * sizeof(T)), "device_vector<>: Error allocating memory on the device.\n");
    }
    return pointer(static_cast<T*>(p));
  }
  void deallocate(pointer p, size_type) noexcept { cudaFree(thrust::raw_pointer_cast(p)); }

  bool operator==(const DeviceAllocator&) const { return true; }
  bool operator!=(const DeviceAllocator&) const { return false; }
};

template <class T>
using DeviceVector = thrust::device_vector<T, DeviceAllocator<T>>;

// The device address of a vector's storage.
template <class T, class Alloc>
T* get_raw_pointer(thrust::device_vector<T, Alloc>& v) {
  if (v.capacity() == 0) throw std::string("get_raw_pointer: device_vector has capacity 0.\n");
  return thrust::raw_pointer_cast(v.data());
}
