#include <algorithm>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "common/scoped_device_array.h"
#include "kernels/preproc_kernels.h"
#include "preprocess/cuda_preprocess.h"

namespace preprocess {

namespace {

// Entries of the colour table of one batch of SCCs (rows of max_color + 1
// entries): bounds the table when there are many SCCs and many colours.
const std::size_t table_entries = std::size_t(1) << 22;

// Turns one SCC's row of used colours into its renaming; returns one more
// than the highest new colour. Walks from the most significant colour: equal
// parities merge, each change of parity opens the next number.
color_t rename_row(color_t* row, const cudaGpuArena& arena) {
  uint32_t count = 2;
  const auto step = [&](uint32_t c, uint32_t& parity) {
    if (row[c] == 0) return;
    if ((c & 1u) != parity) ++count;
    if (count > 65535) throw std::string("Overflow in rank: adapt color_t.\n");
    row[c] = static_cast<color_t>(count);
    parity = c & 1u;
  };
  if (arena.min_parity) {
    uint32_t parity = arena.min_color & 1u;
    for (uint32_t c = arena.min_color; c <= arena.max_color; ++c) step(c, parity);
  } else {
    uint32_t parity = arena.max_color & 1u;
    for (uint32_t c = arena.max_color + 1u; c-- > 0;) step(c, parity);
  }
  return static_cast<color_t>(count + 1);
}

}  // namespace

color_t compress_scc_colors(const uint32_t* scc_id, cudaGpuArena& arena, const std::vector<uint32_t>& words) {
  color_t bound = 2;
  if (words.empty()) return bound;
  const uint32_t n = arena.n_nodes;
  const std::size_t colors = static_cast<std::size_t>(arena.max_color) + 1;
  const LaunchShape shape = shape_for(n);
  const unsigned int grid = shape.grid, block = shape.block;
  std::vector<uint32_t> sorted(words);
  std::sort(sorted.begin(), sorted.end());
  const std::size_t rows = std::min(sorted.size(), std::max<std::size_t>(1, table_entries / colors));

  // The whole workspace, once: the words, one batch's table on the device and
  // on the host. The batches only clear and copy it.
  ScopedDeviceArray<uint32_t> device_words(sorted.size());
  copy_array<Space::device, Space::host>(device_words.get(), sorted.data(), sorted.size());
  ScopedDeviceArray<color_t> table(rows * colors);
  std::vector<color_t> host_table(rows * colors);

  for (std::size_t first = 0; first < sorted.size(); first += rows) {
    const uint32_t count = static_cast<uint32_t>(std::min(rows, sorted.size() - first));
    const uint32_t* batch = device_words.get() + first;
    const std::size_t entries = count * colors;
    check_cuda(cudaMemsetAsync(table.get(), 0, entries * sizeof(color_t), 0),
               "compress_scc_colors: clearing the colour table failed: ");
    launch_kernel(kernel::preproc::determine_used_colors_of_sccs, grid, block, 0, scc_id, batch, count, table.get(),
                  static_cast<uint32_t>(colors), static_cast<const color_t*>(arena.device.color), n);
    check_last_error("compress_scc_colors: finding the used colours failed: ");
    copy_array<Space::host, Space::device>(host_table.data(), table.get(), entries);
    for (uint32_t k = 0; k < count; ++k) bound = std::max(bound, rename_row(host_table.data() + k * colors, arena));
    copy_array<Space::device, Space::host>(table.get(), host_table.data(), entries);
    launch_kernel(kernel::preproc::set_colors_of_sccs, grid, block, 0, scc_id, batch, count, arena.device.color,
                  static_cast<const color_t*>(table.get()), static_cast<uint32_t>(colors), n);
    check_last_error("compress_scc_colors: renaming the colours failed: ");
  }
  table.release();
  device_words.release();
  return bound;
}

color_t compress_scc_colors(const uint32_t* scc_id, cudaGpuArena& arena, uint32_t word) {
  return compress_scc_colors(scc_id, arena, std::vector<uint32_t>{word});
}

}  // namespace preprocess
