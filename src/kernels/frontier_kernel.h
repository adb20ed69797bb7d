#pragma once
#include "common/platform.h"

// Kernels of the frontier attractor and of the recursion of alg 12. The
// sub-game of level L is every node v with level[v] >= L; nodes lists node
// indices (one thread per entry t < n). strategy is null unless strategies
// are wanted.
//
// state holds one word per node for the attractor being computed, so that
// the walk over predecessors reads one word per edge: 0 outside it (every
// node between two attractors), state_open for a node of the attracting
// player not yet attracted, state_attracted, or opponent_bit plus the
// number of the opponent's successors inside the sub-game not yet attracted.
namespace kernel {
namespace frontier {

const unsigned int state_open = 1u;
const unsigned int state_attracted = 2u;
const unsigned int opponent_bit = 0x80000000u;

// Opens the sub-game's nodes for an attractor of player (see above). The
// successor lists are read through succ_begin[v] .. succ_begin[v + 1].
__global__ void prepare(const unsigned int* nodes, unsigned int n, const unsigned char* owner,
                        const unsigned int* succ_begin, const unsigned int* succ_targets, const unsigned int* level,
                        unsigned int sub_level, unsigned int player, unsigned int* state);

// The targets join. With pick_successor, a target of the player also plays
// to some successor inside the sub-game.
__global__ void seed(const unsigned int* nodes, unsigned int n, const unsigned char* owner,
                     const unsigned int* succ_count, const unsigned int* succ_begin, const unsigned int* succ_targets,
                     const unsigned int* level, unsigned int sub_level, unsigned int player, bool pick_successor,
                     unsigned int* state, unsigned int* strategy);

// One round over the frontier queue[bounds[0] .. bounds[1]), grid-stride, so
// any grid covers a frontier of any size. Every open predecessor u of a
// frontier node v is visited once per edge: a node of the player joins on
// the first such edge (compare-and-swap, and it plays to v), a node of the
// opponent when its last successor inside the sub-game has joined (atomic
// decrement to zero). Predecessors are pred_targets[pred_begin[v] ..
// pred_begin[v + 1]). Each thread takes frontier_entries_per_thread
// consecutive entries at a time, and joining nodes are appended after
// queue[bounds[2]] (both in kernels/queue_append.h).
__global__ void walk(unsigned int* bounds, unsigned int* queue, const unsigned int* pred_begin,
                     const unsigned int* pred_targets, unsigned int* state, unsigned int* strategy);

// One thread: the targets queue[0 .. n_targets) are the first frontier.
__global__ void start(unsigned int* bounds, unsigned int n_targets);

// One thread: the nodes appended in the last round become the frontier,
// bounds[0 .. 1] = bounds[1 .. 2].
__global__ void advance(unsigned int* bounds);

// won[v] = mark. With a strategy array, a node of the winner (owner == mark)
// also plays to some successor inside the sub-game: for a sub-game of one
// colour, any successor there wins.
__global__ void mark_region(const unsigned int* nodes, unsigned int n, unsigned short* won, unsigned int mark,
                            const unsigned char* owner, const unsigned int* succ_count, const unsigned int* succ_begin,
                            const unsigned int* succ_targets, const unsigned int* level, unsigned int sub_level,
                            unsigned int* strategy);

// won[v] = mark, no strategy work (the winners' moves are already set).
__global__ void mark_won(const unsigned int* nodes, unsigned int n, unsigned short* won, unsigned int mark);

// Attracted nodes stay at sub_level, the others go one level down; every
// state goes back to 0.
__global__ void split_level(const unsigned int* nodes, unsigned int n, unsigned int* state, unsigned int sub_level,
                            unsigned int* level);

// strategy[v] = no_strategy for every v < n won by the owner's opponent:
// only winners keep a move.
__global__ void drop_losing_moves(unsigned int n, const unsigned short* won, const unsigned char* owner,
                                  unsigned int* strategy);

}  // namespace frontier
}  // namespace kernel

// The walk and the two per-node kernels of every attractor and split of
// alg 12, launched from the file that defines them so that the host backend
// runs their bodies inline (launch_fixed_kernel); same arguments as the
// kernels.
void launch_frontier_prepare(unsigned int grid, unsigned int block, const unsigned int* nodes, unsigned int n,
                             const unsigned char* owner, const unsigned int* succ_begin,
                             const unsigned int* succ_targets, const unsigned int* level, unsigned int sub_level,
                             unsigned int player, unsigned int* state);
void launch_frontier_split_level(unsigned int grid, unsigned int block, const unsigned int* nodes, unsigned int n,
                                 unsigned int* state, unsigned int sub_level, unsigned int* level);
void launch_frontier_walk(unsigned int grid, unsigned int block, unsigned int* bounds, unsigned int* queue,
                          const unsigned int* pred_begin, const unsigned int* pred_targets, unsigned int* state,
                          unsigned int* strategy);
