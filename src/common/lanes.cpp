#include "common/lanes.h"

#include <string>

#include <sched.h>
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

namespace {

// The caller's allowed cores, or an empty set when they cannot be read.
cpu_set_t allowed_cores() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) != 0) CPU_ZERO(&cores);
  return cores;
}

}  // namespace

void* LaneThread::run(void* lane) {
  // The thread started pinned to one core (its own mask reads that core
  // alone); from here on it goes where its caller may.
  LaneThread& self = *static_cast<LaneThread*>(lane);
  if (CPU_COUNT(&self.cores_) > 0) (void)pthread_setaffinity_np(pthread_self(), sizeof self.cores_, &self.cores_);
  self.body_();
  return nullptr;
}

LaneThread::LaneThread(std::function<void()> body) : body_(std::move(body)), cores_(allowed_cores()) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) throw std::string("a lane's thread could not be started");
  // Any allowed core but the caller's; with one core the thread starts there.
  const int here = sched_getcpu();
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (cpu == here || !CPU_ISSET(cpu, &cores_)) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    (void)pthread_attr_setaffinity_np(&attr, sizeof one, &one);
    break;
  }
  const int started = pthread_create(&thread_, &attr, &LaneThread::run, this);
  pthread_attr_destroy(&attr);
  if (started != 0) throw std::string("a lane's thread could not be started");
}

void LaneThread::join() {
  if (joined_) return;
  joined_ = true;
  pthread_join(thread_, nullptr);
}
