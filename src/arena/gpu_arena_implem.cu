#include "arena/gpu_arena_implem.h"

#include <iostream>
#include <string>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "host/time_list.h"
#include "recursive/vantor_solver_v2.h"

void copy_result_to_host(cudaGpuArena& arena) {
  if (arena.n_nodes == 0) return;
  check_cuda(cudaMemcpy(arena.host.color, arena.device.color, static_cast<std::size_t>(arena.n_nodes) * 2,
                        cudaMemcpyDeviceToHost),
             "error while copying color from device");
}

void solve_gpu_arena(cudaGpuArena& arena, unsigned int alg_id, TimeList* list) {
  check_cuda(cudaSetDevice(0), "no cuda device found");
  cudaDeviceProp properties;
  check_cuda(cudaGetDeviceProperties(&properties, 0), "cudaGetDeviceProperties failed");

  arena.move_to_device(false);
  if (list) list->add("initializing device memory took: ");
  std::cerr << "Nodes: " << arena.n_nodes << std::endl;
  if (alg_id != 11) {
    arena.clear();
    throw std::string("Unkown alg_id");
  }
  std::cout << "\n --> recursive with cudaGpuArena <-- \n" << std::endl;
  {
    VantorSolverV2 solver(arena.n_nodes);
    solver.solve(arena);
  }
  if (list) list->add("solving took : ");
  copy_result_to_host(arena);
  arena.release_device(false);
  if (list) list->add("releasing device memory took: ");
}
