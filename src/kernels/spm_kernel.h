#pragma once
#include "common/platform.h"
#include "kernels/spm_in_place.h"

// Two-sided small progress measures: every undecided node keeps one measure
// for each player, interleaved in its valuation row (odd components count the
// ranks of parity top_parity, even components the others). All kernels take
// valuation_dim ints of dynamic shared memory per thread (nxt_buffer).
namespace kernel {

// Lifts node v once from its successors' measures of the previous iteration
// (read from valuation, written to v's row of valuation_next). Decides v (colour
// 0 or 1) when a decided successor forces it or its own measure overflows, and
// prunes successors won by the opponent. Returns whether anything of v changed.
__device__ bool spm_iteration_main(const unsigned int* rank_counter, unsigned int v, const int* valuation,
                                   int* valuation_next, unsigned short* color, const unsigned char* owner,
                                   unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                   unsigned int n_nodes, unsigned int valuation_dim, unsigned int top_parity);

// One thread per node; stores true into *go_on when its node changed.
__global__ void spm_iteration(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                              bool* go_on, unsigned short* color, const unsigned char* owner, unsigned int* n_succ,
                              const unsigned int* succ_begin, unsigned int* succ_array, unsigned int n_nodes,
                              unsigned int valuation_dim, unsigned int top_parity);

// One thread per work-list entry; a changed node flags its predecessors in
// work_list_permutation and stores true into *go_on.
__global__ void spm_iteration_wl(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                                 bool* go_on, const unsigned int* work_list, unsigned int* work_list_permutation,
                                 unsigned short* color, const unsigned char* owner, unsigned int* n_succ,
                                 const unsigned int* n_pred, const unsigned int* succ_begin,
                                 const unsigned int* pred_begin, unsigned int* succ_array,
                                 const unsigned int* pred_array, unsigned int count, unsigned int n_nodes,
                                 unsigned int valuation_dim, unsigned int top_parity);

// One thread per entry of the active list; stores true into *go_on when its
// node changed.
__global__ void spm_iteration_oan(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                                  bool* go_on, unsigned short* color, const unsigned char* owner,
                                  unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                  const unsigned int* work_list, unsigned int count, unsigned int n_nodes,
                                  unsigned int valuation_dim, unsigned int top_parity);

// The two-sided lift in place (spm_in_place.h): raises v's row in
// valuation from its successors' newest measures, holding v's version lock.
struct SpmInPlaceLift {
  __device__ int operator()(const LiftArgs& a, unsigned int v) const;
  __device__ int lift_locked(const LiftArgs& a, unsigned int v) const;
};

// One in-place pass of the two-sided lift over the nodes that pass.mode
// names, each with its chain. Shared memory as for spm_iteration.
__global__ void spm_lift_pass(LiftArgs lift, PassArgs pass);

}  // namespace kernel
