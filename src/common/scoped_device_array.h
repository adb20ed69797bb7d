#pragma once
// A device array owned by a scope: allocated with alloc_array, released with
// the checked free on the normal path and freed without a check when a
// failure unwinds past it, so temporaries of a routine never leak.
#include <cstddef>
#include "common/device_array.h"

template <class T>
class ScopedDeviceArray {
 public:
  ScopedDeviceArray() = default;
  explicit ScopedDeviceArray(std::size_t count) { allocate(count); }
  ScopedDeviceArray(const ScopedDeviceArray&) = delete;
  ScopedDeviceArray& operator=(const ScopedDeviceArray&) = delete;
  ~ScopedDeviceArray() {
    if (ptr_ != nullptr) cudaFree(ptr_);
  }

  void allocate(std::size_t count) {
    alloc_array<Space::device>(ptr_, count);
    count_ = count;
  }
  // The checked release ("Error deallocating memory on the device.\n").
  void release() {
    free_array<Space::device>(ptr_);
    count_ = 0;
  }

  // Exchanges the arrays, e.g. to replace one by a rearranged copy.
  void swap(ScopedDeviceArray& other) {
    T* p = ptr_;
    ptr_ = other.ptr_;
    other.ptr_ = p;
    const std::size_t c = count_;
    count_ = other.count_;
    other.count_ = c;
  }

  T* get() const { return ptr_; }
  std::size_t size() const { return count_; }

 private:
  T* ptr_ = nullptr;
  std::size_t count_ = 0;
};
