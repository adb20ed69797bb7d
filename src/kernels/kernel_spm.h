#pragma once
#include <cstdint>
#include "common/platform.h"
#include "host/types.h"

// Small progress measures on one range of the normalised game: the nodes
// first .. first + count - 1, whole SCCs, in ascending SCC rank. Colours 0 and
// 1 are won marks; from 2 on a smaller colour is more significant, even ones
// favour Even. A measure has n_ranks components, component k for colour
// 2k + 3, component 0 most significant. Node v's row in a valuation array
// starts at (v - first) * n_ranks.
//
// Measures flow only inside an SCC: a successor in another SCC of the range
// (always a lower one) counts as the zero measure while it is undecided. The
// component bounds are per-SCC counts, and these only bound the measures of
// plays that stay in one SCC; an undecided lower node is either still decided
// later (the mark then takes over) or won by Even at the end, i.e. an exit of
// measure 0 from the upper SCC's point of view.
namespace kernel {
namespace small_progress_measure {

// Lifts node v once (one thread's work of iteration_range); B is the thread's
// slice of shared memory.
__device__ void iteration_main(int* B, bool* go_on, int* valuation_out, const int* valuation_in,
                               const uint32_t* rank_counter, uint16_t n_ranks, uint32_t count, uint32_t first,
                               uint32_t v, color_t* color, const uint8_t* owner, uint32_t* n_succ,
                               const uint32_t* succ_begin, uint32_t* succ_array, const uint32_t* scc_id);

// One Jacobi lifting pass over the range: reads valuation_in, writes
// valuation_out, decides nodes in place and drops edges to nodes won by the
// opponent. Needs blockDim.x * n_ranks ints of dynamic shared memory.
__global__ void iteration_range(bool* go_on, int* valuation_out, const int* valuation_in, const uint32_t* rank_counter,
                                uint16_t n_ranks, uint32_t count, uint32_t first, color_t* color,
                                const uint8_t* owner, uint32_t* n_succ, const uint32_t* succ_begin,
                                uint32_t* succ_array, const uint32_t* scc_id);

// One lifting pass over the range in place: each thread raises its node's
// row of valuation (row of node v at (v - first) * n_ranks) from the newest
// rows of its successors and, while it raises, lifts the node's predecessors
// in the range (pred_begin / pred_array: count + 1 starts and the sources,
// by v - first; null for no chains), at most budget lifts per thread.
// versions[v - first] is node v's version word, which keeps one writer per
// row and shows readers a row being written (kernels/spm_in_place.h). With
// stamps (null: none), stamps[v - first] is the number of the last pass that
// changed v or deferred its lift, and pass `number` (from 1) leaves out the
// nodes that neither changed nor saw a successor change in it or the pass
// before. Needs blockDim.x * n_ranks ints of dynamic shared memory.
__global__ void iteration_range_in_place(bool* go_on, int* valuation, unsigned int* versions,
                                         const uint32_t* rank_counter, uint16_t n_ranks, uint32_t count,
                                         uint32_t first, color_t* color, const uint8_t* owner, uint32_t* n_succ,
                                         const uint32_t* succ_begin, uint32_t* succ_array, const uint32_t* scc_id,
                                         const uint32_t* pred_begin, const uint32_t* pred_array,
                                         unsigned int budget, unsigned int* stamps, unsigned int number);

// The range's predecessor lists: counts[w - first] += 1 for every edge into
// range node w from a range node (counts cleared before), then, with cursor
// holding the exclusive prefix sums, each source at its place in pred_array.
__global__ void count_range_predecessors(uint32_t* counts, uint32_t count, uint32_t first, const uint32_t* n_succ,
                                         const uint32_t* succ_begin, const uint32_t* succ_array);
__global__ void fill_range_predecessors(uint32_t* cursor, uint32_t* pred_array, uint32_t count, uint32_t first,
                                        const uint32_t* n_succ, const uint32_t* succ_begin,
                                        const uint32_t* succ_array);

// The rank count of a range in one go. SCCs are contiguous runs of one word
// in the sorted order: starts[t] = t where range node first + t begins its
// SCC's run, 0 elsewhere (a running maximum then gives every node its SCC's
// start).
__global__ void mark_scc_starts(uint32_t* starts, const uint32_t* scc_id, uint32_t count, uint32_t first);
// counts[starts[t] * n_ranks + k] += 1 for each range node of colour 2k + 3.
__global__ void count_ranks_per_scc(uint32_t* counts, const uint32_t* starts, const color_t* color, uint16_t n_ranks,
                                    uint32_t count, uint32_t first);
// rank_counter[k] = the largest of the SCCs' counts of rank k.
__global__ void keep_largest_rank_counts(uint32_t* rank_counter, const uint32_t* counts, const uint32_t* starts,
                                         uint16_t n_ranks, uint32_t count);

// After the last pass: every open node is won by Even; an Even node keeps
// the single edge to its successor of least measure, an Odd node none.
// Needs blockDim.x * n_ranks ints of dynamic shared memory.
__global__ void finalize_range(const int* valuation, uint16_t n_ranks, uint32_t count, uint32_t first,
                               color_t* color, uint8_t* owner, uint32_t* n_succ, const uint32_t* succ_begin,
                               uint32_t* succ_array, const uint32_t* scc_id);

}  // namespace small_progress_measure
}  // namespace kernel
