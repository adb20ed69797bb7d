#pragma once
#include <string>
#include <thrust/device_vector.h>

// The device address of a vector's storage.
template <class T>
T* get_raw_pointer(thrust::device_vector<T>& v) {
  if (v.capacity() == 0) throw std::string("get_raw_pointer: device_vector has capacity 0.\n");
  return thrust::raw_pointer_cast(v.data());
}
