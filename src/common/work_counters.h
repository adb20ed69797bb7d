#pragma once
// Counters of algorithmic work that kernels report (lifts, raised measures,
// decisions), read by the benchmarks. The host backend counts while counting
// is switched on; the cuda backend compiles the calls to nothing, so the
// device code pays for them only where they are wanted.
#include <cstdint>

#include "common/platform.h"

namespace work_counters {

enum Event : unsigned int {
  lift = 0,      // a node's lift ran to the end of its successor scan
  raise = 1,     // a lift stored a greater measure
  decision = 2,  // a lift gave its node a winner
  skip = 3,      // a pass left out a node whose successors had not changed
  n_events = 4
};

#if defined(PG_CUDA_BACKEND)

__device__ inline void count(Event) {}

#else

inline bool counting = false;
inline uint64_t counts[n_events] = {};

inline void count(Event e) {
  if (counting) __atomic_fetch_add(&counts[e], 1, __ATOMIC_RELAXED);
}
// Clears the counters and switches counting on or off.
inline void start(bool on) {
  for (uint64_t& c : counts) c = 0;
  counting = on;
}
inline uint64_t read(Event e) { return __atomic_load_n(&counts[e], __ATOMIC_RELAXED); }

#endif

}  // namespace work_counters
