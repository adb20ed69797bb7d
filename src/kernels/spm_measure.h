#pragma once
// Device helpers shared by the two-sided and the one-sided lifting kernels.
// They are inline so that every unit of device code that lifts has its own
// copy (the device code is compiled without separable compilation).
#include "common/platform.h"

namespace kernel {

// Keeps in best the better of best's and row's measure of one class
// (components first, first + 2, ... <= c, the smaller index the more
// significant; sign +1 where the class prefers the larger value); ties keep
// best. The first component where they differ decides.
template <class Row>
__device__ inline void merge_class(int* best, Row row, unsigned int first, unsigned int c, int sign) {
  for (unsigned int i = first; i <= c; i += 2) {
    const int x = row[i];
    if (x == best[i]) continue;
    if ((x > best[i]) == (sign > 0)) {
      best[i] = x;
      for (unsigned int j = i + 2; j <= c; j += 2) best[j] = row[j];
    }
    return;
  }
}

// Progress step of a measure class at rank c: measure[c], measure[c - 2], ...
// (the class of c, the smaller index the more significant) is replaced by the
// smallest measure of that class that is lexicographically greater, where
// component i may not exceed bound[i]. A component at its bound rolls over to
// 0 and carries into the next more significant one. Returns false when no
// greater measure exists: the measure is top.
__device__ inline bool raise_measure(int* measure, const unsigned int* bound, unsigned int c) {
  for (unsigned int i = c;; i -= 2) {
    if (static_cast<unsigned int>(measure[i]) < bound[i]) {
      ++measure[i];
      return true;
    }
    measure[i] = 0;
    if (i < 3) return false;
  }
}

// Marks every predecessor of v for the next work list. Several threads may
// mark the same node; they all store 1.
__device__ inline void flag_predecessors(unsigned int v, const unsigned int* n_pred, const unsigned int* pred_begin,
                                         const unsigned int* pred_array, unsigned int* flags) {
  const unsigned int begin = pred_begin[v];
  const unsigned int end = begin + n_pred[v];
  for (unsigned int e = begin; e < end; ++e) flags[pred_array[e]] = 1;
}

}  // namespace kernel
