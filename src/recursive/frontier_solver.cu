#include <thrust/copy.h>
#include <thrust/execution_policy.h>
#include <thrust/remove.h>
#include <thrust/sequence.h>
#include <thrust/transform_reduce.h>

#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/launch.h"
#include "kernels/frontier_kernel.h"
#include "recursive/frontier_solver.h"

namespace {

const unsigned int block_size = 256;

struct ColorRange {
  unsigned int lo;
  unsigned int hi;
};
struct ColorOf {
  const color_t* color;
  __host__ __device__ ColorRange operator()(unsigned int v) const { return ColorRange{color[v], color[v]}; }
};
struct Widen {
  __host__ __device__ ColorRange operator()(const ColorRange& a, const ColorRange& b) const {
    return ColorRange{a.lo < b.lo ? a.lo : b.lo, a.hi > b.hi ? a.hi : b.hi};
  }
};
struct HasColor {
  const color_t* color;
  unsigned int value;
  __host__ __device__ bool operator()(unsigned int v) const { return color[v] == value; }
};
struct HasMark {
  const color_t* won;
  unsigned int mark;
  __host__ __device__ bool operator()(unsigned int v) const { return won[v] == mark; }
};
// After split_level: the attracted nodes are those left at the level.
struct AtLevel {
  const uint32_t* level;
  unsigned int value;
  __host__ __device__ bool operator()(unsigned int v) const { return level[v] == value; }
};

unsigned int blocks(uint32_t n) { return blocks_for(n, block_size); }

}  // namespace

FrontierSolver::FrontierSolver(uint32_t n) : attractor(n), n_nodes_(n) {
  nodes_.allocate(n);
  level_.allocate(n);
  color_.allocate(n);
}

void FrontierSolver::solve(cudaGpuArena& arena) {
  if (n_nodes_ == 0) return;
  if (arena.n_nodes != n_nodes_) throw std::string("FrontierSolver::solve: the arena has another size");
  if (arena.device.pred.begin == nullptr)
    throw std::string("FrontierSolver::solve: no predecessor lists on the device");
  arena_ = &arena;
  calls = 0;
  uint32_t* nodes = nodes_.get();
  thrust::sequence(thrust::device, nodes, nodes + n_nodes_);
  check_cuda(cudaMemset(level_.get(), 0, static_cast<std::size_t>(n_nodes_) * sizeof(uint32_t)),
             "error clearing the levels");
  check_cuda(cudaMemcpy(color_.get(), arena.device.color, static_cast<std::size_t>(n_nodes_) * sizeof(color_t),
                        cudaMemcpyDeviceToDevice),
             "error copying the colours");

  // The recursion runs on a stack of frames: its depth grows with the
  // number of distinct colours.
  std::vector<Frame> waiting;
  Frame frame{0, 0, n_nodes_, 0, 0};
  Next next = pass(frame);
  for (;;) {
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) throw FrontierStopped();
    if (next == Next::descend) {
      waiting.push_back(frame);
      frame = Frame{frame.level + 1, frame.begin, frame.split, 0, 0};
      next = pass(frame);
      continue;
    }
    if (waiting.empty()) break;
    frame = waiting.back();
    waiting.pop_back();
    next = resume(frame);
  }
  if (arena.device.strategy != nullptr) {
    launch_kernel(kernel::frontier::drop_losing_moves, blocks(n_nodes_), block_size, 0, n_nodes_, arena.device.color,
                  arena.device.owner, arena.device.strategy);
  }
  check_cuda(cudaDeviceSynchronize(), "error in the recursive solver");
  check_last_error("error in the recursive solver");
}

// One pass over the sub-game, up to its recursive call: attract to the top
// colour for its player and hand the rest to the recursive call.
FrontierSolver::Next FrontierSolver::pass(Frame& frame) {
  ++calls;
  const DeviceArena& d = arena_->device;
  uint32_t* range = nodes_.get() + frame.begin;
  const uint32_t s = frame.end - frame.begin;
  if (s == 0) return Next::returned;
  const color_t* color = color_.get();
  const ColorRange extremes =
      thrust::transform_reduce(thrust::device, range, range + s, ColorOf{color}, ColorRange{65535u, 0u}, Widen{});
  if (extremes.lo == extremes.hi) {
    launch_kernel(kernel::frontier::mark_region, blocks(s), block_size, 0, range, s, d.color, extremes.hi & 1u, d.owner,
                  d.succ.count, d.succ.begin, d.succ.targets, level_.get(), frame.level, d.strategy);
    check_last_error("error marking won nodes");
    return Next::returned;
  }
  frame.player = extremes.hi & 1u;
  uint32_t* queue = attractor.queue();
  const uint32_t targets = static_cast<uint32_t>(
      thrust::copy_if(thrust::device, range, range + s, queue, HasColor{color, extremes.hi}) - queue);
  const uint32_t attracted = attractor.attract(d, level_.get(), frame.level, range, s, targets, frame.player, true);
  frame.split = split(frame, attracted);
  return Next::descend;
}

// After the recursive call: attract to what the opponent won there. The
// player wins everything when that is nothing; otherwise the opponent's
// attractor is won by the opponent and the rest is solved again.
FrontierSolver::Next FrontierSolver::resume(Frame& frame) {
  const DeviceArena& d = arena_->device;
  uint32_t* range = nodes_.get() + frame.begin;
  const uint32_t s = frame.end - frame.begin;
  const unsigned int opponent = 1u - frame.player;
  uint32_t* queue = attractor.queue();
  // Only the recursive call's nodes count: marks in the attractor are stale.
  const uint32_t targets = static_cast<uint32_t>(
      thrust::copy_if(thrust::device, range, nodes_.get() + frame.split, queue, HasMark{d.color, opponent}) - queue);
  if (targets == 0) {
    launch_kernel(kernel::frontier::mark_won, blocks(s), block_size, 0, range, s, d.color, frame.player);
    check_last_error("error marking won nodes");
    return Next::returned;
  }
  const uint32_t attracted = attractor.attract(d, level_.get(), frame.level, range, s, targets, opponent, false);
  launch_kernel(kernel::frontier::mark_won, blocks(attracted), block_size, 0, queue, attracted, d.color, opponent);
  check_last_error("error marking won nodes");
  const uint32_t rest = split(frame, attracted);
  frame = Frame{frame.level + 1, frame.begin, rest, 0, 0};
  if (rest == frame.begin) return Next::returned;
  return pass(frame);
}

uint32_t FrontierSolver::split(const Frame& frame, uint32_t attracted) {
  uint32_t* range = nodes_.get() + frame.begin;
  const uint32_t s = frame.end - frame.begin;
  launch_frontier_split_level(blocks(s), block_size, range, s, attractor.state(), frame.level, level_.get());
  check_last_error("error splitting the sub-game");
  uint32_t* kept = thrust::remove_if(thrust::device, range, range + s, AtLevel{level_.get(), frame.level});
  const uint32_t rest = static_cast<uint32_t>(kept - range);
  if (rest + attracted != s) throw std::string("FrontierSolver: the attractor does not match its sub-game");
  if (attracted != 0) {
    check_cuda(cudaMemcpy(kept, attractor.queue(), static_cast<std::size_t>(attracted) * sizeof(uint32_t),
                          cudaMemcpyDeviceToDevice),
               "error moving the attractor");
  }
  return frame.begin + rest;
}
