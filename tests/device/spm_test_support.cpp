#include "spm_test_support.h"

#include <iostream>
#include <stdexcept>

#include "cudaPGSolver/spm_solvers.h"

const std::vector<SpmSolverInfo>& spm_solvers() {
  static const std::vector<SpmSolverInfo> solvers = {
      {0, "spm_solve_wl", spm_solve_wl},
      {1, "spm_solve", spm_solve},
      {2, "simple_spm_solve_wl", simple_spm_solve_wl},
      {3, "simple_spm_solve", simple_spm_solve},
      {4, "spm_solve_oan", spm_solve_oan},
      {5, "simple_spm_solve_oan", simple_spm_solve_oan},
  };
  return solvers;
}

void fill_parity_game(const TestGame& source, ParityGame& game) {
  const uint32_t n = source.size();
  uint32_t m = 0;
  for (const auto& s : source.succ) m += static_cast<uint32_t>(s.size());
  game.release();
  game.allocate(n, m);
  std::vector<std::vector<uint32_t>> pred(n);
  uint32_t e = 0;
  for (uint32_t v = 0; v < n; ++v) {
    game.node_id[v] = source.id[v];
    game.color[v] = static_cast<color_t>(source.color[v]);
    game.owner[v] = source.owner[v];
    game.succ_begin[v] = e;
    game.n_succ[v] = static_cast<uint32_t>(source.succ[v].size());
    for (uint32_t w : source.succ[v]) {
      game.succ_array[e++] = w;
      pred[w].push_back(v);
    }
  }
  game.succ_begin[n] = e;
  e = 0;
  for (uint32_t v = 0; v < n; ++v) {
    game.pred_begin[v] = e;
    game.n_pred[v] = static_cast<uint32_t>(pred[v].size());
    // The reader lists predecessors last edge first.
    for (auto it = pred[v].rbegin(); it != pred[v].rend(); ++it) game.pred_array[e++] = *it;
  }
  game.pred_begin[n] = e;
  game.min_color = 0;
  game.max_color = 0;
  for (uint32_t v = 0; v < n; ++v) {
    if (v == 0 || game.color[v] < game.min_color) game.min_color = game.color[v];
    if (game.color[v] > game.max_color) game.max_color = game.color[v];
  }
}

StreamCapture::StreamCapture() : old_out_(std::cout.rdbuf(out_.rdbuf())), old_err_(std::cerr.rdbuf(err_.rdbuf())) {}

StreamCapture::~StreamCapture() {
  std::cout.rdbuf(old_out_);
  std::cerr.rdbuf(old_err_);
}

SpmRun run_spm(unsigned int alg_id, const TestGame& source, const cudaDeviceProp* properties, bool with_strategy) {
  if (alg_id >= spm_solvers().size()) throw std::invalid_argument("no spm solver with this alg_id");
  ParityGame game;
  fill_parity_game(source, game);
  cudaDeviceProp device;
  if (properties == nullptr) {
    if (cudaGetDeviceProperties(&device, 0) != cudaSuccess) throw std::runtime_error("no device properties");
    properties = &device;
  }
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, true);
  if (with_strategy) memory.allocate_strategy();
  SpmRun run;
  {
    StreamCapture capture;
    spm_solvers()[alg_id].solve(memory, game, *properties, nullptr, &run.stats);
    run.out = capture.out();
    run.err = capture.err();
  }
  run.color = device_to_vector(memory.color, game.n_nodes);
  if (with_strategy) run.strategy = device_to_vector(memory.strategy, game.n_nodes);
  return run;
}
