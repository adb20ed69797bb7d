#include <algorithm>
#include <numeric>
#include <vector>

#include "arena/gpu_arena.h"
#include "host/decimal_lines.h"

namespace {

// Arena indices in ascending order of their file identifiers. Identifiers that
// are exactly 0 .. n - 1 need no sort; any others (sparse, large) are sorted
// rather than used as table positions.
std::vector<uint32_t> indices_by_identifier(const uint32_t* node_id, uint32_t n) {
  std::vector<uint32_t> order(n, n);
  bool dense = true;
  for (uint32_t i = 0; i < n && dense; ++i) {
    const uint32_t id = node_id[i];
    if (id >= n || order[id] != n) {
      dense = false;
    } else {
      order[id] = i;
    }
  }
  if (dense) return order;
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [node_id](uint32_t a, uint32_t b) { return node_id[a] < node_id[b]; });
  return order;
}

template <class Select>
void print_region(std::ostream& out, const char* heading, const std::vector<uint32_t>& order,
                  const uint32_t* node_id, const color_t* color, Select select) {
  out << heading;
  {
    DecimalLines line(out);
    for (uint32_t i : order) {
      if (select(color[i])) line.put(node_id[i], ", ", 2);
    }
  }
  out << std::endl << std::endl;
}

}  // namespace

void cudaGpuArena::print_result(std::ostream& out, bool with_strategy) {
  if (players_swapped) swap_players();  // back to the players of the input
  download(true);
  const std::vector<uint32_t> order = indices_by_identifier(node_id, n_nodes);
  print_region(out, "Nodes won by Even: \n\n", order, node_id, host.color, [](color_t c) { return c == 0; });
  print_region(out, "Nodes won by Odd: \n\n", order, node_id, host.color, [](color_t c) { return c == 1; });
  print_region(out, "This should be empty: \n\n", order, node_id, host.color, [](color_t c) { return c >= 2; });
  if (!with_strategy) return;
  out << "Strategy edges for both players: " << std::endl;
  for (uint32_t i = 0; i < n_nodes; ++i) {
    {
      DecimalLines line(out);
      line.put(node_id[i], " -> { ", 6);
      const uint32_t begin = host.succ.begin[i];
      const uint32_t count = host.succ.count[i];
      for (uint32_t k = 0; k < count; ++k) {
        const bool more = k + 1 < count;
        line.put(node_id[host.succ.targets[begin + k]], ", ", more ? 2 : 0);
      }
    }
    out << " }" << std::endl;
  }
}
