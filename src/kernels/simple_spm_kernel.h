#pragma once
#include "common/platform.h"
#include "kernels/spm_in_place.h"

// One-sided ("simple") small progress measures: only the measure of player
// P = top_parity is kept, in the even components of a node's valuation row
// (they count the ranks of parity 1 - P). Top decides a node for 1 - P; the
// nodes left undecided at the fixed point are won by P. Launch shapes and
// shared memory as for the two-sided kernels.
namespace kernel {

// Lifts node v once; returns whether anything of v changed.
__device__ bool simple_spm_iteration_main(const unsigned int* rank_counter, unsigned int v, const int* valuation,
                                          int* valuation_next, unsigned short* color, const unsigned char* owner,
                                          unsigned int* n_succ, const unsigned int* succ_begin,
                                          unsigned int* succ_array, unsigned int n_nodes,
                                          unsigned int valuation_dim, unsigned int top_parity);

__global__ void simple_spm_iteration(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                                     bool* go_on, unsigned short* color, const unsigned char* owner,
                                     unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                     unsigned int n_nodes, unsigned int valuation_dim, unsigned int top_parity);

__global__ void simple_spm_iteration_wl(const unsigned int* rank_counter, const int* valuation,
                                        int* valuation_next, bool* go_on, const unsigned int* work_list,
                                        unsigned int* work_list_permutation, unsigned short* color,
                                        const unsigned char* owner, unsigned int* n_succ,
                                        const unsigned int* n_pred, const unsigned int* succ_begin,
                                        const unsigned int* pred_begin, unsigned int* succ_array,
                                        const unsigned int* pred_array, unsigned int count, unsigned int n_nodes,
                                        unsigned int valuation_dim, unsigned int top_parity);

__global__ void simple_spm_iteration_oan(const unsigned int* rank_counter, const int* valuation,
                                         int* valuation_next, bool* go_on, unsigned short* color,
                                         const unsigned char* owner, unsigned int* n_succ,
                                         const unsigned int* succ_begin, unsigned int* succ_array,
                                         const unsigned int* work_list, unsigned int count, unsigned int n_nodes,
                                         unsigned int valuation_dim, unsigned int top_parity);

// After the fixed point: every node not won by 1 - top_parity is won by
// top_parity.
__global__ void simple_spm_iteration_finalize(unsigned short* color, unsigned int n, unsigned int top_parity);

// Strategies from measures at their least fixed point, before the nodes still
// undecided are given to winner: every undecided node of winner's takes the
// undecided successor whose row is least over the components first,
// first + 2, ... (winner's measure), the first in its list of equal ones. With
// any_successor (a single colour rank: every play is won by winner), it
// takes its first successor. Other entries of strategy stay as they are.
__global__ void spm_strategy(const int* valuation, unsigned int valuation_dim, unsigned int first, unsigned int winner,
                             bool any_successor, const unsigned short* color, const unsigned char* owner,
                             const unsigned int* n_succ, const unsigned int* succ_begin,
                             const unsigned int* succ_array, unsigned int* strategy, unsigned int n);

// The one-sided lift in place (spm_in_place.h).
struct SimpleSpmInPlaceLift {
  __device__ int operator()(const LiftArgs& a, unsigned int v) const;
  __device__ int lift_locked(const LiftArgs& a, unsigned int v) const;
};

// One in-place pass of the one-sided lift over the nodes that pass.mode
// names, each with its chain.
__global__ void simple_spm_lift_pass(LiftArgs lift, PassArgs pass);

}  // namespace kernel
