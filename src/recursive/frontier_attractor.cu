#include <algorithm>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/launch.h"
#include "kernels/frontier_kernel.h"
#include "kernels/queue_append.h"
#include "recursive/frontier_attractor.h"

namespace {

const unsigned int block_size = 256;
// Rounds launched between two reads of the bounds grow up to this many while
// the frontier stays non-empty; a round past the fixpoint finds an empty
// frontier and does nothing, so extra rounds never change the result.
const unsigned int max_rounds_per_read = 16;
// Grid of a round: enough threads for the last frontier seen, within limits
// (the walk is grid-stride, so any grid covers a frontier that has grown).
const unsigned int max_walk_blocks = 4096;

}  // namespace

FrontierAttractor::FrontierAttractor(uint32_t n) {
  state_.allocate(n);
  if (n != 0)
    check_cuda(cudaMemset(state_.get(), 0, std::size_t(n) * sizeof(uint32_t)), "error clearing the attractor");
  queue_.allocate(n);
  bounds_.allocate(3);
}

uint32_t FrontierAttractor::attract(const DeviceArena& game, const uint32_t* level, uint32_t sub_level,
                                    const uint32_t* nodes, uint32_t n_nodes, uint32_t n_targets, unsigned int player,
                                    bool pick_for_targets) {
  if (n_targets == 0) return 0;
  uint32_t* state = state_.get();
  uint32_t* queue = queue_.get();
  launch_frontier_prepare(blocks_for(n_nodes, block_size), block_size, nodes, n_nodes, game.owner, game.succ.begin,
                          game.succ.targets, level, sub_level, player, state);
  launch_kernel(kernel::frontier::seed, blocks_for(n_targets, block_size), block_size, 0, queue, n_targets, game.owner,
                game.succ.count, game.succ.begin, game.succ.targets, level, sub_level, player, pick_for_targets, state,
                game.strategy);
  check_last_error("error preparing the frontier attractor");

  launch_kernel(kernel::frontier::start, 1, 1, 0, bounds_.get(), n_targets);
  check_last_error("error starting the frontier attractor");
  uint32_t bounds[3] = {0, n_targets, n_targets};
  unsigned int batch = 1;
  while (bounds[0] < bounds[1]) {
    const unsigned int blocks =
        std::min(blocks_for(threads_for_entries(bounds[1] - bounds[0]), block_size), max_walk_blocks);
    for (unsigned int r = 0; r < batch; ++r) {
      launch_frontier_walk(blocks, block_size, bounds_.get(), queue, game.pred.begin, game.pred.targets, state,
                           game.strategy);
      launch_kernel(kernel::frontier::advance, 1, 1, 0, bounds_.get());
      check_last_error("error in the frontier attractor");
    }
    rounds += batch;
    ++reads;
    check_cuda(cudaMemcpy(bounds, bounds_.get(), sizeof bounds, cudaMemcpyDeviceToHost),
               "error reading the frontier of the attractor");
    if (batch < max_rounds_per_read) batch *= 2;
  }
  return bounds[1];
}
