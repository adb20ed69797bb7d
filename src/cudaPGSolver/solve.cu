#include "cudaPGSolver/solve.h"

#include <iostream>
#include <string>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "common/check_cuda.h"
#include "cudaPGSolver/algorithms.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "cudaPGSolver/winner_lists.h"

void solve_game(ParityGame& game, unsigned int alg_id, TimeList* list, std::vector<uint32_t>* strategy) {
  check_cuda(cudaSetDevice(0), "no cuda device found");
  cudaDeviceProp properties;
  check_cuda(cudaGetDeviceProperties(&properties, 0), "cudaGetDeviceProperties failed");

  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, true);
  if (strategy != nullptr) memory.allocate_strategy();
  if (list) list->add("initializing device memory took: ");
  std::cerr << "Nodes: " << game.n_nodes << std::endl;

  const CsrAlgorithm* algorithm = find_csr_algorithm(alg_id);
  if (algorithm == nullptr) {
    memory.release();
    throw std::string("Unkown alg_id");
  }
  std::cout << algorithm->banner << std::endl;
  algorithm->solve(memory, game, properties, list);
  if (list) list->add("recursive iteration took : ");

  // Printing colours that never came back would report a failure as a result.
  check_cuda(cudaMemcpy(game.color, memory.color, static_cast<std::size_t>(game.n_nodes) * 2, cudaMemcpyDeviceToHost),
             "error while copying color from device");
  if (strategy != nullptr) {
    strategy->assign(game.n_nodes, no_strategy);
    if (game.n_nodes > 0)
      check_cuda(cudaMemcpy(strategy->data(), memory.strategy, static_cast<std::size_t>(game.n_nodes) * 4,
                            cudaMemcpyDeviceToHost),
                 "error while copying strategy from device");
  }
  memory.release();
  if (list) list->add("releasing device memory took: ");
}

bool solve_file(const std::string& file_name, TimeList* list, bool print, unsigned int alg_id) {
  if (road_of(alg_id) != Road::csr) {
    cudaGpuArena arena;
    if (list) list->add();
    arena.load(file_name);
    if (list) list->add("setting up gpu_arena took: ");
    solve_gpu_arena(arena, alg_id, list);
    if (list) list->print(std::cout);
    if (print) print_winner_lists(std::cout, arena.host.color, arena.n_nodes);
    return arena.n_nodes > 0;
  }
  ParityGame game;
  if (list) list->add();
  game.load(file_name);
  if (list) list->add("setting up gpu_arena took: ");
  solve_game(game, alg_id, list);
  if (list) list->print(std::cout);
  if (print) print_winner_lists(std::cout, game.color, game.n_nodes);
  const bool read = game.n_nodes > 0;
  game.release();
  return read;
}
