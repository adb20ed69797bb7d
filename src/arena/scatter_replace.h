#pragma once
// Replacing a device array by a scattered copy of itself, the step that
// permute repeats for every per-node array. Kept apart from the Thrust call so
// that its failure handling can be exercised with any scatter.
#include <cstddef>
#include <cstdint>
#include "common/check_cuda.h"
#include "common/device_array.h"

// A device buffer that is freed when it goes out of scope unless taken.
template <class T>
class PendingDeviceArray {
 public:
  PendingDeviceArray() = default;
  PendingDeviceArray(const PendingDeviceArray&) = delete;
  PendingDeviceArray& operator=(const PendingDeviceArray&) = delete;
  ~PendingDeviceArray() {
    if (ptr_ != nullptr) cudaFree(ptr_);
  }
  void allocate(std::size_t count) { alloc_array<Space::device>(ptr_, count); }
  T* get() const { return ptr_; }
  T* take() {
    T* p = ptr_;
    ptr_ = nullptr;
    return p;
  }

 private:
  T* ptr_ = nullptr;
};

// Puts array[i] at position perm[i] of a new array of n entries, which then
// replaces array (the old one is freed). A device error still pending is
// reported first ("blub" and the runtime's text). When the scatter throws, the
// new array is freed, array is left as it was, and the error propagates.
template <class T, class Scatter>
void replace_by_scatter(T*& array, const uint32_t* perm, std::size_t n, Scatter scatter) {
  PendingDeviceArray<T> fresh;
  fresh.allocate(n);
  check_last_error("blub");
  scatter(array, perm, n, fresh.get());
  T* old = array;
  array = fresh.take();
  free_array<Space::device>(old);
}
