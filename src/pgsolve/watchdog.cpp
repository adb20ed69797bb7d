#include "pgsolve/watchdog.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

Watchdog::Watchdog(double seconds) {
  if (seconds <= 0) return;
  thread_ = std::thread([this, seconds] {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto limit = std::chrono::duration<double>(seconds);
    if (wake_.wait_for(lock, limit, [this] { return stopped_; })) return;
    // Straight to the descriptor and out: the solving thread may hold any lock,
    // so neither the streams nor the exit handlers are safe to use here.
    const std::string line = std::string("pgsolve: ") + timeout_message + "\n";
    const ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
    _exit(timeout_status);
  });
}

void Watchdog::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}
