#include "common/check_cuda.h"

void check_cuda(cudaError_t status, const std::string& text) {
  if (status == cudaSuccess) return;
  throw text + cudaGetErrorString(status);
}

void check_last_error(const std::string& text) { check_cuda(cudaGetLastError(), text); }
