#include "common/lanes.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "common/platform.h"

#if !defined(PG_CUDA_BACKEND)
#include <omp.h>
#endif

bool launches_take_every_core(uint32_t threads) {
#if defined(PG_CUDA_BACKEND)
  (void)threads;
  return true;
#else
  return threads >= hostrt::parallel_launch_threads;
#endif
}

void enter_background_lane(uint32_t n_nodes) {
#if !defined(PG_CUDA_BACKEND)
  hostrt::run_launches_on_this_thread();
  // Thrust's OpenMP system sizes its teams by the calling thread's count.
  omp_set_num_threads(1);
#endif
  const bool shares_cores = launches_take_every_core(n_nodes);
  // On Linux a thread id names one thread: the other threads keep their
  // priority. A refusal only leaves the lane at the others' priority, which
  // is still correct.
  if (shares_cores) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
}
