#pragma once
// Helpers of the tests of the recursive solvers and the arena: device copies,
// small games written row by row, and both roads run quietly.
#include <cstdint>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "common/device_array.h"
#include "cudaPGSolver/solve.h"
#include "host/parity_game.h"
#include "test_game.h"

template <class T>
std::vector<T> from_device(const T* p, std::size_t n) {
  std::vector<T> v(n);
  if (n != 0) copy_array<Space::host, Space::device>(v.data(), p, n);
  return v;
}

// A device array, freed on destruction.
template <class T>
struct DeviceCopy {
  T* ptr = nullptr;
  explicit DeviceCopy(std::size_t n) { alloc_array<Space::device>(ptr, n); }
  explicit DeviceCopy(const std::vector<T>& v) {
    alloc_array<Space::device>(ptr, v.size());
    if (!v.empty()) copy_array<Space::device, Space::host>(ptr, v.data(), v.size());
  }
  DeviceCopy(const DeviceCopy&) = delete;
  DeviceCopy& operator=(const DeviceCopy&) = delete;
  ~DeviceCopy() { free_array<Space::device>(ptr); }
};

// Each row: colour, owner, then the successors.
inline TestGame from_rows(const std::vector<std::vector<uint32_t>>& rows) {
  TestGame g;
  for (const auto& r : rows) g.add_node(r[0], static_cast<uint8_t>(r[1]), std::vector<uint32_t>(r.begin() + 2, r.end()));
  return g;
}

inline std::string thrown_text(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::string& s) {
    return s;
  }
  return "<nothing thrown>";
}

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
