#pragma once
// The range part of the Korrel solver: small progress measures on one range
// of whole SCCs of the normalised game, with the launch configuration and
// the per-range component bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/scoped_device_array.h"
#include "host/types.h"

namespace Korrel {

// The device arrays of the normalised game that a range solve reads and
// rewrites: won marks go into color, dropped edges shorten the lists.
struct DeviceGame {
  uint32_t n_nodes = 0;
  color_t* color = nullptr;
  uint8_t* owner = nullptr;
  uint32_t* n_succ = nullptr;
  const uint32_t* succ_begin = nullptr;
  uint32_t* succ_array = nullptr;
  const uint32_t* scc_id = nullptr;  // SCC words in the sorted order
};

// A failed rank count. It carries the two lines to report (the failure and a
// hint); the entry point writes them and ends the run with status -1.
struct RankCountFailure {
  std::string message;
};

// Block size for kernels that need bytes_per_thread of shared memory per
// thread: the largest power-of-two fraction of largest_block that fits and
// leaves room for two blocks per multiprocessor, not going below 64 for the
// latter. Warns on standard error when it has to go below either. Throws
// when not even one thread's share fits.
uint32_t choose_block_size(uint32_t n_nodes, uint32_t bytes_per_thread, uint32_t largest_block,
                           const cudaDeviceProp& properties);

// rank_counter[k] = the largest number of nodes of colour 2k + 3 in one SCC
// of the range first .. last - 1 (n_sccs SCCs). rank_counter is freed and
// re-allocated for n_ranks entries. Failures become RankCountFailure.
void count_ranks(ScopedDeviceArray<uint32_t>& rank_counter, const DeviceGame& game, uint16_t n_ranks, uint32_t first,
                 uint32_t last, uint32_t n_sccs);
// The same count on the host, from copies of the range's colours and words;
// what count_ranks does when built with PARALLEL_COUNT 0.
void count_ranks_on_host(ScopedDeviceArray<uint32_t>& rank_counter, const DeviceGame& game, uint16_t n_ranks,
                         uint32_t first, uint32_t last);

// Solves the SCCs scc_begin[range_start] .. scc_begin[range_end] - 1 (to the
// last node when range_end is the end of scc_begin). Every edge leaving the
// range must lead to a node that already carries a won mark. Afterwards
// every node of the range carries one.
void solve_range(const DeviceGame& game, uint16_t n_ranks, const std::vector<uint32_t>& scc_begin,
                 std::size_t range_start, std::size_t range_end, const cudaDeviceProp& properties);

}  // namespace Korrel
