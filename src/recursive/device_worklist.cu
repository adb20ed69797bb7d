#include "recursive/device_worklist.h"

#include <string>

#include <thrust/copy.h>
#include <thrust/execution_policy.h>
#include <thrust/iterator/counting_iterator.h>

#include "common/device_vector.h"

DeviceWorklist::DeviceWorklist(std::size_t capacity) : _worklist(capacity) {}

unsigned int* DeviceWorklist::get_raw_pointer() { return ::get_raw_pointer(_worklist); }

template <class Predicate>
void DeviceWorklist::update_global(const unsigned int* stencil_begin, const unsigned int* stencil_end,
                                   unsigned int value) {
  const std::size_t capacity = _worklist.size();
  if (static_cast<std::size_t>(stencil_end - stencil_begin) != capacity) {
    throw std::string("DeviceWorklist::update_global: stencil size does not match capacity of _worklist");
  }
  _size = 0;
  if (capacity == 0) return;
  const thrust::counting_iterator<unsigned int> first(0);
  const auto end = thrust::copy_if(thrust::device, first, first + capacity, thrust::device_pointer_cast(stencil_begin),
                                   _worklist.begin(), Predicate{value});
  _size = static_cast<std::size_t>(end - _worklist.begin());
}

template void DeviceWorklist::update_global<is_equal>(const unsigned int*, const unsigned int*, unsigned int);
template void DeviceWorklist::update_global<is_equal_or_greater>(const unsigned int*, const unsigned int*,
                                                                 unsigned int);
