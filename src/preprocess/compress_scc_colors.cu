#include <vector>

#include "arena/gpu_arena.h"
#include "common/device_array.h"
#include "common/device_vector.h"
#include "common/launch.h"
#include "kernels/preproc_kernels.h"
#include "preprocess/cuda_preprocess.h"

namespace preprocess {

color_t compress_scc_colors(const uint32_t* scc_id, cudaGpuArena& arena, uint32_t word) {
  const uint32_t n = arena.n_nodes;
  const std::size_t colors = static_cast<std::size_t>(arena.max_color) + 1;
  const unsigned int grid = blocks_for(n, 256);
  DeviceVector<color_t> used(colors, 0);
  launch_kernel(kernel::preproc::determine_used_colors, grid, 256, 0, scc_id, word, get_raw_pointer(used),
                static_cast<const color_t*>(arena.device.color), n);
  std::vector<color_t> table(colors);
  copy_array<Space::host, Space::device>(table.data(), get_raw_pointer(used), colors);

  // Walk from the most significant colour: equal parities merge, each change
  // of parity opens the next number.
  uint32_t count = 2;
  const auto step = [&](uint32_t c, uint32_t& parity) {
    if (table[c] == 0) return;
    if ((c & 1u) != parity) ++count;
    if (count > 65535) throw std::string("Overflow in rank: adapt color_t.\n");
    table[c] = static_cast<color_t>(count);
    parity = c & 1u;
  };
  if (arena.min_parity) {
    uint32_t parity = arena.min_color & 1u;
    for (uint32_t c = arena.min_color; c <= arena.max_color; ++c) step(c, parity);
  } else {
    uint32_t parity = arena.max_color & 1u;
    for (uint32_t c = arena.max_color + 1u; c-- > 0;) step(c, parity);
  }

  copy_array<Space::device, Space::host>(get_raw_pointer(used), table.data(), colors);
  launch_kernel(kernel::preproc::set_colors, grid, 256, 0, scc_id, word, arena.device.color,
                static_cast<const color_t*>(get_raw_pointer(used)), n);
  return static_cast<color_t>(count + 1);
}

}  // namespace preprocess
