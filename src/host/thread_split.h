#pragma once
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

// How many threads the loader uses: the cores, at most eight.
inline unsigned int loader_threads() {
  const unsigned int cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : (cores > 8 ? 8 : cores);
}
