#include "cudaPGSolver/device_memory_ptr.h"

#include <cstring>
#include <string>

#include "common/check_cuda.h"

namespace {

template <class T>
void device_alloc(T*& ptr, std::size_t bytes, const char* text) {
  check_cuda(cudaMalloc(reinterpret_cast<void**>(&ptr), bytes), text);
}

template <class T>
void to_device(T* dst, const T* src, std::size_t bytes, const char* text) {
  check_cuda(cudaMemcpy(dst, src, bytes, cudaMemcpyHostToDevice), text);
}

template <class T>
void free_unchecked(T*& ptr) {
  if (ptr != nullptr) cudaFree(ptr);
  ptr = nullptr;
}

}  // namespace

void DeviceMemoryPtr::allocate_and_initilaize(const ParityGame& game, bool with_predecessors) {
  if (succ_begin || pred_begin || succ_array || pred_array || n_succ || n_pred || color || owner || work_list ||
      work_list_next || work_list_permutation || go_on) {
    throw std::string(
        "Error in \"DeviceMemoryPtr::allocate_and_initilaize\": at least one buffer has already been allocated\"");
  }
  const std::size_t n = game.n_nodes;
  const std::size_t m = game.n_edges;
  n_nodes = game.n_nodes;
  n_edges = game.n_edges;

  device_alloc(succ_begin, (n + 1) * 4, "error allocating succ_begin");
  device_alloc(succ_array, m * 4, "error allocating succ_array");
  device_alloc(n_succ, round_up(n * 4, 4), "error allocating n_succ");
  if (with_predecessors) {
    device_alloc(pred_begin, (n + 1) * 4, "error allocating pred_begin");
    device_alloc(pred_array, m * 4, "error allocating pred_array");
    device_alloc(n_pred, round_up(n * 4, 4), "error allocating n_pred");
  }
  device_alloc(color, round_up(n * 2, 4), "error allocating color");
  device_alloc(owner, round_up(n, 4), "error allocating owner");
  device_alloc(work_list, (n + 1) * 4, "error allocating work_list");
  device_alloc(work_list_next, (n + 1) * 4, "error allocating work_list_next");
  device_alloc(work_list_permutation, (n + 1) * 4, "error allocating work_list_permutation");
  device_alloc(go_on, 1, "error allocating go_on");

  to_device(succ_begin, game.succ_begin, (n + 1) * 4, "error while copying succ_begin to device");
  to_device(succ_array, game.succ_array, m * 4, "error while copying succ_array to device");
  to_device(n_succ, game.n_succ, n * 4, "error while copying n_succ to device");
  if (with_predecessors) {
    to_device(pred_begin, game.pred_begin, (n + 1) * 4, "error while copying pred_begin to device");
    to_device(pred_array, game.pred_array, m * 4, "error while copying pred_array to device");
    to_device(n_pred, game.n_pred, n * 4, "error while copying n_pred to device");
  }
  to_device(color, game.color, n * 2, "error while copying color to device");
  to_device(owner, game.owner, n, "error while copying owner to device");
}

void DeviceMemoryPtr::allocate_strategy() {
  if (strategy != nullptr) throw std::string("Error in \"DeviceMemoryPtr::allocate_strategy\": already allocated");
  device_alloc(strategy, static_cast<std::size_t>(n_nodes) * 4, "error allocating strategy");
  check_cuda(cudaMemset(strategy, 0xFF, static_cast<std::size_t>(n_nodes) * 4), "error while clearing strategy");
}

void DeviceMemoryPtr::release() {
  // The order in which the buffers are returned to the runtime.
  free_unchecked(color);
  free_unchecked(owner);
  free_unchecked(n_succ);
  free_unchecked(n_pred);
  free_unchecked(succ_begin);
  free_unchecked(pred_begin);
  free_unchecked(succ_array);
  free_unchecked(pred_array);
  free_unchecked(work_list);
  free_unchecked(work_list_next);
  free_unchecked(work_list_permutation);
  free_unchecked(valuation);
  free_unchecked(valuation_next);
  free_unchecked(go_on);
  free_unchecked(rank_counter);
  free_unchecked(strategy);
  n_nodes = 0;
  n_edges = 0;
}
