#pragma once
// Every kernel launch of the system goes through launch_kernel, so that kernels
// are written once: the cuda backend uses the launch syntax, the host backend
// runs every block and thread of the grid on the CPU.
#include <cstddef>
#include <tuple>
#include <utility>
#include "common/platform.h"

// Blocks needed for count threads in blocks of size block.
inline unsigned int blocks_for(unsigned int count, unsigned int block) {
  return count / block + (count % block != 0 ? 1u : 0u);
}

#if defined(PG_CUDA_BACKEND)

template <class... Params, class... Args>
void launch_kernel(void (*kernel)(Params...), unsigned int grid, unsigned int block, std::size_t shared_bytes,
                   Args&&... args) {
  // An empty grid means no work; the runtime would refuse it as a bad configuration.
  if (grid == 0) return;
  kernel<<<grid, block, shared_bytes>>>(std::forward<Args>(args)...);
}

#else

namespace hostrt {
template <class... Params>
struct LaunchContext {
  void (*kernel)(Params...);
  std::tuple<Params...> args;
};

template <class... Params>
void run_block(unsigned int /*block*/, const void* context) {
  const LaunchContext<Params...>& launch = *static_cast<const LaunchContext<Params...>*>(context);
  const unsigned int threads = blockDim.x;
  const unsigned int* order = thread_permutation(threads);  // null unless a test mode reorders them
  for (unsigned int t = 0; t < threads; ++t) {
    threadIdx = uint3{order == nullptr ? t : order[t], 0, 0};
    std::apply(launch.kernel, launch.args);
  }
}
}  // namespace hostrt

template <class... Params, class... Args>
void launch_kernel(void (*kernel)(Params...), unsigned int grid, unsigned int block, std::size_t shared_bytes,
                   Args&&... args) {
  if (grid == 0) return;
  const hostrt::LaunchContext<Params...> context{kernel, std::tuple<Params...>(std::forward<Args>(args)...)};
  hostrt::run_blocks(grid, block, shared_bytes, &hostrt::run_block<Params...>, &context);
}

#endif
