#pragma once
#include "common/platform.h"

namespace kernel {

// a[i] = 0 for i < n.
__global__ void zero_mem(unsigned int* a, unsigned int n);

// Renumbers a successor array: the segment of old node i moves, in its order,
// to the slot of new_index[i], and every target t becomes new_index[t].
// new_count and new_begin are already in the new order.
__global__ void reorderEdges(const unsigned int* new_index, const unsigned int* old_begin,
                             const unsigned int* old_array, const unsigned int* new_count,
                             const unsigned int* new_begin, unsigned int* new_array, unsigned int n);

}  // namespace kernel
