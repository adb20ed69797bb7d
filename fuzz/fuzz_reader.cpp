// Fuzz target: the PGSolver reader and the CSR conversion on arbitrary bytes.
// Either the load fails cleanly (reader message, or a conversion check thrown
// as a string) or the game it yields satisfies every CSR invariant.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "host/parity_game.h"

namespace {

std::string input_path() {
  static const std::string path = "/tmp/pgsolver_fuzz_reader_" + std::to_string(getpid()) + ".pg";
  return path;
}

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "CSR invariant violated: %s\n", what);
  std::abort();
}

void check_invariants(const ParityGame& g) {
  require(g.succ_begin != nullptr && g.pred_begin != nullptr, "begin arrays present");
  require(g.succ_begin[0] == 0 && g.pred_begin[0] == 0, "rows start at 0");
  require(g.succ_begin[g.n_nodes] == g.n_edges && g.pred_begin[g.n_nodes] == g.n_edges, "rows end at n_edges");
  for (uint32_t i = 0; i < g.n_nodes; ++i) {
    require(g.succ_begin[i + 1] - g.succ_begin[i] == g.n_succ[i], "successor row length");
    require(g.pred_begin[i + 1] - g.pred_begin[i] == g.n_pred[i], "predecessor row length");
    require(g.n_succ[i] > 0, "no dead end");
    require(g.color[i] <= 32767, "colour bound");
    require(g.owner[i] <= 1, "owner");
    require(g.n_succ[i] <= g.max_n_succ && g.n_pred[i] <= g.max_n_pred, "degree maxima");
  }
  for (uint32_t e = 0; e < g.n_edges; ++e) {
    require(g.succ_array[e] < g.n_nodes && g.pred_array[e] < g.n_nodes, "adjacency holds indices");
  }
  // Every edge appears once on each side.
  uint64_t forward = 0, backward = 0;
  for (uint32_t i = 0; i < g.n_nodes; ++i) {
    for (uint32_t k = g.succ_begin[i]; k < g.succ_begin[i + 1]; ++k) forward += 31ull * i + g.succ_array[k];
    for (uint32_t k = g.pred_begin[i]; k < g.pred_begin[i + 1]; ++k) backward += 31ull * g.pred_array[k] + i;
  }
  require(forward == backward, "successor and predecessor sides agree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(input_path().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  // The reader reports malformed input on standard error; keep the run quiet.
  std::ostringstream sink;
  std::streambuf* saved = std::cerr.rdbuf(sink.rdbuf());
  ParityGame game;
  try {
    game.load(input_path());
    check_invariants(game);
  } catch (const std::string&) {
    // A conversion check refused the game: the expected clean failure.
  }
  std::cerr.rdbuf(saved);
  return 0;
}
