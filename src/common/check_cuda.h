#pragma once
#include <cstddef>
#include <string>
#include "common/platform.h"

// Turns a failed status into a thrown std::string: the caller's text followed
// directly by the runtime's error string.
void check_cuda(cudaError_t status, const std::string& text);
// The same for a text the caller holds as a C string: the thrown string is
// made only on failure, since loops check every launch and copy.
inline void check_cuda(cudaError_t status, const char* text) {
  if (status != cudaSuccess) check_cuda(status, std::string(text));
}

// check_cuda on the last error of the runtime (which also clears it).
void check_last_error(const std::string& text);
inline void check_last_error(const char* text) { check_cuda(cudaGetLastError(), text); }

// count itself when it is a multiple of multiple, else the next larger multiple.
inline std::size_t round_up(std::size_t count, std::size_t multiple) {
  const std::size_t rest = count % multiple;
  return rest == 0 ? count : count + (multiple - rest);
}
