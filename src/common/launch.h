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

// A grid of blocks of up to `largest` threads for count threads, with no more
// warps than they need: a small launch runs no idle threads (the host backend
// pays for each thread of a block, used or not).
struct LaunchShape {
  unsigned int grid;
  unsigned int block;
};
inline LaunchShape shape_for(unsigned int count, unsigned int largest = 256) {
  const unsigned int warps = count / 32 + (count % 32 != 0 ? 1u : 0u);
  const unsigned int fitting = (warps == 0 ? 1u : warps) * 32;
  const unsigned int block = fitting < largest ? fitting : largest;
  return LaunchShape{blocks_for(count, block), block};
}

#if defined(PG_CUDA_BACKEND)

template <class... Params, class... Args>
void launch_kernel(void (*kernel)(Params...), unsigned int grid, unsigned int block, std::size_t shared_bytes,
                   Args&&... args) {
  // An empty grid means no work; the runtime would refuse it as a bad configuration.
  if (grid == 0) return;
  kernel<<<grid, block, shared_bytes>>>(std::forward<Args>(args)...);
}

template <auto Kernel, class... Args>
void launch_fixed_kernel(unsigned int grid, unsigned int block, std::size_t shared_bytes, Args&&... args) {
  launch_kernel(Kernel, grid, block, shared_bytes, std::forward<Args>(args)...);
}

#else

namespace hostrt {
template <class... Params>
struct LaunchContext {
  void (*kernel)(Params...);
  std::tuple<Params...> args;
};

// Runs body() once for every thread of the block being run, with threadIdx
// set, in index order unless a test mode reorders the threads.
template <class Body>
inline void for_each_thread(const Body& body) {
  const unsigned int threads = blockDim.x;
  const unsigned int* order = thread_permutation(threads);  // null unless a test mode reorders them
  threadIdx = uint3{0, 0, 0};
  if (order != nullptr) {
    for (unsigned int t = 0; t < threads; ++t) {
      threadIdx.x = order[t];
      body();
    }
    return;
  }
  for (unsigned int t = 0; t < threads; ++t) {
    threadIdx.x = t;
    body();
  }
}

template <class... Params>
void run_block(unsigned int /*block*/, const void* context) {
  const LaunchContext<Params...>& launch = *static_cast<const LaunchContext<Params...>*>(context);
  for_each_thread([&] { std::apply(launch.kernel, launch.args); });
}
}  // namespace hostrt

template <class... Params, class... Args>
void launch_kernel(void (*kernel)(Params...), unsigned int grid, unsigned int block, std::size_t shared_bytes,
                   Args&&... args) {
  if (grid == 0) return;
  const hostrt::LaunchContext<Params...> context{kernel, std::tuple<Params...>(std::forward<Args>(args)...)};
  hostrt::run_blocks(grid, block, shared_bytes, &hostrt::run_block<Params...>, &context);
}

namespace hostrt {
// The thread loop of a kernel named at compile time: the call of each thread
// is direct, and where the kernel's body is visible it is inlined (flatten:
// a kernel is not small enough for the compiler to inline it on its own).
template <auto Kernel, class... Params>
__attribute__((flatten)) void run_fixed_block(unsigned int /*block*/, const void* context) {
  const std::tuple<Params...>& args = *static_cast<const std::tuple<Params...>*>(context);
  for_each_thread([&] { std::apply(Kernel, args); });
}

template <auto Kernel, class... Params, class... Args>
void launch_fixed(void (*)(Params...), unsigned int grid, unsigned int block, std::size_t shared_bytes,
                  Args&&... args) {
  if (grid == 0) return;
  const std::tuple<Params...> context(std::forward<Args>(args)...);
  run_blocks(grid, block, shared_bytes, &run_fixed_block<Kernel, Params...>, &context);
}
}  // namespace hostrt

// launch_kernel for a kernel named at compile time, for the hottest loops.
// Called in the file that defines the kernel, it lets the host backend run
// the kernel's body inline in its thread loop instead of one call a thread.
template <auto Kernel, class... Args>
void launch_fixed_kernel(unsigned int grid, unsigned int block, std::size_t shared_bytes, Args&&... args) {
  hostrt::launch_fixed<Kernel>(Kernel, grid, block, shared_bytes, std::forward<Args>(args)...);
}

#endif
