#include "generated_game.h"

#include <vector>

TestGame from_generated(const pggen::Game& game) {
  TestGame g;
  for (uint32_t v = 0; v < game.size(); ++v)
    g.add_node(
        game.color[v], game.owner[v],
        std::vector<uint32_t>(game.succ.begin() + game.succ_begin[v], game.succ.begin() + game.succ_begin[v + 1]));
  return g;
}
