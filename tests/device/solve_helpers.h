#pragma once
// Running the recursive solvers of both roads on a test game, quietly.
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "cudaPGSolver/solve.h"
#include "host/parity_game.h"
#include "test_game.h"

// Sends standard output and error into buffers for its lifetime.
class CaptureStreams {
 public:
  CaptureStreams() : out_(std::cout.rdbuf(out_text_.rdbuf())), err_(std::cerr.rdbuf(err_text_.rdbuf())) {}
  ~CaptureStreams() {
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }
  std::string out() const { return out_text_.str(); }
  std::string err() const { return err_text_.str(); }

 private:
  std::ostringstream out_text_;
  std::ostringstream err_text_;
  std::streambuf* out_;
  std::streambuf* err_;
};

// Winner (0 Even, 1 Odd) of every node index by alg_id 9, the CSR road.
inline std::vector<uint8_t> solve_with_csr_road(const TestGame& game) {
  ParityGame g;
  g.load(write_temp_file(to_pgsolver(game)));
  {
    CaptureStreams quiet;
    solve_game(g, 9, nullptr);
  }
  return std::vector<uint8_t>(g.color, g.color + g.n_nodes);
}

// Winner of every node index by alg_id 11, the arena road.
inline std::vector<uint8_t> solve_with_arena_road(const TestGame& game) {
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(game)));
  {
    CaptureStreams quiet;
    solve_gpu_arena(arena, 11, nullptr);
  }
  return std::vector<uint8_t>(arena.host.color, arena.host.color + arena.n_nodes);
}
