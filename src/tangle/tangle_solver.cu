#include "tangle/tangle_solver.h"

#include <iostream>
#include <string>

#include <thrust/copy.h>
#include <thrust/count.h>
#include <thrust/execution_policy.h>
#include <thrust/fill.h>
#include <thrust/remove.h>
#include <thrust/sequence.h>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "kernels/queue_append.h"
#include "tangle/attract_kernels.h"
#include "tangle/bottom_scc_kernels.h"
#include "tangle/frontier_kernels.h"
#include "tangle/region_kernels.h"

namespace {

const unsigned int block = 256;

struct IsTaken {
  const uint32_t* state;
  __host__ __device__ bool operator()(uint32_t v) const { return state[v] != tangle_state::free; }
};
struct HasStamp {
  const uint32_t* state;
  uint32_t stamp;
  __host__ __device__ bool operator()(uint32_t v) const { return state[v] == stamp; }
};
struct IsOpen {
  const uint32_t* state;
  __host__ __device__ bool operator()(uint32_t v) const { return state[v] != tangle_state::solved; }
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
  state_.allocate(n);
  sigma_.allocate(n);
  bad_.allocate(n);
  count_.allocate(n);
  game_list_.allocate(n);
  h_list_.allocate(n);
  queue_.allocate(n);
  bad_list_.allocate(n);
  dominion_queue_.allocate(n);
  cell_.allocate(1);

  g_.n_nodes = n;
  g_.owner = arena.device.owner;
  // A node's colour is read only while it is unsolved, its mark written
  // only once it is solved: the colours can take the marks in place.
  g_.priority = arena.device.color;
  g_.succ_begin = arena.device.succ.begin;
  g_.succ_count = arena.device.succ.count;
  g_.succ = arena.device.succ.targets;
  g_.pred_begin = arena.device.pred.begin;
  g_.pred_count = arena.device.pred.count;
  g_.pred = arena.device.pred.targets;
  g_.state = state_.get();
  g_.sigma = sigma_.get();
  g_.bad = bad_.get();
  g_.count = count_.get();
  marks_ = arena.device.color;
  strategy_ = arena.device.strategy;

  thrust::sequence(thrust::device, game_list_.get(), game_list_.get() + n, 0u);
  thrust::fill(thrust::device, sigma_.get(), sigma_.get() + n, no_strategy);
  check_cuda(cudaMemset(bad_.get(), 0, std::size_t(n) * sizeof(uint32_t)), "error while clearing the bad marks");
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
  uint32_t* const region = queue_.get();
  check_stop();
  ++stats.rounds;
  clear_cell();
  launch_kernel(kernel::tangle::start_search, blocks_for(game_size_, block), block, 0, g_,
                static_cast<const uint32_t*>(game_list_.get()), game_size_, h, cell_.get());
  uint32_t top = read_cell();
  bool top_known = true;
  uint32_t h_size = game_size_;
  uint32_t stamp = 0;
  uint32_t learned = 0;
  uint32_t found = 0;
  RegionScope r;
  uint32_t seeds = 0;
  uint32_t region_size = 0;
  bool kept = false;  // the region is what a dominion left of the last one
  while (h_size > 0) {
    check_stop();
    ++stats.regions;
    // With no region above it left in G, H is all of G: the region is then
    // closed under attraction in G, only its seeds can have an edge out of
    // it (every other opponent node joined once all its successors had), and
    // the closure over G is the closure over H.
    const bool spans_game = h_size == game_size_;
    if (!kept) {
      const unsigned int grid = blocks_for(h_size, block);
      if (!top_known) {
        clear_cell();
        launch_kernel(kernel::tangle::max_priority, grid, block, 0, g_, static_cast<const uint32_t*>(h), h_size,
                      cell_.get());
        top = read_cell();
      }
      top_known = false;
      r = RegionScope{top & 1u, stamp};
      launch_kernel(kernel::tangle::seed_region, grid, block, 0, g_, static_cast<const uint32_t*>(h), h_size, top,
                    r);
      seeds = stamped(h, h_size, r.start, region);
      stamp = attract(region, seeds, h_size, r, stamp + 1, &region_size);
    }

    // What the opponent cannot leave at all is won by the region's player.
    // Once it is removed with its attractor, the search goes on in what is
    // left of H: the regions above stay as they are, outside H.
    uint32_t bad = close_region(region, spans_game ? seeds : region_size, r, true);
    kept = false;
    if (bad < region_size) {
      stamp = remove_dominion(region, region_size, bad, r, spans_game, stamp);
      ++found;
      if (!spans_game) {
        launch_kernel(kernel::tangle::free_region, blocks_for(region_size, block), block, 0, g_,
                      static_cast<const uint32_t*>(region), region_size, r);
        h_size = static_cast<uint32_t>(thrust::remove_if(thrust::device, h, h + h_size, IsSolved{g_.state}) - h);
        continue;
      }
      copy_array<Space::device, Space::device>(h, game_list_.get(), game_size_);
      h_size = game_size_;
      if (bad == 0) continue;  // the whole region was the dominion
      if (store_.size() == 0) {
        // Without tangles, what the dominion's attractor (inside the region)
        // left of a region of all of G is the attractor of the region's
        // remaining seeds in what is left of G, with its stamps and
        // strategies as they are: it is the next region already. (A part of
        // a tangle could stay behind that a new attractor would not take.)
        seeds = static_cast<uint32_t>(thrust::count_if(thrust::device, region, region + seeds, IsOpen{g_.state}));
        region_size =
            static_cast<uint32_t>(thrust::remove_if(thrust::device, region, region + region_size, IsSolved{g_.state}) -
                                  region);
        kept = region_size != 0;
      } else {
        launch_kernel(kernel::tangle::free_region, blocks_for(region_size, block), block, 0, g_,
                      static_cast<const uint32_t*>(region), region_size, r);
      }
      continue;
    }
    if (!spans_game) {
      clear_bad(bad);
      bad = close_region(region, region_size, r, false);
    }
    // A region without good nodes has no bottom component.
    if (bad < region_size) {
      const uint32_t k = learn_bottom_components(region, region_size, r);
      learned += k;
      stats.tangles += k;
    }
    clear_bad(bad);
    // H keeps its free nodes.
    h_size = static_cast<uint32_t>(thrust::remove_if(thrust::device, h, h + h_size, IsTaken{g_.state}) - h);
  }
  // The last region of a search without dominions is closed in its
  // sub-game, so it holds a bottom component, and that is a new tangle: a
  // known one would have joined the lowest region its escapes lead to.
  // Finding nothing means the search is broken, and it would repeat.
  if (found == 0 && learned == 0)
    throw std::string("tangle learning: a search found neither a dominion nor a tangle");
}

uint32_t TangleSolver::stamped(const uint32_t* list, uint32_t size, uint32_t stamp, uint32_t* out) {
  return static_cast<uint32_t>(thrust::copy_if(thrust::device, list, list + size, out, HasStamp{g_.state, stamp}) - out);
}

void TangleSolver::clear_bad(uint32_t bad) {
  launch_kernel(kernel::tangle::clear_bad, blocks_for(bad, block), block, 0, g_,
                static_cast<const uint32_t*>(bad_list_.get()), bad);
}

void TangleSolver::clear_cell() {
  check_cuda(cudaMemset(cell_.get(), 0, sizeof(uint32_t)), "error while clearing a cell");
}

uint32_t TangleSolver::attract(uint32_t* queue, uint32_t seeds, uint32_t limit, RegionScope r, uint32_t stamp,
                               uint32_t* size) {
  uint32_t head = 0;
  uint32_t tail = seeds;
  // Once all it may take has joined, nothing is left to attract.
  for (; head < tail && tail < limit; ++stamp) {
    if (stamp >= tangle_state::free - 1) throw std::string("tangle learning: attractor stamps exhausted");
    ++stats.passes;
    check_stop();
    uint32_t* const next = queue + tail;
    clear_cell();
    launch_kernel(kernel::tangle::attract_frontier, blocks_for(threads_for_entries(tail - head), block), block, 0, g_,
                  static_cast<const uint32_t*>(queue + head), tail - head, r, stamp, next, cell_.get());
    if (store_.size() != 0) {
      if (claim_.get() == nullptr) {
        claim_.allocate(g_.n_nodes);
        thrust::fill(thrust::device, claim_.get(), claim_.get() + g_.n_nodes, tangle_state::none);
        g_.claim = claim_.get();
      }
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
    head = tail;
    tail += read_cell();
  }
  *size = tail;
  return stamp + 1;
}

uint32_t TangleSolver::close_region(const uint32_t* list, uint32_t size, RegionScope r, bool whole_game) {
  uint32_t* const queue = bad_list_.get();
  clear_cell();
  launch_kernel(kernel::tangle::seed_bad, blocks_for(size, block), block, 0, g_, list, size, r, whole_game, queue,
                cell_.get());
  uint32_t head = 0;
  uint32_t tail = read_cell();
  while (head < tail) {
    ++stats.closure_passes;
    check_stop();
    clear_cell();
    launch_kernel(kernel::tangle::spread_bad, blocks_for(threads_for_entries(tail - head), block), block, 0, g_,
                  static_cast<const uint32_t*>(queue + head), tail - head, r, queue + tail, cell_.get());
    head = tail;
    tail += read_cell();
  }
  return tail;
}

uint32_t TangleSolver::learn_bottom_components(const uint32_t* list, uint32_t size, RegionScope r) {
  if (reach_.get() == nullptr) {
    reach_.allocate(g_.n_nodes);
    member_.allocate(g_.n_nodes);
    spoiled_.allocate(g_.n_nodes);
    g_.reach = reach_.get();
    g_.member = member_.get();
    g_.spoiled = spoiled_.get();
    // Entries of nodes outside the region are never taken for its own, but
    // they are read: none rather than whatever the allocation held.
    thrust::fill(thrust::device, member_.get(), member_.get() + g_.n_nodes, tangle_state::none);
  }
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

uint32_t TangleSolver::remove_dominion(const uint32_t* region, uint32_t size, uint32_t bad, RegionScope r,
                                       bool spans_game, uint32_t stamp) {
  uint32_t next = stamp;
  if (spans_game && bad == 0) {
    // The whole region is closed in G: it is its own attractor, and its
    // player's top-priority nodes took a successor in it while closing.
    launch_kernel(kernel::tangle::finish_dominion, blocks_for(size, block), block, 0, g_, region, size, r, marks_,
                  strategy_);
  } else {
    // A region of all of G holds the attractor of its dominion, so that
    // attractor needs only the region's nodes; otherwise it runs over G.
    const RegionScope d{r.player, stamp, 1, spans_game ? 1u : 0u};
    const uint32_t* list = spans_game ? region : game_list_.get();
    const uint32_t list_size = spans_game ? size : game_size_;
    uint32_t* const queue = dominion_queue_.get();
    launch_kernel(kernel::tangle::seed_dominion, blocks_for(list_size, block), block, 0, g_, list, list_size, r, d);
    uint32_t attracted = 0;
    const uint32_t seeds = stamped(list, list_size, d.start, queue);
    clear_bad(bad);
    next = attract(queue, seeds, list_size, d, stamp + 1, &attracted);
    launch_kernel(kernel::tangle::finish_dominion, blocks_for(attracted, block), block, 0, g_,
                  static_cast<const uint32_t*>(queue), attracted, d, marks_, strategy_);
  }
  uint32_t* const list = game_list_.get();
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
