#include "host_scc.h"

#include <algorithm>

HostSccs host_sccs(const std::vector<std::vector<uint32_t>>& succ) {
  const uint32_t n = static_cast<uint32_t>(succ.size());
  const uint32_t unvisited = UINT32_MAX;
  HostSccs r;
  r.component.assign(n, unvisited);
  r.self_loop.assign(n, false);
  std::vector<uint32_t> index(n, unvisited), low(n, 0);
  std::vector<bool> on_stack(n, false);
  std::vector<uint32_t> stack;
  // Explicit call stack (node, next edge position) instead of recursion, so
  // long paths do not exhaust the machine stack.
  std::vector<std::pair<uint32_t, uint32_t>> calls;
  uint32_t next_index = 0;
  for (uint32_t root = 0; root < n; ++root) {
    if (index[root] != unvisited) continue;
    calls.push_back({root, 0});
    index[root] = low[root] = next_index++;
    stack.push_back(root);
    on_stack[root] = true;
    while (!calls.empty()) {
      const uint32_t v = calls.back().first;
      uint32_t& pos = calls.back().second;
      if (pos < succ[v].size()) {
        const uint32_t w = succ[v][pos++];
        if (w == v) r.self_loop[v] = true;
        if (index[w] == unvisited) {
          index[w] = low[w] = next_index++;
          stack.push_back(w);
          on_stack[w] = true;
          calls.push_back({w, 0});
        } else if (on_stack[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      if (low[v] == index[v]) {
        uint32_t w;
        do {
          w = stack.back();
          stack.pop_back();
          on_stack[w] = false;
          r.component[w] = r.count;
        } while (w != v);
        ++r.count;
      }
      calls.pop_back();
      if (!calls.empty()) {
        const uint32_t parent = calls.back().first;
        low[parent] = std::min(low[parent], low[v]);
      }
    }
  }
  r.size.assign(r.count, 0);
  for (uint32_t v = 0; v < n; ++v) ++r.size[r.component[v]];
  // Tarjan completes a component only after every component it reaches, so
  // component numbers are a reverse topological order: heights in one sweep.
  std::vector<std::vector<uint32_t>> members(r.count);
  for (uint32_t v = 0; v < n; ++v) members[r.component[v]].push_back(v);
  r.height.assign(r.count, 0);
  for (uint32_t c = 0; c < r.count; ++c)
    for (uint32_t v : members[c])
      for (uint32_t w : succ[v])
        if (r.component[w] != c) r.height[c] = std::max(r.height[c], r.height[r.component[w]] + 1);
  return r;
}
