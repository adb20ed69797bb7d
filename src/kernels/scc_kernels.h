#pragma once
#include <cstdint>
#include "common/platform.h"

// Forward-backward SCC decomposition with trimming, for all partitions of the
// graph at once. Every node carries an SCC word:
//   bits 0-27  id field: while live, the partition (index of one of its nodes);
//              when done, the SCC id (index of the SCC's representative)
//   bit 28     live: reached from the pivot; done: trivial SCC with a self-loop
//   bit 29     live: reaches the pivot;      done: trivial SCC
//   bit 30     done: the node's SCC is final
// Final words: 0x40000000 | p (non-trivial SCC, representative p),
// 0x60000000 | i (trivial, no self-loop), 0x70000000 | i (trivial, self-loop).
namespace scc_word {
const uint32_t id_mask = 0x0FFFFFFFu;
const uint32_t forward = 0x10000000u;
const uint32_t backward = 0x20000000u;
const uint32_t done = 0x40000000u;
const uint32_t trivial = 0x60000000u;       // done | backward
const uint32_t trivial_loop = 0x70000000u;  // done | backward | forward
// A live node's marks that are still to be spread to its neighbours. Set
// with every new mark and on every new pivot; none is left once the marking
// of a round is at its fixed point.
const uint32_t unspread = 0x80000000u;
const uint32_t marks = forward | backward;
// Node indices must fit into the id field.
const uint32_t max_nodes = id_mask + 1u;

__host__ __device__ inline bool is_trivial(uint32_t w) { return (w & trivial) == trivial; }
}  // namespace scc_word

namespace kernel {
namespace scc {

// Nodes without successors or without predecessors are trivial SCCs at once;
// every other node writes itself into the pivot cell (the last store wins).
__global__ void find_initial_pivot(uint32_t* scc_id, uint32_t* pivot, const uint32_t* n_succ,
                                   const uint32_t* n_pred, uint32_t n);

// All nodes with both edge kinds join the partition named by the pivot; the
// pivot carries both marks.
__global__ void set_initial_pivot(uint32_t* scc_id, const uint32_t* pivot, const uint32_t* n_succ,
                                  const uint32_t* n_pred, uint32_t n);

// One marking pass: forward marks spread along successors, backward marks
// along predecessors, inside each partition, from the nodes whose marks are
// not spread yet.
__global__ void pivot_propagation(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                  const uint32_t* n_succ, const uint32_t* pred_begin, const uint32_t* pred_array,
                                  const uint32_t* n_pred, uint32_t n, bool* changed);

// Trimming: a live node without a successor or without a predecessor in its
// own partition cannot lie on a cycle there and becomes a trivial SCC; its
// neighbours in the partition are checked again within the pass.
__global__ void remove_trivial_sccs(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                    const uint32_t* n_succ, const uint32_t* pred_begin,
                                    const uint32_t* pred_array, const uint32_t* n_pred, uint32_t n,
                                    bool* changed);

// Split, first half: nodes with both marks are done; the others vote for a
// member of their new partition (slot 3 * id + marks).
__global__ void vote_scc_id(uint32_t* scc_id, uint32_t* votes, uint32_t n);

// Split, second half: live nodes take the elected member as partition id; the
// elected members become the new pivots and report that work remains.
__global__ void update_scc_id(uint32_t* scc_id, const uint32_t* votes, uint32_t n, bool* changed);

// After the decomposition: a node that became done as the only member of its
// pivot's SCC (no successor other than itself carries its word) gets the
// trivial word, with the self-loop mark when it has one, as trimming would
// have given it.
__global__ void mark_singleton_sccs(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                    const uint32_t* n_succ, uint32_t n);

// One pass of the SCC heights: the representative's rank becomes 1 + the
// largest rank among the SCCs an edge leaves to; a raise goes on along the
// predecessors within the pass.
__global__ void compute_scc_rank_iteration(uint32_t* scc_rank, const uint32_t* scc_id, const uint32_t* n_succ,
                                           const uint32_t* succ_begin, const uint32_t* succ_array,
                                           const uint32_t* n_pred, const uint32_t* pred_begin,
                                           const uint32_t* pred_array, uint32_t n, bool* changed);

// Copies each representative's rank to all members of its SCC.
__global__ void set_scc_rank(uint32_t* scc_rank, const uint32_t* scc_id, uint32_t n);

// output[i] = 1 when node i represents a non-trivial SCC; nothing otherwise.
__global__ void get_non_trivial_sccs_first_step(const uint32_t* scc_id, uint32_t* output, uint32_t n);

// Renames the id fields through a table and keeps the marks.
__global__ void update_scc_id(uint32_t* scc_id, const uint32_t* new_ids, uint32_t n);

// The whole decomposition of a small graph by one thread (launch 1 x 1):
// Tarjan's algorithm, which finishes each SCC after every SCC it reaches, so
// that its rank follows from theirs at once. Writes the final words (the
// representative of a non-trivial SCC is the node its search entered it by)
// and every node's rank. scratch holds 5 * n words.
__global__ void decompose_in_one_thread(uint32_t* scc_id, uint32_t* scc_rank, uint32_t* scratch,
                                        const uint32_t* succ_begin, const uint32_t* succ_array,
                                        const uint32_t* n_succ, uint32_t n);

}  // namespace scc
}  // namespace kernel

// The fixpoint passes of the decomposition, launched from the file that
// defines them so that the host backend runs their bodies inline
// (launch_fixed_kernel); same arguments as the kernels.
enum class SccGraphPass { trimming, propagation };
void launch_scc_graph_pass(SccGraphPass pass, unsigned int grid, unsigned int block, uint32_t* scc_id,
                           const uint32_t* succ_begin, const uint32_t* succ_array, const uint32_t* n_succ,
                           const uint32_t* pred_begin, const uint32_t* pred_array, const uint32_t* n_pred, uint32_t n,
                           bool* changed);
void launch_scc_rank_pass(unsigned int grid, unsigned int block, uint32_t* scc_rank, const uint32_t* scc_id,
                          const uint32_t* n_succ, const uint32_t* succ_begin, const uint32_t* succ_array,
                          const uint32_t* n_pred, const uint32_t* pred_begin, const uint32_t* pred_array, uint32_t n,
                          bool* changed);
