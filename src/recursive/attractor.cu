#include "recursive/attractor.h"

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "kernels/attraktor_kernel.h"
#include "recursive/device_worklist.h"

namespace {

void clear_flag(bool* flag) {
  const bool no = false;
  copy_array<Space::device, Space::host>(flag, &no, 1);
}

bool read_flag(const bool* flag) {
  bool value = false;
  copy_array<Space::host, Space::device>(&value, flag, 1);
  return value;
}

void finish_pass() {
  check_cuda(cudaDeviceSynchronize(), "error in attractor computation");
  check_last_error("error in attractor computation");
}

}  // namespace

unsigned int compute_attractor(DeviceMemoryPtr& memory, uint32_t* attr_array, unsigned int player,
                               uint32_t* strategy) {
  const unsigned int n = memory.n_nodes;
  DeviceWorklist list(n);
  unsigned int launches = 0;
  for (;;) {
    list.update_global<is_equal>(attr_array, attr_array + n, 1u);
    const unsigned int size = static_cast<unsigned int>(list.size());
    if (size == 0) break;
    clear_flag(memory.go_on);
    launch_kernel(player == 0 ? kernel::attraktor_forward_even : kernel::attraktor_forward_odd,
                  blocks_for(size, 256), 256, 0, memory.go_on, memory.owner, memory.n_succ, memory.succ_begin,
                  memory.succ_array, list.get_raw_pointer(), size, attr_array, strategy);
    ++launches;
    finish_pass();
    if (!read_flag(memory.go_on)) break;
  }
  return launches;
}

unsigned int compute_attractor(cudaGpuArena& arena, uint32_t* attr_array, bool* changed, unsigned int n_blocks,
                               unsigned int player, uint32_t* strategy) {
  const DeviceArena& d = arena.device;
  unsigned int launches = 0;
  do {
    clear_flag(changed);
    launch_kernel(player == 0 ? kernel::attraktor_forward_even_no_wl : kernel::attraktor_forward_odd_no_wl, n_blocks,
                  256, 0, changed, d.owner, d.succ.count, d.succ.begin, d.succ.targets, arena.n_nodes, attr_array,
                  strategy);
    ++launches;
    finish_pass();
  } while (read_flag(changed));
  return launches;
}
