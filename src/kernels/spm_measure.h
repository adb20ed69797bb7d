#pragma once
// Device helpers shared by the two-sided and the one-sided lifting kernels.
// They are inline so that every unit of device code that lifts has its own
// copy (the device code is compiled without separable compilation).
#include "common/platform.h"

namespace kernel {

// -1, 0 or +1 as a is below, equal to or above b; no difference is formed, so
// it cannot overflow.
__device__ inline int compare_sign(int a, int b) { return (a > b) - (a < b); }

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
