// Fuzz target: the PGSolver reader and the CSR conversion on arbitrary bytes.
// Either the load fails cleanly (reader message, or a conversion check thrown
// as a string) or the game it yields satisfies every CSR invariant. The two
// roads of loading agree: load() says and makes what the full reader says
// and makes, and the quick road (in one piece and in three) declines every
// file that the full reader has words for and otherwise makes its arrays.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "host/fast_load.h"
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

template <class T>
std::vector<uint32_t> words(const T* p, std::size_t count) {
  return p == nullptr ? std::vector<uint32_t>() : std::vector<uint32_t>(p, p + count);
}

// Everything a game holds, in one list.
std::vector<uint32_t> content(const ParityGame& g) {
  const std::size_t n = g.n_nodes, m = g.n_edges, rows = g.succ_begin == nullptr ? 0 : n + 1;
  std::vector<uint32_t> all{g.n_nodes, g.n_edges, g.min_color, g.max_color, g.max_n_succ, g.max_n_pred};
  for (const std::vector<uint32_t>& part :
       {words(g.node_id, n), words(g.color, n), words(g.owner, n), words(g.n_succ, n), words(g.n_pred, n),
        words(g.succ_begin, rows), words(g.pred_begin, rows), words(g.succ_array, m), words(g.pred_array, m)})
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Outcome {
  std::string err;
  std::string thrown;
  std::vector<uint32_t> game;  // only where nothing was thrown
};

template <class Load>
Outcome outcome_of(const Load& load) {
  std::ostringstream sink;
  std::streambuf* saved = std::cerr.rdbuf(sink.rdbuf());
  Outcome o;
  ParityGame game;
  try {
    load(game);
    check_invariants(game);
    o.game = content(game);
  } catch (const std::string& message) {
    // A conversion check refused the game: the expected clean failure.
    o.thrown = message;
  }
  std::cerr.rdbuf(saved);
  o.err = sink.str();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(input_path().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  const Outcome full = outcome_of([](ParityGame& g) { g.load_with_full_reader(input_path()); });
  const Outcome load = outcome_of([](ParityGame& g) { g.load(input_path()); });
  require(load.err == full.err && load.thrown == full.thrown && load.game == full.game,
          "load() says and makes what the full reader does");
  for (unsigned int pieces : {1u, 3u}) {
    FastGameLoad fast;
    if (!fast.read(input_path(), pieces)) continue;
    require(full.err.empty() && full.thrown.empty(), "the quick road declines what the full reader reports");
    ParityGame game;
    game.allocate(fast.n_nodes, fast.n_edges);
    game.min_color = fast.min_color;
    game.max_color = fast.max_color;
    CsrTarget target{game.node_id,    game.color,      game.owner,      game.n_succ,     game.n_pred,
                     game.succ_begin, game.pred_begin, game.succ_array, game.pred_array, 0, 0};
    fast.fill(target);
    game.max_n_succ = target.max_n_succ;
    game.max_n_pred = target.max_n_pred;
    require(content(game) == full.game, "the quick road makes the full reader's arrays");
  }
  return 0;
}
