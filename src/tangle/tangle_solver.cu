#include "tangle/tangle_solver.h"

#include <iostream>
#include <string>

#include <thrust/execution_policy.h>
#include <thrust/fill.h>
#include <thrust/partition.h>
#include <thrust/remove.h>
#include <thrust/sequence.h>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "tangle/attract_kernels.h"
#include "tangle/bottom_scc_kernels.h"
#include "tangle/frontier_kernels.h"
#include "tangle/region_kernels.h"

namespace {

const unsigned int block = 256;

struct IsFree {
  const uint32_t* state;
  __host__ __device__ bool operator()(uint32_t v) const { return state[v] == tangle_state::free; }
};
struct IsSolved {
  const uint32_t* state;
  __host__ __device__ bool operator()(uint32_t v) const { return state[v] == tangle_state::solved; }
};

}  // namespace

void TangleSolver::check_stop() const {
  if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) throw TangleStopped();
}

uint32_t TangleSolver::read_cell() {
  uint32_t value = 0;
  copy_array<Space::host, Space::device>(&value, cell_.get(), 1);
  return value;
}

void TangleSolver::solve(cudaGpuArena& arena) {
  const uint32_t n = arena.n_nodes;
  if (n == 0) return;
  if (arena.device.pred.targets == nullptr && arena.n_edges != 0)
    throw std::string("tangle learning needs the predecessor lists on the device");
  priority_.allocate(n);
  state_.allocate(n);
  sigma_.allocate(n);
  claim_.allocate(n);
  reach_.allocate(n);
  member_.allocate(n);
  game_list_.allocate(n);
  h_list_.allocate(n);
  cell_.allocate(1);
  bad_.allocate(n);
  count_.allocate(n);
  frontier_.allocate(n);
  next_frontier_.allocate(n);
  spoiled_.allocate(n);
  copy_array<Space::device, Space::device>(priority_.get(), arena.device.color, n);

  g_.n_nodes = n;
  g_.owner = arena.device.owner;
  g_.priority = priority_.get();
  g_.succ_begin = arena.device.succ.begin;
  g_.succ_count = arena.device.succ.count;
  g_.succ = arena.device.succ.targets;
  g_.pred_begin = arena.device.pred.begin;
  g_.pred_count = arena.device.pred.count;
  g_.pred = arena.device.pred.targets;
  g_.state = state_.get();
  g_.sigma = sigma_.get();
  g_.claim = claim_.get();
  g_.bad = bad_.get();
  g_.count = count_.get();
  g_.reach = reach_.get();
  g_.spoiled = spoiled_.get();
  g_.member = member_.get();
  marks_ = arena.device.color;
  strategy_ = arena.device.strategy;

  thrust::sequence(thrust::device, game_list_.get(), game_list_.get() + n, 0u);
  thrust::fill(thrust::device, state_.get(), state_.get() + n, tangle_state::free);
  thrust::fill(thrust::device, claim_.get(), claim_.get() + n, tangle_state::none);
  thrust::fill(thrust::device, sigma_.get(), sigma_.get() + n, no_strategy);
  game_size_ = n;
  while (game_size_ > 0) {
    search();
    store_.drop_solved(g_);
  }
  check_cuda(cudaDeviceSynchronize(), "error in tangle learning");
  check_last_error("error in tangle learning");
}

void TangleSolver::search() {
  uint32_t* const h = h_list_.get();
  check_stop();
  ++stats.rounds;
  copy_array<Space::device, Space::device>(h, game_list_.get(), game_size_);
  launch_kernel(kernel::tangle::free_nodes, blocks_for(game_size_, block), block, 0, g_,
                static_cast<const uint32_t*>(game_list_.get()), game_size_);
  uint32_t h_size = game_size_;
  uint32_t stamp = 0;
  uint32_t learned = 0;
  uint32_t found = 0;
  while (h_size > 0) {
    check_stop();
    ++stats.regions;
    const unsigned int grid = blocks_for(h_size, block);
    clear_cell();
    launch_kernel(kernel::tangle::max_priority, grid, block, 0, g_, static_cast<const uint32_t*>(h), h_size,
                  cell_.get());
    const uint32_t top = read_cell();
    const RegionScope r{top & 1u, stamp, 0};
    launch_kernel(kernel::tangle::seed_region, grid, block, 0, g_, static_cast<const uint32_t*>(h), h_size, top,
                  stamp);
    stamp = attract(h, h_size, r, stamp + 1);
    // H keeps its free nodes in front; the region follows them.
    const uint32_t rest =
        static_cast<uint32_t>(thrust::partition(thrust::device, h, h + h_size, IsFree{g_.state}) - h);
    const uint32_t* region = h + rest;
    const uint32_t region_size = h_size - rest;

    // What the opponent cannot leave at all is won by the region's player.
    // Once it is removed with its attractor, the search goes on in what is
    // left of H: the regions above stay as they are, outside H.
    close_region(region, region_size, r, true);
    clear_cell();
    launch_kernel(kernel::tangle::find_good, blocks_for(region_size, block), block, 0, g_, region, region_size, r,
                  cell_.get());
    if (read_cell() != 0) {
      stamp = remove_dominion(region, region_size, r, stamp);
      launch_kernel(kernel::tangle::free_region, blocks_for(region_size, block), block, 0, g_, region, region_size,
                    r);
      h_size = static_cast<uint32_t>(thrust::remove_if(thrust::device, h, h + h_size, IsSolved{g_.state}) - h);
      ++found;
      continue;
    }
    launch_kernel(kernel::tangle::clear_bad, blocks_for(region_size, block), block, 0, g_, region, region_size);
    close_region(region, region_size, r, false);
    const uint32_t k = learn_bottom_components(region, region_size, r);
    learned += k;
    stats.tangles += k;
    h_size = rest;
  }
  // The last region of a search without dominions is closed in its
  // sub-game, so it holds a bottom component, and that is a new tangle: a
  // known one would have joined the lowest region its escapes lead to.
  // Finding nothing means the search is broken, and it would repeat.
  if (found == 0 && learned == 0)
    throw std::string("tangle learning: a search found neither a dominion nor a tangle");
}

void TangleSolver::clear_cell() {
  check_cuda(cudaMemset(cell_.get(), 0, sizeof(uint32_t)), "error while clearing a cell");
}

uint32_t TangleSolver::attract(const uint32_t* list, uint32_t size, RegionScope r, uint32_t stamp) {
  launch_kernel(kernel::tangle::init_escape_counts, blocks_for(size, block), block, 0, g_, list, size, r);
  uint32_t* frontier = frontier_.get();
  uint32_t* next = next_frontier_.get();
  clear_cell();
  launch_kernel(kernel::tangle::collect_frontier, blocks_for(size, block), block, 0, g_, list, size, r.start,
                frontier, cell_.get());
  uint32_t frontier_size = read_cell();
  for (;; ++stamp) {
    if (stamp >= tangle_state::free - 1) throw std::string("tangle learning: attractor stamps exhausted");
    ++stats.passes;
    check_stop();
    clear_cell();
    launch_kernel(kernel::tangle::attract_frontier, blocks_for(frontier_size, block), block, 0, g_,
                  static_cast<const uint32_t*>(frontier), frontier_size, r, stamp, next, cell_.get());
    if (store_.size() != 0) {
      const TangleSetView t = store_.view();
      const uint32_t token = ++token_;
      const unsigned int entry_grid = blocks_for(t.n_entries, block);
      launch_kernel(kernel::tangle::block_tangles_by_nodes, entry_grid, block, 0, t, g_, r, token);
      launch_kernel(kernel::tangle::block_tangles_by_escapes, blocks_for(t.n_escapes, block), block, 0, t, g_, r,
                    stamp, token);
      launch_kernel(kernel::tangle::claim_tangle_nodes, entry_grid, block, 0, t, g_, r, token);
      launch_kernel(kernel::tangle::join_tangle_nodes, entry_grid, block, 0, t, g_, r, stamp, token, next,
                    cell_.get());
    }
    frontier_size = read_cell();
    if (frontier_size == 0) return stamp + 1;
    uint32_t* const swap = frontier;
    frontier = next;
    next = swap;
  }
}

void TangleSolver::close_region(const uint32_t* list, uint32_t size, RegionScope r, bool whole_game) {
  uint32_t* frontier = frontier_.get();
  uint32_t* next = next_frontier_.get();
  clear_cell();
  launch_kernel(kernel::tangle::seed_bad, blocks_for(size, block), block, 0, g_, list, size, r, whole_game, frontier,
                cell_.get());
  uint32_t frontier_size = read_cell();
  while (frontier_size != 0) {
    ++stats.closure_passes;
    check_stop();
    clear_cell();
    launch_kernel(kernel::tangle::spread_bad, blocks_for(frontier_size, block), block, 0, g_,
                  static_cast<const uint32_t*>(frontier), frontier_size, r, next, cell_.get());
    frontier_size = read_cell();
    uint32_t* const swap = frontier;
    frontier = next;
    next = swap;
  }
}

uint32_t TangleSolver::learn_bottom_components(const uint32_t* list, uint32_t size, RegionScope r) {
  const unsigned int grid = blocks_for(size, block);
  launch_kernel(kernel::tangle::init_reach, grid, block, 0, g_, list, size);
  do {
    ++stats.component_passes;
    check_stop();
    changed_.clear();
    launch_kernel(kernel::tangle::propagate_reach, grid, block, 0, g_, list, size, r, changed_.get());
  } while (changed_.read());
  do {
    ++stats.component_passes;
    check_stop();
    changed_.clear();
    launch_kernel(kernel::tangle::propagate_spoiled, grid, block, 0, g_, list, size, r, changed_.get());
  } while (changed_.read());
  launch_kernel(kernel::tangle::seed_members, grid, block, 0, g_, list, size, r);
  do {
    ++stats.component_passes;
    check_stop();
    changed_.clear();
    launch_kernel(kernel::tangle::propagate_members, grid, block, 0, g_, list, size, r, changed_.get());
  } while (changed_.read());
  launch_kernel(kernel::tangle::choose_tangle_strategy, grid, block, 0, g_, list, size, r);
  return store_.learn(g_, list, size, r);
}

uint32_t TangleSolver::remove_dominion(const uint32_t* region, uint32_t size, RegionScope r, uint32_t stamp) {
  launch_kernel(kernel::tangle::choose_good_strategy, blocks_for(size, block), block, 0, g_, region, size, r);
  launch_kernel(kernel::tangle::seed_dominion, blocks_for(size, block), block, 0, g_, region, size, r, stamp);
  const RegionScope d{r.player, stamp, 1};
  uint32_t* list = game_list_.get();
  const uint32_t next = attract(list, game_size_, d, stamp + 1);
  launch_kernel(kernel::tangle::finish_dominion, blocks_for(game_size_, block), block, 0, g_,
                static_cast<const uint32_t*>(list), game_size_, d, marks_, strategy_);
  game_size_ = static_cast<uint32_t>(thrust::remove_if(thrust::device, list, list + game_size_, IsSolved{g_.state}) -
                                     list);
  ++stats.dominions;
  return next;
}

void solve_with_tangles(cudaGpuArena& arena, TimeList*) {
  TangleSolver solver;
  solver.solve(arena);
  std::cerr << "tangle learning: " << solver.stats.dominions << " dominions, " << solver.stats.tangles
            << " tangles, " << solver.stats.rounds << " searches, " << solver.stats.regions << " regions, "
            << solver.stats.passes << " attractor passes, " << solver.stats.closure_passes << " closure passes, "
            << solver.stats.component_passes << " component passes" << std::endl;
}
