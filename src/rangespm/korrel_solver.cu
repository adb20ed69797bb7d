#include "rangespm/korrel_solver.h"

#include <thrust/execution_policy.h>
#include <thrust/fill.h>
#include <thrust/functional.h>
#include <thrust/scan.h>

#include <algorithm>
#include <iostream>
#include <new>
#include <utility>

#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/device_flag.h"
#include "common/launch.h"
#include "kernels/kernel_spm.h"

#ifndef PARALLEL_COUNT
#define PARALLEL_COUNT 1
#endif

namespace Korrel {

namespace {

const unsigned int count_block = 256;

RankCountFailure rank_count_failure(const std::string& text) {
  return RankCountFailure{"Korrel::count_ranks: " + text +
                          "\n(In case of to little memory, try to compile Korrel with #define PARALLEL_COUNT 0.)"};
}

#if PARALLEL_COUNT
// One count per SCC and rank in a table (count x n_ranks words, half of what
// the range's measures take next), then the largest of each rank, without a
// launch or a copy per rank.
void count_ranks_parallel(ScopedDeviceArray<uint32_t>& rank_counter, const DeviceGame& game, uint16_t n_ranks,
                          uint32_t first, uint32_t last) {
  const uint32_t count = last - first;
  const LaunchShape shape = shape_for(count, count_block);
  ScopedDeviceArray<uint32_t> starts(count), counts(static_cast<std::size_t>(count) * n_ranks);
  thrust::fill(thrust::device, counts.get(), counts.get() + static_cast<std::size_t>(count) * n_ranks, 0u);
  launch_kernel(kernel::small_progress_measure::mark_scc_starts, shape.grid, shape.block, 0, starts.get(), game.scc_id,
                count, first);
  check_last_error("finding the SCCs failed: ");
  thrust::inclusive_scan(thrust::device, starts.get(), starts.get() + count, starts.get(), thrust::maximum<uint32_t>());
  launch_kernel(kernel::small_progress_measure::count_ranks_per_scc, shape.grid, shape.block, 0, counts.get(),
                static_cast<const uint32_t*>(starts.get()), static_cast<const color_t*>(game.color), n_ranks, count,
                first);
  check_last_error("counting the ranks failed: ");
  launch_kernel(kernel::small_progress_measure::keep_largest_rank_counts, shape.grid, shape.block, 0,
                rank_counter.get(), static_cast<const uint32_t*>(counts.get()),
                static_cast<const uint32_t*>(starts.get()), n_ranks, count);
  check_last_error("counting the ranks failed: ");
  counts.release();
  starts.release();
}
#endif

}  // namespace

uint32_t choose_block_size(uint32_t /*n_nodes*/, uint32_t bytes_per_thread, uint32_t largest_block,
                           const cudaDeviceProp& properties) {
  const uint32_t threads_per_mp = static_cast<uint32_t>(properties.maxThreadsPerMultiProcessor);
  uint32_t h = bytes_per_thread == 0 ? threads_per_mp
                                     : static_cast<uint32_t>(properties.sharedMemPerBlock / bytes_per_thread);
  if (threads_per_mp < h) h = threads_per_mp;
  if (h == 0)
    throw "Korrel::choose_block_size: one thread needs " + std::to_string(bytes_per_thread) +
        " bytes of shared memory, more than the " + std::to_string(properties.sharedMemPerBlock) +
        " bytes of a block.\n";
  uint32_t m = largest_block;
  while (m > h) m /= 2;
  while (m > 64 && h / m < 2) m /= 2;
  if (m < 64) std::cerr << "Warning: block_size is less than " << 64 << std::endl;
  if (h / m < 2) std::cerr << "Warning: average number of blocks per MP is less than " << 2 << std::endl;
  return m;
}

void count_ranks(ScopedDeviceArray<uint32_t>& rank_counter, const DeviceGame& game, uint16_t n_ranks, uint32_t first,
                 uint32_t last, uint32_t /*n_sccs*/) {
  try {
    rank_counter.release();
    rank_counter.allocate(n_ranks);
    thrust::fill(thrust::device, rank_counter.get(), rank_counter.get() + n_ranks, 0u);
#if PARALLEL_COUNT
    count_ranks_parallel(rank_counter, game, n_ranks, first, last);
#else
    count_ranks_on_host(rank_counter, game, n_ranks, first, last);
#endif
  } catch (const std::string& text) {
    throw rank_count_failure(text);
  } catch (const std::bad_alloc& failure) {
    // Thrust's temporaries report a failed allocation this way.
    throw rank_count_failure(failure.what());
  }
}

void count_ranks_on_host(ScopedDeviceArray<uint32_t>& rank_counter, const DeviceGame& game, uint16_t n_ranks,
                         uint32_t first, uint32_t last) {
  const uint32_t count = last - first;
  std::vector<color_t> color(count);
  std::vector<uint32_t> word(count);
  copy_array<Space::host, Space::device>(color.data(), game.color + first, count);
  copy_array<Space::host, Space::device>(word.data(), game.scc_id + first, count);
  std::vector<uint32_t> largest(n_ranks, 0), in_scc(n_ranks, 0);
  for (uint32_t t = 0; t < count; ++t) {
    if (t > 0 && word[t] != word[t - 1]) std::fill(in_scc.begin(), in_scc.end(), 0u);
    const color_t c = color[t];
    if (c < 3 || !(c & 1u) || (c - 3u) / 2u >= n_ranks) continue;
    const uint32_t k = (c - 3u) / 2u;
    largest[k] = std::max(largest[k], ++in_scc[k]);
  }
  rank_counter.release();
  rank_counter.allocate(n_ranks);
  if (n_ranks != 0) copy_array<Space::device, Space::host>(rank_counter.get(), largest.data(), n_ranks);
}

void solve_range(const DeviceGame& game, uint16_t n_ranks, const std::vector<uint32_t>& scc_begin,
                 std::size_t range_start, std::size_t range_end, const cudaDeviceProp& properties) {
  const uint32_t first = scc_begin.at(range_start);
  const uint32_t last = range_end < scc_begin.size() ? scc_begin[range_end] : game.n_nodes;
  if (last <= first) throw std::string("Korrel::solve_range: range is empty.\n");
  // Every colour of 3 or more needs its component.
  if (n_ranks == 0) throw std::string("Korrel::solve_range: a measure needs at least one component.\n");
  const uint32_t count = last - first;

  // A small range takes a block of its size (but 64 threads at least, below
  // which the choice warns).
  const uint32_t block = choose_block_size(count, n_ranks * 4u, std::max(64u, shape_for(count).block), properties);
  const unsigned int grid = blocks_for(count, block);
  const std::size_t shared_bytes = static_cast<std::size_t>(block) * n_ranks * 4u;

  ScopedDeviceArray<uint32_t> rank_counter;
  count_ranks(rank_counter, game, n_ranks, first, last, static_cast<uint32_t>(range_end - range_start));

  const std::size_t rows = static_cast<std::size_t>(count) * n_ranks;
  // Lifting is in place: valuation A holds the measures, and the first count
  // words of B are the nodes' version words (kernels/spm_in_place.h).
  ScopedDeviceArray<int> valuation_a(rows), valuation_b(rows);
  thrust::fill(thrust::device, valuation_a.get(), valuation_a.get() + rows, 0);
  thrust::fill(thrust::device, valuation_b.get(), valuation_b.get() + rows, 0);
  DeviceFlag go_on("Korrel::solve_range");

  int* const read = valuation_a.get();
  unsigned int* const versions = reinterpret_cast<unsigned int*>(valuation_b.get());
  // The change stamps take the next count words of B where it has them.
  unsigned int* const stamps = n_ranks >= 2 ? versions + count : nullptr;

  // The range's own predecessor lists, for the chains of the lifting passes
  // (the arena's were freed after the SCC decomposition).
  ScopedDeviceArray<uint32_t> pred_begin(static_cast<std::size_t>(count) + 1), pred_cursor(count);
  thrust::fill(thrust::device, pred_begin.get(), pred_begin.get() + count + 1, 0u);
  const LaunchShape per_node = shape_for(count, count_block);
  launch_kernel(kernel::small_progress_measure::count_range_predecessors, per_node.grid, per_node.block, 0,
                pred_begin.get(), count, first, static_cast<const uint32_t*>(game.n_succ), game.succ_begin,
                static_cast<const uint32_t*>(game.succ_array));
  check_last_error("Korrel::solve_range: counting predecessors failed: ");
  thrust::exclusive_scan(thrust::device, pred_begin.get(), pred_begin.get() + count + 1, pred_begin.get(), 0u);
  uint32_t n_preds = 0;
  copy_array<Space::host, Space::device>(&n_preds, pred_begin.get() + count, 1);
  copy_array<Space::device, Space::device>(pred_cursor.get(), pred_begin.get(), count);
  ScopedDeviceArray<uint32_t> pred_array(std::max<uint32_t>(n_preds, 1));
  launch_kernel(kernel::small_progress_measure::fill_range_predecessors, per_node.grid, per_node.block, 0,
                pred_cursor.get(), pred_array.get(), count, first, static_cast<const uint32_t*>(game.n_succ),
                game.succ_begin, static_cast<const uint32_t*>(game.succ_array));
  check_last_error("Korrel::solve_range: listing predecessors failed: ");

  // Passes run in batches between two reads of go_on; every pass lifts every
  // node of the range, so a batch whose last pass changed and put off
  // nothing ends the loop. Chains are short in the first batches.
  unsigned int batch_pass = 0;
  run_until_unchanged(go_on, "Korrel::solve_range", [&] {
    const unsigned int budget = 64u << std::min(2u * (batch_pass / 4), 6u);
    ++batch_pass;
    launch_kernel(kernel::small_progress_measure::iteration_range_in_place, grid, block, shared_bytes, go_on.get(),
                  read, versions, static_cast<const uint32_t*>(rank_counter.get()), n_ranks, count, first, game.color,
                  static_cast<const uint8_t*>(game.owner), game.n_succ, game.succ_begin, game.succ_array,
                  game.scc_id, static_cast<const uint32_t*>(pred_begin.get()),
                  static_cast<const uint32_t*>(pred_array.get()), budget, stamps, batch_pass);
    // A refused launch would leave go_on false and the range undecided.
    check_last_error("Korrel::solve_range: lifting pass failed: ");
  }, PassBatch::backend_largest, true);
  launch_kernel(kernel::small_progress_measure::finalize_range, grid, block, shared_bytes,
                static_cast<const int*>(read), n_ranks, count, first, game.color, game.owner, game.n_succ,
                game.succ_begin, game.succ_array, game.scc_id);
  check_last_error("Korrel::solve_range: finalisation failed: ");

  go_on.release();
  pred_array.release();
  pred_cursor.release();
  pred_begin.release();
  valuation_a.release();
  valuation_b.release();
  rank_counter.release();
}

}  // namespace Korrel
