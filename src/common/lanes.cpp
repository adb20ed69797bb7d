#include "common/lanes.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#if !defined(PG_CUDA_BACKEND)
#include <omp.h>

#include "common/platform.h"
#endif

void enter_background_lane() {
  // On Linux a thread id names one thread: the other threads keep their
  // priority. A refusal only leaves the lane at the same priority as the
  // others, which is still correct.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#if !defined(PG_CUDA_BACKEND)
  // Thrust's OpenMP system sizes its teams by the calling thread's count.
  hostrt::run_launches_on_this_thread();
  omp_set_num_threads(1);
#endif
}
