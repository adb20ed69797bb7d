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
  uint32_t node_of(uint32_t v) const { return node[v]; }
  uint32_t rank_of(uint32_t v) const { return rank[v]; }
  const uint32_t* first_edge(uint32_t v) const { return target.data() + begin[v]; }
  const uint32_t* last_edge(uint32_t v) const { return target.data() + begin[v + 1]; }

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

// The game itself as the first graph of the search: the winner's nodes keep
// their strategy edge, the others all their edges (the regions are closed,
// so no edge leaves a region). Nodes above the highest colour of their
// region's opponent rank as excluded: no cycle the opponent wins passes them.
struct GameGraph {
  const VerifierGame& g;
  const uint8_t* winner;
  const uint32_t* strategy;
  std::vector<uint32_t> rank;

  uint32_t size() const { return g.n_nodes; }
  uint32_t node_of(uint32_t v) const { return v; }
  uint32_t rank_of(uint32_t v) const { return rank[v]; }
  const uint32_t* first_edge(uint32_t v) const {
    return g.owner[v] == winner[v] ? strategy + v : g.succ_array + g.succ_begin[v];
  }
  const uint32_t* last_edge(uint32_t v) const {
    return g.owner[v] == winner[v] ? strategy + v + 1 : g.succ_array + g.succ_begin[v + 1];
  }
};

const uint32_t excluded = none;

// One question of the search: inside vertices [first, last), whose colour
// ranks lie in [lo, hi] (contracted ones aside), is a vertex of the
// opponent's parity on a cycle of vertices of at most its rank?
struct Part {
  uint32_t first, last, lo, hi;
  uint8_t player;  // the region's winner
};

// Tarjan's algorithm with an explicit stack (games have millions of nodes).
// Following an edge reads one 8-byte slot: vertices left out and vertices of
// finished components are marked done there.
class Components {
 public:
  // The strongly connected components of the vertices [first, last) of g of
  // rank at most bound, with the edges between them.
  template <class G>
  void run(const G& g, uint32_t first, uint32_t last, uint32_t bound) {
    if (slot_.size() < g.size()) {
      slot_.resize(g.size());
      comp_.resize(g.size());
    }
    for (uint32_t v = first; v < last; ++v) {
      const bool in = g.rank_of(v) <= bound;
      slot_[v] = in ? Slot{0, 0} : Slot{done, done};
      comp_[v] = none;
    }
    members.clear();
    start.assign(1, 0);
    uint32_t counter = 0;
    auto visit = [&](uint32_t w) {
      slot_[w].index = slot_[w].low = ++counter;
      stack_.push_back(w);
      calls_.push_back(Frame{w, g.first_edge(w), g.last_edge(w)});
    };
    for (uint32_t root = first; root < last; ++root) {
      if (slot_[root].index != 0) continue;
      visit(root);
      while (!calls_.empty()) {
        Frame& f = calls_.back();
        const uint32_t v = f.v;
        if (f.edge != f.end) {
          const uint32_t w = *f.edge++;
          const uint32_t index = slot_[w].index;
          if (index == 0) {
            visit(w);  // f is not used after this
          } else if (index != done) {
            slot_[v].low = std::min(slot_[v].low, index);  // w is on the stack
          }
          continue;
        }
        calls_.pop_back();
        const uint32_t low = slot_[v].low;
        if (low == slot_[v].index) {
          const uint32_t c = static_cast<uint32_t>(start.size() - 1);
          uint32_t w;
          do {
            w = stack_.back();
            stack_.pop_back();
            slot_[w].index = done;
            comp_[w] = c;
            members.push_back(w);
          } while (w != v);
          start.push_back(static_cast<uint32_t>(members.size()));
        }
        if (!calls_.empty()) {
          const uint32_t u = calls_.back().v;
          slot_[u].low = std::min(slot_[u].low, low);
        }
      }
    }
  }

  uint32_t count() const { return static_cast<uint32_t>(start.size() - 1); }
  // The component of a vertex of the last run, none when it was left out.
  uint32_t comp(uint32_t v) const { return comp_[v]; }

  // Whether component c holds a cycle: two vertices or more, or a self-loop.
  template <class G>
  bool cyclic(const G& g, uint32_t c) const {
    if (start[c + 1] - start[c] > 1) return true;
    const uint32_t v = members[start[c]];
    for (const uint32_t* e = g.first_edge(v); e != g.last_edge(v); ++e)
      if (*e == v) return true;
    return false;
  }

  std::vector<uint32_t> members;  // the vertices, component by component
  std::vector<uint32_t> start;    // component c: members[start[c] .. start[c + 1])

 private:
  static const uint32_t done = 0xFFFFFFFFu;
  struct Slot {
    uint32_t index, low;
  };
  struct Frame {
    uint32_t v;
    const uint32_t* edge;
    const uint32_t* end;
  };
  std::vector<Slot> slot_;
  std::vector<uint32_t> comp_;
  std::vector<uint32_t> stack_;
  std::vector<Frame> calls_;
};

class CycleSearch {
 public:
  CycleSearch(const VerifierGame& g, const uint8_t* winner, const uint32_t* strategy)
      : g_(g), winner_(winner), ranks_(rank_colours(g)), game_{g, winner, strategy, {}} {}

  uint32_t run() {
    uint32_t found = first_round();
    while (found == no_node && !next_parts_.empty()) {
      std::swap(cur_, next_);
      std::swap(parts_, next_parts_);
      next_.clear();
      next_parts_.clear();
      for (const Part& part : parts_) {
        found = split(part);
        if (found != no_node) break;
      }
    }
    return found;
  }

 private:
  bool opponents(uint32_t rank, uint8_t player) const { return ranks_.parity[rank] != player; }

  // The strongly connected components of the whole game with its strategies
  // (in practice few nodes lie on cycles at all); those with a cycle become
  // the first parts.
  uint32_t first_round() {
    const uint32_t n = g_.n_nodes;
    uint32_t top[2] = {0, 0};  // the opponent's highest rank in each region
    for (uint32_t v = 0; v < n; ++v) {
      const uint32_t r = ranks_.of_node[v];
      const uint8_t p = winner_[v];
      if (opponents(r, p)) top[p] = std::max(top[p], r);
    }
    game_.rank.resize(n);
    for (uint32_t v = 0; v < n; ++v) {
      const uint32_t r = ranks_.of_node[v];
      game_.rank[v] = r <= top[winner_[v]] ? r : excluded;
    }
    next_.clear();
    next_parts_.clear();
    comps_.run(game_, 0, n, excluded - 1);
    for (uint32_t c = 0; c < comps_.count(); ++c) {
      const uint32_t found = emit(game_, c, winner_[comps_.members[comps_.start[c]]]);
      if (found != no_node) return found;
    }
    return no_node;
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
      unit_[k] = cur_.rank[v] <= mid ? comps_.comp(v) : units++;
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
  template <class G>
  uint32_t emit(const G& src, uint32_t c, uint8_t player) {
    if (!comps_.cyclic(src, c)) return no_node;
    const uint32_t* begin = comps_.members.data() + comps_.start[c];
    const uint32_t* end = comps_.members.data() + comps_.start[c + 1];
    uint32_t top = contracted, top_vertex = none, opponent_top = contracted, lo = none;
    for (const uint32_t* p = begin; p != end; ++p) {
      const uint32_t r = src.rank_of(*p);
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
    if (opponents(top, player)) return src.node_of(top_vertex);
    if (opponent_top == contracted) return no_node;

    if (new_index_.size() < src.size()) new_index_.resize(src.size());
    const uint32_t first = next_.size();
    uint32_t k = first;
    for (const uint32_t* p = begin; p != end; ++p)
      if (src.rank_of(*p) <= opponent_top) new_index_[*p] = k++;
    for (const uint32_t* p = begin; p != end; ++p) {
      const uint32_t v = *p;
      if (src.rank_of(v) > opponent_top) continue;
      next_.add_vertex(src.node_of(v), src.rank_of(v));
      for (const uint32_t* e = src.first_edge(v); e != src.last_edge(v); ++e) {
        if (comps_.comp(*e) == c && src.rank_of(*e) <= opponent_top) next_.add_edge(new_index_[*e]);
      }
      next_.end_vertex();
    }
    next_parts_.push_back(Part{first, next_.size(), lo, opponent_top, player});
    return no_node;
  }

  const VerifierGame& g_;
  const uint8_t* winner_;
  ColourRanks ranks_;
  GameGraph game_;
  Graph cur_, next_, upper_;
  std::vector<Part> parts_, next_parts_;
  Components comps_;
  std::vector<uint32_t> new_index_, unit_, fill_;
};

}  // namespace

uint32_t find_cycle_won_by_opponent(const VerifierGame& game, const uint8_t* winner, const uint32_t* strategy) {
  return CycleSearch(game, winner, strategy).run();
}
