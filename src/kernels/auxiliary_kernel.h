#pragma once
#include "common/platform.h"

// Small one-thread-per-element kernels shared by the solvers. They are
// launched with 256 threads per block and enough blocks for the count;
// threads past the count do nothing.
namespace kernel {

// a[i] = 0 for i < n.
__global__ void zero_mem(unsigned int* a, unsigned int n);

// Renumbers a successor array: the segment of old node i moves, in its order,
// to the slot of new_index[i], and every target t becomes new_index[t].
// new_count and new_begin are already in the new order.
__global__ void reorderEdges(const unsigned int* new_index, const unsigned int* old_begin,
                             const unsigned int* old_array, const unsigned int* new_count,
                             const unsigned int* new_begin, unsigned int* new_array, unsigned int n);

// list[i] = i for i < n: every node is a candidate.
__global__ void initialize_work_list(unsigned int* list, unsigned int n);

// Compaction of the flagged nodes: pos holds the exclusive prefix sums of the
// flags (n + 1 entries), so node i was flagged exactly when pos[i] != pos[i + 1].
__global__ void update_work_list(unsigned int* list, const unsigned int* pos, unsigned int n);

// flags[i] = 1 while the listed node is still undecided (colour above 1).
__global__ void setup_permutation_oan(unsigned short* color, const unsigned int* list, unsigned int* flags,
                                      unsigned int n);

// Keeps the listed entries whose flag was set, in their order.
__global__ void update_active_nodes_oan(const unsigned int* list, unsigned int* list_next, const unsigned int* pos,
                                        unsigned int n);

namespace preproc {
namespace old {

// used[color[i]] = 1 for every node i < n.
__global__ void determine_used_colors(unsigned short* used, const unsigned short* color, unsigned int n);

// color[i] = map[color[i]].
__global__ void set_colors(unsigned short* color, const unsigned short* map, unsigned int n);

// out[i] = 1 when node i has colour rank `rank` (colour >> 1), else 0.
__global__ void count_rank(unsigned int* out, const unsigned short* color, unsigned short rank, unsigned int n);

// counts[color[i] >> 1] += 1 for every node i < n: all ranks in one pass.
__global__ void count_ranks(unsigned int* counts, const unsigned short* color, unsigned int n);

}  // namespace old
}  // namespace preproc

}  // namespace kernel
