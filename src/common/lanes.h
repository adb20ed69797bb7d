#pragma once
// Lanes: host threads that drive solvers side by side, as the race of `auto`
// does. A background lane takes only what the other lanes leave of the cores.
#include <cstdint>
#include <functional>

#include <pthread.h>
#include <sched.h>

// Makes the calling thread a background lane for a game of n_nodes nodes. On
// the host backend its kernels and Thrust calls run on the thread alone
// instead of on the shared workers. When the foreground's launches over such
// a game take every core, the thread also runs at a lower OS priority, so
// that the foreground keeps the cores and the background fills what they
// leave idle. Smaller games keep the priority: their launches take one core
// each, and a lowered lane would wait behind any other process on the
// machine. Lasts for the thread's life: call it on a thread made for the lane.
void enter_background_lane(uint32_t n_nodes);

// Whether a lane's launches over this many threads take every core of the
// host: on the host backend smaller launches run on the launching thread
// alone; on a GPU the lanes' host threads always share the cores.
bool launches_take_every_core(uint32_t threads);

// A lane's own thread, started on another core than the caller's and joined
// when it goes. A new thread otherwise starts on its parent's core, and on
// this kind of machine waited there 1.5 to 3 ms until the scheduler moved one
// of the two: as long as a small game's whole race. Once running, the thread
// may move to any core the process may use.
class LaneThread {
 public:
  explicit LaneThread(std::function<void()> body);
  ~LaneThread() { join(); }
  void join();
  LaneThread(const LaneThread&) = delete;
  LaneThread& operator=(const LaneThread&) = delete;

 private:
  static void* run(void* lane);

  std::function<void()> body_;
  cpu_set_t cores_;  // the caller's cores, which the thread may use once started
  pthread_t thread_{};
  bool joined_ = false;
};
