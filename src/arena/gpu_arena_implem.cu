#include "arena/gpu_arena_implem.h"

#include <iostream>
#include <string>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "host/time_list.h"
#include "cudaPGSolver/algorithms.h"

void copy_result_to_host(cudaGpuArena& arena) {
  if (arena.n_nodes == 0) return;
  check_cuda(cudaMemcpy(arena.host.color, arena.device.color, static_cast<std::size_t>(arena.n_nodes) * 2,
                        cudaMemcpyDeviceToHost),
             "error while copying color from device");
}

void solve_gpu_arena(cudaGpuArena& arena, unsigned int alg_id, TimeList* list, std::vector<uint32_t>* strategy) {
  check_cuda(cudaSetDevice(0), "no cuda device found");
  cudaDeviceProp properties;
  check_cuda(cudaGetDeviceProperties(&properties, 0), "cudaGetDeviceProperties failed");

  arena.move_to_device(false);
  if (strategy != nullptr) arena.allocate_strategy();
  if (list) list->add("initializing device memory took: ");
  std::cerr << "Nodes: " << arena.n_nodes << std::endl;
  const Algorithm* algorithm = find_algorithm(alg_id);
  if (algorithm == nullptr || algorithm->road != Road::arena) {
    arena.clear();
    throw std::string("Unkown alg_id");
  }
  std::cout << algorithm->banner << std::endl;
  algorithm->arena_solve(arena);
  if (list) list->add("solving took : ");
  copy_result_to_host(arena);
  if (strategy != nullptr) {
    strategy->assign(arena.n_nodes, no_strategy);
    if (arena.n_nodes > 0)
      check_cuda(cudaMemcpy(strategy->data(), arena.device.strategy, static_cast<std::size_t>(arena.n_nodes) * 4,
                            cudaMemcpyDeviceToHost),
                 "error while copying strategy from device");
  }
  arena.release_device(false);
  if (list) list->add("releasing device memory took: ");
}
