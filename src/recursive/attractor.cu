#include "recursive/attractor.h"

#include <algorithm>
#include <cstddef>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/launch.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "kernels/attraktor_kernel.h"
#include "recursive/device_worklist.h"

namespace {

// Passes launched between two reads of the changed flag grow up to this many
// while the loop keeps changing: on a GPU a read is a synchronous round trip,
// and a pass after the fixpoint changes nothing, so the result stays the
// same. Where reads cost nothing, every pass is followed by one.
const unsigned int max_passes_per_read = pg_reads_are_round_trips ? 16 : 1;

}  // namespace

unsigned int compute_attractor(DeviceMemoryPtr& memory, uint32_t* attr_array, unsigned int player,
                               uint32_t* strategy) {
  DeviceWorklist list(memory.n_nodes);
  return compute_attractor(memory, attr_array, player, list, strategy);
}

// The compaction that sizes each pass also tells whether the last pass
// changed anything (nodes only leave state 1), so no flag travels; the
// kernels still set memory.go_on, which nothing here reads.
unsigned int compute_attractor(DeviceMemoryPtr& memory, uint32_t* attr_array, unsigned int player,
                               DeviceWorklist& list, uint32_t* strategy) {
  const unsigned int n = memory.n_nodes;
  unsigned int launches = 0;
  std::size_t previous = std::size_t(n) + 1;
  for (;;) {
    list.update_global<is_equal>(attr_array, attr_array + n, 1u);
    const std::size_t size = list.size();
    if (size == 0 || size == previous) break;
    previous = size;
    launch_kernel(player == 0 ? kernel::attraktor_forward_even : kernel::attraktor_forward_odd,
                  blocks_for(static_cast<unsigned int>(size), 256), 256, 0, memory.go_on, memory.owner,
                  memory.n_succ, memory.succ_begin, memory.succ_array, list.get_raw_pointer(),
                  static_cast<unsigned int>(size), attr_array, strategy);
    ++launches;
    // Waits for the pass before its list is compacted, so that a failed
    // pass is reported here rather than by the compaction.
    check_cuda(cudaDeviceSynchronize(), "error in attractor computation");
    check_last_error("error in attractor computation");
  }
  return launches;
}

unsigned int compute_attractor(cudaGpuArena& arena, uint32_t* attr_array, bool* changed, unsigned int n_blocks,
                               unsigned int player, uint32_t* strategy) {
  const DeviceArena& d = arena.device;
  unsigned int launches = 0;
  for (unsigned int batch = 1;; batch = std::min(2 * batch, max_passes_per_read)) {
    check_cuda(cudaMemset(changed, 0, 1), "error clearing the attractor's changed flag");
    for (unsigned int k = 0; k < batch; ++k) {
      // Only the batch's last pass reports into the byte that is read: when
      // it changed nothing, the fixpoint is reached.
      bool* flag = k + 1 == batch ? changed : changed + 1;
      launch_attractor_pass_no_wl(player, n_blocks, flag, d.owner, d.succ.count, d.succ.begin, d.succ.targets,
                                  arena.n_nodes, attr_array, strategy);
      check_last_error("error in attractor computation");
      ++launches;
    }
    bool again = false;
    check_cuda(cudaMemcpy(&again, changed, 1, cudaMemcpyDeviceToHost), "error in attractor computation");
    if (!again) break;
  }
  return launches;
}
