#include "verify/region_cycles.h"

#include <algorithm>
#include <vector>

namespace {

const uint32_t none = 0xFFFFFFFFu;
// The rank of a vertex that stands for a strongly connected component whose
// colours lie below the range of its part: it connects, it never decides.
const uint32_t contracted = 0;

// Colours as ranks 1, 2, ... that keep their order and parity; neighbours of
// equal parity in the sorted order share a rank, which changes no cycle's
// winner and shortens the search.
struct ColourRanks {
  std::vector<uint32_t> of_node;
  std::vector<uint8_t> parity{0};  // by rank; rank 0 is the contracted mark
};

ColourRanks rank_colours(const VerifierGame& g) {
  ColourRanks ranks;
  const uint32_t n = g.n_nodes;
  ranks.of_node.resize(n);
  if (n == 0) return ranks;
  const uint32_t max_colour = *std::max_element(g.color, g.color + n);
  uint32_t rank = 0;
  auto next_rank = [&](uint32_t colour) {
    if (rank == 0 || ranks.parity[rank] != (colour & 1u)) {
      ++rank;
      ranks.parity.push_back(static_cast<uint8_t>(colour & 1u));
    }
    return rank;
  };
  if (max_colour <= 4ull * n + 1024) {
    // Small colours: a table by colour value, no sort.
    std::vector<uint32_t> table(static_cast<std::size_t>(max_colour) + 1, 0);
    for (uint32_t v = 0; v < n; ++v) table[g.color[v]] = 1;
    for (uint32_t c = 0; c <= max_colour; ++c)
      if (table[c] != 0) table[c] = next_rank(c);
    for (uint32_t v = 0; v < n; ++v) ranks.of_node[v] = table[g.color[v]];
  } else {
    std::vector<uint32_t> values(g.color, g.color + n);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    std::vector<uint32_t> value_rank(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) value_rank[i] = next_rank(values[i]);
    for (uint32_t v = 0; v < n; ++v)
      ranks.of_node[v] = value_rank[std::lower_bound(values.begin(), values.end(), g.color[v]) - values.begin()];
  }
  return ranks;
}

// The graphs of one round of the search, in compressed row form; its parts
// are blocks of vertices whose edges stay inside the block.
struct Graph {
  std::vector<uint32_t> node;  // node index in the game, none when contracted
  std::vector<uint32_t> rank;
  std::vector<uint32_t> begin{0};
  std::vector<uint32_t> target;

  uint32_t size() const { return static_cast<uint32_t>(node.size()); }
  void clear() {
    node.clear();
    rank.clear();
    begin.assign(1, 0);
    target.clear();
  }
  // Opens a vertex; its edges follow with add_edge, then end_vertex.
  void add_vertex(uint32_t v, uint32_t r) {
    node.push_back(v);
    rank.push_back(r);
  }
  void add_edge(uint32_t w) { target.push_back(w); }
  void end_vertex() { begin.push_back(static_cast<uint32_t>(target.size())); }
};

// One question of the search: inside vertices [first, last), whose colour
// ranks lie in [lo, hi] (contracted ones aside), is a vertex of the
// opponent's parity on a cycle of vertices of at most its rank?
struct Part {
  uint32_t first, last, lo, hi;
  uint8_t player;  // the region's winner
};

// Tarjan's algorithm with an explicit stack (games have millions of nodes).
class Components {
 public:
  // The strongly connected components of the vertices [first, last) of g of
  // rank at most bound, with the edges between them.
  void run(const Graph& g, uint32_t first, uint32_t last, uint32_t bound) {
    if (comp.size() < g.size()) {
      comp.resize(g.size());
      index_.resize(g.size());
      low_.resize(g.size());
    }
    for (uint32_t v = first; v < last; ++v) {
      index_[v] = 0;
      comp[v] = none;
    }
    members.clear();
    start.assign(1, 0);
    uint32_t counter = 0;
    auto visit = [&](uint32_t w) {
      index_[w] = low_[w] = ++counter;
      stack_.push_back(w);
      calls_.push_back(Frame{w, g.begin[w]});
    };
    for (uint32_t root = first; root < last; ++root) {
      if (g.rank[root] > bound || index_[root] != 0) continue;
      visit(root);
      while (!calls_.empty()) {
        const uint32_t v = calls_.back().v;
        uint32_t& e = calls_.back().e;
        if (e < g.begin[v + 1]) {
          const uint32_t w = g.target[e++];
          if (g.rank[w] > bound) continue;
          if (index_[w] == 0) {
            visit(w);
          } else if (comp[w] == none) {
            low_[v] = std::min(low_[v], index_[w]);
          }
          continue;
        }
        calls_.pop_back();
        if (low_[v] == index_[v]) {
          const uint32_t c = static_cast<uint32_t>(start.size() - 1);
          uint32_t w;
          do {
            w = stack_.back();
            stack_.pop_back();
            comp[w] = c;
            members.push_back(w);
          } while (w != v);
          start.push_back(static_cast<uint32_t>(members.size()));
        }
        if (!calls_.empty()) {
          const uint32_t u = calls_.back().v;
          low_[u] = std::min(low_[u], low_[v]);
        }
      }
    }
  }

  uint32_t count() const { return static_cast<uint32_t>(start.size() - 1); }

  // Whether component c holds a cycle: two vertices or more, or a self-loop.
  bool cyclic(const Graph& g, uint32_t c) const {
    if (start[c + 1] - start[c] > 1) return true;
    const uint32_t v = members[start[c]];
    for (uint32_t e = g.begin[v]; e < g.begin[v + 1]; ++e)
      if (g.target[e] == v) return true;
    return false;
  }

  std::vector<uint32_t> comp;     // by vertex: its component, none when left out
  std::vector<uint32_t> members;  // the vertices, component by component
  std::vector<uint32_t> start;    // component c: members[start[c] .. start[c + 1])

 private:
  struct Frame {
    uint32_t v, e;
  };
  std::vector<uint32_t> index_, low_, stack_;
  std::vector<Frame> calls_;
};

class CycleSearch {
 public:
  CycleSearch(const VerifierGame& g, const uint8_t* winner, const uint32_t* strategy)
      : g_(g), winner_(winner), strategy_(strategy), ranks_(rank_colours(g)) {}

  uint32_t run() {
    first_round();
    while (!parts_.empty()) {
      next_.clear();
      next_parts_.clear();
      for (const Part& part : parts_) {
        const uint32_t found = split(part);
        if (found != no_node) return found;
      }
      std::swap(cur_, next_);
      std::swap(parts_, next_parts_);
    }
    return no_node;
  }

 private:
  bool opponents(uint32_t rank, uint8_t player) const { return ranks_.parity[rank] != player; }

  // Each region with its winner's nodes kept to their strategy edge, without
  // the nodes above the opponent's highest colour there (no cycle that the
  // opponent wins can pass them).
  void first_round() {
    cur_.clear();
    parts_.clear();
    const uint32_t n = g_.n_nodes;
    std::vector<uint32_t>& index = new_index_;
    index.assign(n, none);
    for (uint8_t p = 0; p < 2; ++p) {
      uint32_t top = 0;
      uint32_t lo = none;
      for (uint32_t v = 0; v < n; ++v) {
        if (winner_[v] != p) continue;
        const uint32_t r = ranks_.of_node[v];
        if (opponents(r, p)) top = std::max(top, r);
      }
      if (top == 0) continue;
      const uint32_t first = cur_.size();
      for (uint32_t v = 0; v < n; ++v) {
        if (winner_[v] != p || ranks_.of_node[v] > top) continue;
        index[v] = cur_.size();
        cur_.add_vertex(v, ranks_.of_node[v]);
        lo = std::min(lo, ranks_.of_node[v]);
      }
      for (uint32_t k = first; k < cur_.size(); ++k) {
        const uint32_t v = cur_.node[k];
        if (g_.owner[v] == p) {
          add_kept(strategy_[v], p, top);
        } else {
          for (uint32_t e = g_.succ_begin[v]; e < g_.succ_begin[v + 1]; ++e) add_kept(g_.succ_array[e], p, top);
        }
        cur_.end_vertex();
      }
      parts_.push_back(Part{first, cur_.size(), lo, top, p});
    }
  }

  void add_kept(uint32_t w, uint8_t p, uint32_t top) {
    if (w < g_.n_nodes && winner_[w] == p && ranks_.of_node[w] <= top) cur_.add_edge(new_index_[w]);
  }

  // Splits the part's rank range in halves: the components below the split
  // become parts of their own; above it, each of them becomes one contracted
  // vertex of a smaller graph whose components are the other new parts.
  uint32_t split(const Part& part) {
    const uint32_t mid = part.lo + (part.hi - part.lo) / 2;
    comps_.run(cur_, part.first, part.last, mid);
    const uint32_t n_lower = comps_.count();
    for (uint32_t c = 0; c < n_lower; ++c) {
      const uint32_t found = emit(cur_, c, part.player);
      if (found != no_node) return found;
    }
    if (mid == part.hi) return no_node;

    build_upper(part, mid, n_lower);
    comps_.run(upper_, 0, upper_.size(), part.hi);
    for (uint32_t c = 0; c < comps_.count(); ++c) {
      const uint32_t found = emit(upper_, c, part.player);
      if (found != no_node) return found;
    }
    return no_node;
  }

  // The part above the split: comps_' components as vertices 0 .. n_lower - 1
  // (contracted), then the vertices of higher rank, with every edge that
  // leaves a component.
  void build_upper(const Part& part, uint32_t mid, uint32_t n_lower) {
    const uint32_t size = part.last - part.first;
    unit_.resize(size);
    uint32_t units = n_lower;
    for (uint32_t k = 0; k < size; ++k) {
      const uint32_t v = part.first + k;
      unit_[k] = cur_.rank[v] <= mid ? comps_.comp[v] : units++;
    }
    upper_.node.assign(units, none);
    upper_.rank.assign(units, contracted);
    for (uint32_t k = 0; k < size; ++k) {
      const uint32_t u = unit_[k];
      if (u >= n_lower) {
        upper_.node[u] = cur_.node[part.first + k];
        upper_.rank[u] = cur_.rank[part.first + k];
      }
    }
    // Counting sort of the edges by their source unit.
    upper_.begin.assign(units + 1, 0);
    auto for_each_edge = [&](auto&& take) {
      for (uint32_t k = 0; k < size; ++k) {
        const uint32_t v = part.first + k;
        const uint32_t u = unit_[k];
        for (uint32_t e = cur_.begin[v]; e < cur_.begin[v + 1]; ++e) {
          const uint32_t w = unit_[cur_.target[e] - part.first];
          if (w == u && u < n_lower) continue;  // inside a component
          take(u, w);
        }
      }
    };
    for_each_edge([&](uint32_t u, uint32_t) { ++upper_.begin[u + 1]; });
    for (uint32_t u = 0; u < units; ++u) upper_.begin[u + 1] += upper_.begin[u];
    fill_.assign(upper_.begin.begin(), upper_.begin.end() - 1);
    upper_.target.resize(upper_.begin[units]);
    for_each_edge([&](uint32_t u, uint32_t w) { upper_.target[fill_[u]++] = w; });
  }

  // Component c of comps_ over src becomes a part of the next round when it
  // holds a cycle and a vertex of the opponent's parity. Returns a node on a
  // cycle won by the opponent when the component's highest rank is theirs.
  uint32_t emit(const Graph& src, uint32_t c, uint8_t player) {
    if (!comps_.cyclic(src, c)) return no_node;
    const uint32_t* begin = comps_.members.data() + comps_.start[c];
    const uint32_t* end = comps_.members.data() + comps_.start[c + 1];
    uint32_t top = contracted, top_vertex = none, opponent_top = contracted, lo = none;
    for (const uint32_t* p = begin; p != end; ++p) {
      const uint32_t r = src.rank[*p];
      if (r == contracted) continue;
      if (r > top) {
        top = r;
        top_vertex = *p;
      }
      if (opponents(r, player)) opponent_top = std::max(opponent_top, r);
      lo = std::min(lo, r);
    }
    if (top == contracted) return no_node;
    // The component is strongly connected and nothing in it ranks higher.
    if (opponents(top, player)) return src.node[top_vertex];
    if (opponent_top == contracted) return no_node;

    if (new_index_.size() < src.size()) new_index_.resize(src.size());
    const uint32_t first = next_.size();
    uint32_t k = first;
    for (const uint32_t* p = begin; p != end; ++p)
      if (src.rank[*p] <= opponent_top) new_index_[*p] = k++;
    for (const uint32_t* p = begin; p != end; ++p) {
      const uint32_t v = *p;
      if (src.rank[v] > opponent_top) continue;
      next_.add_vertex(src.node[v], src.rank[v]);
      for (uint32_t e = src.begin[v]; e < src.begin[v + 1]; ++e) {
        const uint32_t w = src.target[e];
        if (comps_.comp[w] == c && src.rank[w] <= opponent_top) next_.add_edge(new_index_[w]);
      }
      next_.end_vertex();
    }
    next_parts_.push_back(Part{first, next_.size(), lo, opponent_top, player});
    return no_node;
  }

  const VerifierGame& g_;
  const uint8_t* winner_;
  const uint32_t* strategy_;
  ColourRanks ranks_;
  Graph cur_, next_, upper_;
  std::vector<Part> parts_, next_parts_;
  Components comps_;
  std::vector<uint32_t> new_index_, unit_, fill_;
};

}  // namespace

uint32_t find_cycle_won_by_opponent(const VerifierGame& game, const uint8_t* winner, const uint32_t* strategy) {
  return CycleSearch(game, winner, strategy).run();
}
