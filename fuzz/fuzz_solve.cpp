// Fuzz target: arbitrary bytes read as a game and, when that gives a small
// game, solved by every solver of the host backend. Each result must agree
// with the reference solver and leave no device memory behind, and the
// recursive solvers' strategies must pass the verifier; any disagreement,
// rejected strategy, escaped failure or leak aborts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "common/platform.h"
#include "common/device_array.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "cudaPGSolver/solve.h"
#include "host/parity_game.h"
#include "rangespm/korrel.h"
#include "recursive/frontier_solver.h"
#include "recursive/vantor_solver.h"
#include "recursive/vantor_solver_v2.h"
#include "tangle/tangle_solver.h"
#include "reference_solver.h"
#include "test_game.h"
#include "verify/verifier.h"

namespace {

// Beyond these sizes a run costs too much for a fuzzing loop. The progress
// measures themselves may climb through every measure of their lattice: the
// product, over the colours a measure counts, of (nodes of that colour + 1).
// A solver runs when the lattice it may have to climb stays below the cap.
const uint32_t max_nodes = 64;
const double max_lattice = 1 << 20;

// The lattice of the measure that counts the colours of the given parity.
double lattice_size(const ParityGame& game, uint32_t parity) {
  std::map<color_t, uint32_t> count;
  for (uint32_t v = 0; v < game.n_nodes; ++v)
    if ((game.color[v] & 1u) == parity) ++count[game.color[v]];
  double size = 1;
  for (const auto& c : count) size *= c.second + 1.0;
  return size;
}

std::string input_path() {
  static const std::string path = "/tmp/pgsolver_fuzz_solve_" + std::to_string(getpid()) + ".pg";
  return path;
}

// Swallows everything the solvers print; all their output goes through the
// standard streams.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

class Quiet {
 public:
  Quiet() : out_(std::cout.rdbuf(&sink_)), err_(std::cerr.rdbuf(&sink_)) {}
  ~Quiet() { restore(); }
  void restore() {
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }

 private:
  NullBuffer sink_;
  std::streambuf* out_;
  std::streambuf* err_;
};

[[noreturn]] void fail(Quiet& quiet, const std::string& what) {
  quiet.restore();
  std::fprintf(stderr, "fuzz_solve: %s\n", what.c_str());
  std::abort();
}

TestGame to_test_game(const ParityGame& g) {
  TestGame t;
  for (uint32_t v = 0; v < g.n_nodes; ++v) {
    std::vector<uint32_t> succ(g.succ_array + g.succ_begin[v], g.succ_array + g.succ_begin[v + 1]);
    t.add_node(g.color[v], g.owner[v], succ);
  }
  return t;
}

void compare(Quiet& quiet, const char* solver, const std::vector<uint8_t>& expected, const color_t* got) {
  for (std::size_t v = 0; v < expected.size(); ++v) {
    if (got[v] != expected[v]) {
      fail(quiet, std::string(solver) + ": node " + std::to_string(v) + " marked " + std::to_string(got[v]) +
                      ", the reference says " + std::to_string(expected[v]));
    }
  }
  if (hostrt::live_allocations() != 0) fail(quiet, std::string(solver) + ": device memory left allocated");
}

void solve_csr(Quiet& quiet, unsigned int alg_id, const std::vector<uint8_t>& expected) {
  ParityGame game;
  game.load(input_path());
  try {
    solve_game(game, alg_id, nullptr);
  } catch (const std::string& message) {
    fail(quiet, "alg " + std::to_string(alg_id) + " threw: " + message);
  }
  compare(quiet, ("alg " + std::to_string(alg_id)).c_str(), expected, game.color);
}

void solve_arena(Quiet& quiet, unsigned int alg_id, const std::vector<uint8_t>& expected) {
  const std::string name = "alg " + std::to_string(alg_id);
  cudaGpuArena arena;
  arena.load(input_path());
  try {
    solve_gpu_arena(arena, alg_id, nullptr);
  } catch (const std::string& message) {
    fail(quiet, name + " threw: " + message);
  }
  compare(quiet, name.c_str(), expected, arena.host.color);
}

// Device shapes that take small games through more of the launch logic:
// many blocks of few threads, one thread per block, and an active-node list
// that is compacted as early as the solver allows.
cudaDeviceProp device_shape(const uint8_t* data, size_t size) {
  unsigned int sum = 0;
  for (size_t i = 0; i < size; ++i) sum += data[i];
  cudaDeviceProp p = hostrt::default_device_properties();
  switch (sum % 3) {
    case 1:
      p.maxThreadsPerMultiProcessor = 16;
      p.multiProcessorCount = 0;
      break;
    case 2:
      p.maxThreadsPerMultiProcessor = 1;
      break;
    default:
      break;
  }
  return p;
}

// The range solver prints its regions by identifier; each identifier must
// appear once, in the region of its node's winner.
void solve_range(Quiet& quiet, const ParityGame& game, const std::vector<uint8_t>& expected) {
  std::ostringstream out;
  try {
    Korrel::solve(input_path(), out, true, false, nullptr);
  } catch (const std::string& message) {
    fail(quiet, "alg 20 threw: " + message);
  } catch (const Korrel::RankCountFailure& failure) {
    fail(quiet, "alg 20 failed: " + failure.message);
  }
  if (hostrt::live_allocations() != 0) fail(quiet, "alg 20: device memory left allocated");
  std::map<uint32_t, uint8_t> winner_of;
  for (uint32_t v = 0; v < game.n_nodes; ++v) winner_of[game.node_id[v]] = expected[v];
  const std::string text = out.str();
  const char* const headings[] = {"Nodes won by Even: \n\n", "Nodes won by Odd: \n\n", "This should be empty: \n\n"};
  std::size_t listed = 0;
  for (int region = 0; region < 3; ++region) {
    const std::size_t at = text.find(headings[region]);
    if (at == std::string::npos) fail(quiet, std::string("alg 20: no heading ") + headings[region]);
    const std::size_t begin = at + std::strlen(headings[region]);
    std::istringstream entries(text.substr(begin, text.find("\n\n", begin) - begin));
    std::string entry;
    while (std::getline(entries, entry, ',')) {
      if (entry == " ") break;  // what follows the last ", "
      const uint32_t id = static_cast<uint32_t>(std::stoul(entry));
      const auto found = winner_of.find(id);
      if (found == winner_of.end() || region == 2 || found->second != region) {
        fail(quiet, "alg 20: identifier " + entry + " listed under " + headings[region]);
      }
      ++listed;
    }
  }
  if (listed != game.n_nodes) fail(quiet, "alg 20: " + std::to_string(listed) + " identifiers listed");
}

// The recursive solvers once more with strategies: the independent verifier
// must accept every answer.
void verify_strategies(Quiet& quiet, const ParityGame& game) {
  const uint32_t n = game.n_nodes;
  const std::vector<uint32_t> color(game.color, game.color + n);
  const VerifierGame view{n, color.data(), game.owner, game.succ_begin, game.succ_array, game.node_id};
  std::vector<color_t> marks(n);
  std::vector<uint32_t> strategy(n);
  for (unsigned int alg : {9u, 11u, 12u, 13u}) {
    try {
      if (alg == 9) {
        DeviceMemoryPtr memory;
        memory.allocate_and_initilaize(game, false);
        memory.allocate_strategy();
        VantorSolver(n).solve(memory);
        copy_array<Space::host, Space::device>(marks.data(), memory.color, n);
        copy_array<Space::host, Space::device>(strategy.data(), memory.strategy, n);
      } else {
        cudaGpuArena arena;
        arena.load(input_path());
        arena.upload(alg == 11);  // algs 12 and 13 walk the predecessor lists
        arena.allocate_strategy();
        if (alg == 11) {
          VantorSolverV2(n).solve(arena);
        } else if (alg == 12) {
          FrontierSolver(n).solve(arena);
        } else {
          TangleSolver().solve(arena);
        }
        copy_array<Space::host, Space::device>(marks.data(), arena.device.color, n);
        copy_array<Space::host, Space::device>(strategy.data(), arena.device.strategy, n);
      }
    } catch (const std::string& message) {
      fail(quiet, "alg " + std::to_string(alg) + " with strategies threw: " + message);
    }
    const std::vector<uint8_t> winner(marks.begin(), marks.end());
    const std::string fault = verify_solution(view, winner.data(), strategy.data());
    if (!fault.empty()) fail(quiet, "alg " + std::to_string(alg) + " strategies: " + fault);
    if (hostrt::live_allocations() != 0) fail(quiet, "alg " + std::to_string(alg) + ": device memory left allocated");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(input_path().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  Quiet quiet;
  hostrt::reset();
  ParityGame game;
  try {
    game.load(input_path());
  } catch (const std::string&) {
    return 0;  // refused by the conversion: the reader's fuzz target covers that
  }
  if (game.n_nodes == 0 || game.n_nodes > max_nodes) return 0;
  const std::vector<uint8_t> expected = reference_solve(to_test_game(game));
  color_t top = 0;
  for (uint32_t v = 0; v < game.n_nodes; ++v) top = std::max(top, game.color[v]);
  // The one-sided measure counts the colours of the other parity than the
  // largest; the two-sided ones stop once either measure is stable; the
  // range solver keeps one measure, of either player after normalisation.
  const double one_sided = lattice_size(game, 1u - (top & 1u)), other = lattice_size(game, top & 1u);

  hostrt::set_device_properties(device_shape(data, size));
  if (std::min(one_sided, other) <= max_lattice)
    for (unsigned int alg : {0u, 1u, 4u}) solve_csr(quiet, alg, expected);
  if (one_sided <= max_lattice)
    for (unsigned int alg : {2u, 3u, 5u}) solve_csr(quiet, alg, expected);
  if (std::max(one_sided, other) <= max_lattice) solve_range(quiet, game, expected);
  solve_csr(quiet, 9, expected);
  solve_arena(quiet, 11, expected);
  solve_arena(quiet, 12, expected);
  solve_arena(quiet, 13, expected);
  verify_strategies(quiet, game);
  return 0;
}
