#pragma once
// The --timeout stop: the solvers run their loops to the end with no way in,
// so a helper thread ends the process when time is up. Nothing has been
// written to standard output or to the solution file by then: the results are
// written only after the watchdog is stopped.
#include <condition_variable>
#include <mutex>
#include <thread>

class Watchdog {
 public:
  // Does nothing when seconds is 0.
  explicit Watchdog(double seconds);
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() { stop(); }
  // From here on the process runs to its end.
  void stop();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
  std::thread thread_;
};

// The status and the message ("pgsolve: " and this) of a run that timed out.
const int timeout_status = 1;
const char* const timeout_message = "time limit exceeded, solve abandoned";
