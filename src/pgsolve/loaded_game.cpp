#include "pgsolve/loaded_game.h"

#include <algorithm>
#include <utility>

#include "host/csr_conversion.h"
#include "host/game_graph.h"
#include "pgsolve/colour_compression.h"

VerifierGame LoadedGame::verifier_view() const {
  VerifierGame view;
  view.n_nodes = game.n_nodes;
  view.color = original_colour.data();
  view.owner = game.owner;
  view.succ_begin = game.succ_begin;
  view.succ_array = game.succ_array;
  view.node_id = game.node_id;
  return view;
}

void LoadedGame::restore_colours() { std::copy(colour.begin(), colour.end(), game.color); }

namespace {

void set_colour_range(LoadedGame& loaded) {
  ParityGame& game = loaded.game;
  loaded.colour.assign(game.color, game.color + game.n_nodes);
  if (game.n_nodes > 0) {
    const auto range = std::minmax_element(loaded.colour.begin(), loaded.colour.end());
    game.min_color = *range.first;
    game.max_color = *range.second;
  }
}

}  // namespace

bool load_game_quickly(const std::string& path, LoadedGame& loaded) {
  if (path == "-" || file_compression(path) != Compression::none) return false;
  ParityGame& game = loaded.game;
  if (!game.load_quickly(path)) return false;
  loaded.original_colour.assign(game.color, game.color + game.n_nodes);
  const std::vector<uint32_t> compressed = compress_colours(loaded.original_colour);
  std::copy(compressed.begin(), compressed.end(), game.color);
  set_colour_range(loaded);
  return true;
}

bool load_game(GameText text, LoadedGame& loaded) {
  GameGraph graph;
  if (graph.read_text(std::move(text.text), text.length) != 0) return false;
  const uint32_t n = index_graph_nodes(graph);

  std::vector<uint32_t>& original = loaded.original_colour;
  original.clear();
  original.reserve(n);
  for (GraphNode* node = graph.first; node != nullptr; node = node->next) original.push_back(node->color);
  const std::vector<uint32_t> compressed = compress_colours(original);
  // The conversion then finds colours that fit and copies them as they are.
  std::size_t v = 0;
  for (GraphNode* node = graph.first; node != nullptr; node = node->next) node->color = compressed[v++];

  ParityGame& game = loaded.game;
  game.release();
  game.allocate(n, graph.n_edges);
  CsrTarget target{game.node_id,
                   game.color,
                   game.owner,
                   game.n_succ,
                   game.n_pred,
                   game.succ_begin,
                   game.pred_begin,
                   game.succ_array,
                   game.pred_array,
                   0,
                   0};
  convert_to_csr(graph, target);
  game.max_n_succ = target.max_n_succ;
  game.max_n_pred = target.max_n_pred;
  set_colour_range(loaded);
  return true;
}
