#pragma once
// Allocation, copy and release of plain arrays in host or device memory. A
// pointer is null or owns exactly one allocation.
#include <cstddef>
#include <cstring>
#include <string>
#include "common/check_cuda.h"

enum class Space { host, device };

template <Space S, class T>
void alloc_array(T*& ptr, std::size_t count) {
  if (ptr != nullptr) throw std::string("alloc_array<>: ptr != 0.\n");
  if (count == 0) return;
  if (S == Space::device) {
    check_cuda(cudaMalloc(reinterpret_cast<void**>(&ptr), count * sizeof(T)),
               "alloc_array<>: Error allocating memory on the device.\n");
  } else {
    ptr = new T[count];
  }
}

template <Space S, class T>
void free_array(T*& ptr) {
  if (ptr == nullptr) return;
  if (S == Space::device) {
    T* p = ptr;
    ptr = nullptr;
    check_cuda(cudaFree(p), "Error deallocating memory on the device.\n");
  } else {
    delete[] ptr;
    ptr = nullptr;
  }
}

template <Space Dst, Space Src, class T>
void copy_array(T* dst, const T* src, std::size_t count) {
  const cudaMemcpyKind kind = Dst == Space::device
                                  ? (Src == Space::device ? cudaMemcpyDeviceToDevice : cudaMemcpyHostToDevice)
                                  : (Src == Space::device ? cudaMemcpyDeviceToHost : cudaMemcpyHostToHost);
  check_cuda(cudaMemcpy(dst, src, count * sizeof(T), kind), "copy_array<> : CUDA reported some error.\n");
}
