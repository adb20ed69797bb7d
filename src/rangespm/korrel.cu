#include "rangespm/korrel.h"

#include <algorithm>
#include <iostream>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "preprocess/cuda_preprocess.h"

namespace Korrel {

namespace {

DeviceGame device_game(cudaGpuArena& arena, const ScopedDeviceArray<uint32_t>& scc_id) {
  DeviceGame g;
  g.n_nodes = arena.n_nodes;
  g.color = arena.device.color;
  g.owner = arena.device.owner;
  g.n_succ = arena.device.succ.count;
  g.succ_begin = arena.device.succ.begin;
  g.succ_array = arena.device.succ.targets;
  g.scc_id = scc_id.get();
  return g;
}

// Refused before any range is solved: the kernels keep one measure per
// thread in shared memory.
void check_measure_fits(uint16_t n_ranks, const cudaDeviceProp& properties) {
  const std::size_t bytes = static_cast<std::size_t>(n_ranks) * 4u;
  if (bytes > properties.sharedMemPerBlock)
    throw "Korrel::solve: the game needs " + std::to_string(n_ranks) + " measure components (" +
        std::to_string(bytes) + " bytes per thread), more than the " + std::to_string(properties.sharedMemPerBlock) +
        " bytes of shared memory per block.\n";
}

}  // namespace

uint16_t measure_components(color_t color_bound) {
  const int odd_colors = (static_cast<int>(color_bound) - 2) / 2;
  return static_cast<uint16_t>(std::max(1, odd_colors));
}

std::vector<std::pair<std::size_t, std::size_t>> cut_ranges(const std::vector<uint32_t>& scc_begin) {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  std::size_t r = 0;
  while (r < scc_begin.size()) {
    const uint64_t limit = static_cast<uint64_t>(scc_begin[r]) + range_span;
    const std::size_t e = static_cast<std::size_t>(
        std::lower_bound(scc_begin.begin() + static_cast<std::ptrdiff_t>(r), scc_begin.end(), limit,
                         [](uint32_t value, uint64_t bound) { return value < bound; }) -
        scc_begin.begin());
    ranges.emplace_back(r, e);
    r = e;
  }
  return ranges;
}

void preprocess(std::vector<uint32_t>& scc_begin, ScopedDeviceArray<uint32_t>& scc_id, color_t& color_bound,
                color_t& ref_parity, cudaGpuArena& arena) {
  ScopedDeviceArray<uint32_t> scc_rank;
  preprocess::prepare_game(arena, color_bound, ref_parity, scc_id, scc_rank, true, true);
  scc_rank.release();
  preprocess::compute_scc_begin(scc_begin, scc_id.get(), arena);
}

void solve_range(cudaGpuArena& arena, uint16_t n_ranks, const std::vector<uint32_t>& scc_begin,
                 std::size_t range_start, std::size_t range_end, const ScopedDeviceArray<uint32_t>& scc_id,
                 const cudaDeviceProp& properties) {
  solve_range(device_game(arena, scc_id), n_ranks, scc_begin, range_start, range_end, properties);
}

void count_ranks(ScopedDeviceArray<uint32_t>& rank_counter, cudaGpuArena& arena, uint16_t n_ranks, uint32_t first,
                 uint32_t last, const ScopedDeviceArray<uint32_t>& scc_id, uint32_t n_sccs) {
  count_ranks(rank_counter, device_game(arena, scc_id), n_ranks, first, last, n_sccs);
}

bool solve(const std::string& path, std::ostream& out, bool print, bool with_strategy, TimeList* timing) {
  cudaGpuArena arena;
  if (timing) timing->add();
  arena.load(path);
  solve_loaded(arena, timing);
  if (timing) timing->print(out);
  if (print) arena.print_result(out, with_strategy);
  return arena.n_nodes > 0;
}

void solve_loaded(cudaGpuArena& arena, TimeList* timing) {
  // Before the upload: a game whose indices do not fit into SCC words is
  // refused with its own message, not with an allocation failure; and the
  // device is selected and checked as the other solvers do.
  preprocess::check_scc_word_capacity(arena.n_nodes);
  check_cuda(cudaSetDevice(0), "no cuda device found");
  cudaDeviceProp properties;
  check_cuda(cudaGetDeviceProperties(&properties, 0), "cudaGetDeviceProperties failed");
  arena.upload(false);
  if (timing) timing->add("setting up gpu_arena took: ");
  std::cerr << "Nodes: " << arena.n_nodes << std::endl;

  std::vector<uint32_t> scc_begin;
  ScopedDeviceArray<uint32_t> scc_id;
  color_t color_bound = 0;
  color_t ref_parity = 0;
  preprocess(scc_begin, scc_id, color_bound, ref_parity, arena);
  if (timing) timing->add("preprocessing took: ");

  // Games whose non-trivial SCCs have no odd colour above 2 are solved like
  // any other: self-loops, trivial SCCs and escapes still decide nodes.
  const uint16_t n_ranks = measure_components(color_bound);
  check_measure_fits(n_ranks, properties);

  for (const auto& range : cut_ranges(scc_begin))
    solve_range(arena, n_ranks, scc_begin, range.first, range.second, scc_id, properties);

  if (timing) timing->add("solving took: ");
}

}  // namespace Korrel
