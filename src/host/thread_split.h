#pragma once
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

// Runs work(0) .. work(count - 1) at once, work(0) on the calling thread and
// the others on threads of their own (or on the calling thread, one after
// another, when no thread can be had). Returns when all are done; work must
// not throw.
template <class Work>
void run_split(unsigned int count, const Work& work) {
  std::vector<std::thread> helpers;
  for (unsigned int t = 1; t < count; ++t) {
    try {
      helpers.emplace_back(work, t);
    } catch (const std::system_error&) {
      work(t);
    }
  }
  work(0u);
  for (std::thread& helper : helpers) helper.join();
}

// How many threads the loader uses: OMP_NUM_THREADS where it is set to a
// number (the host backend's workers follow it too, so that one-thread runs
// stay on one thread), otherwise the cores; at most eight.
inline unsigned int loader_threads() {
  unsigned int count = std::thread::hardware_concurrency();
  if (const char* setting = std::getenv("OMP_NUM_THREADS")) {
    const long asked = std::strtol(setting, nullptr, 10);
    if (asked > 0) count = static_cast<unsigned int>(asked);
  }
  return count == 0 ? 1 : (count > 8 ? 8 : count);
}
