#include "random_game.h"

#include <algorithm>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

namespace {

// std::uniform_int_distribution differs between standard libraries; the
// engine's output is fixed by the C++ standard, so draws are built on it to keep
// a seed's game identical everywhere.
class Draw {
 public:
  explicit Draw(uint64_t seed) : engine_(seed) {}

  // Uniform in [lo, hi] (inclusive) by rejection, free of modulo bias.
  uint64_t between(uint64_t lo, uint64_t hi) {
    if (hi < lo) throw std::invalid_argument("empty draw range");
    const uint64_t range = hi - lo + 1;  // 0 means the full 64-bit range
    if (range == 0) return engine_();
    // 2^64 mod range: values below it would make the low residues likelier.
    const uint64_t reject_below = (0 - range) % range;
    uint64_t x;
    do {
      x = engine_();
    } while (x < reject_below);
    return lo + x % range;
  }

  // True with the given probability (53 random bits, like a double in [0,1)).
  bool chance(double p) {
    const double u = static_cast<double>(engine_() >> 11) * (1.0 / 9007199254740992.0);
    return u < p;
  }

  template <typename T>
  void shuffle(std::vector<T>& values) {
    for (size_t i = values.size(); i > 1; --i) {
      const size_t j = static_cast<size_t>(between(0, i - 1));
      std::swap(values[i - 1], values[j]);
    }
  }

 private:
  std::mt19937_64 engine_;
};

const char* owner_name(OwnerMode m) {
  switch (m) {
    case OwnerMode::random: return "random";
    case OwnerMode::all_even: return "all_even";
    case OwnerMode::all_odd: return "all_odd";
  }
  return "?";
}

const char* id_name(IdMode m) {
  switch (m) {
    case IdMode::dense: return "dense";
    case IdMode::shuffled: return "shuffled";
    case IdMode::sparse: return "sparse";
  }
  return "?";
}

}  // namespace

TestGame random_game(const RandomGameParams& params) {
  if (params.min_color > params.max_color)
    throw std::invalid_argument("random_game: min_color > max_color");
  const uint32_t n = params.n_nodes;
  const uint32_t min_out = std::max<uint32_t>(1, params.min_out);
  const uint32_t max_out = std::max(min_out, params.max_out);

  Draw draw(params.seed);
  TestGame g;
  g.id.reserve(n);
  g.color.reserve(n);
  g.owner.reserve(n);
  g.succ.reserve(n);
  // Draw order is fixed (colour, owner, degree, successors, self-loop) so a
  // seed keeps meaning the same game.
  for (uint32_t v = 0; v < n; ++v) {
    const auto c = static_cast<uint32_t>(draw.between(params.min_color, params.max_color));
    uint8_t o = 0;
    switch (params.owners) {
      case OwnerMode::random: o = static_cast<uint8_t>(draw.between(0, 1)); break;
      case OwnerMode::all_even: o = 0; break;
      case OwnerMode::all_odd: o = 1; break;
    }
    const auto degree = static_cast<uint32_t>(draw.between(min_out, max_out));
    std::vector<uint32_t> s;
    s.reserve(degree + 1);
    for (uint32_t k = 0; k < degree; ++k) s.push_back(static_cast<uint32_t>(draw.between(0, n - 1)));
    if (params.self_loop_probability > 0 && draw.chance(params.self_loop_probability) &&
        std::find(s.begin(), s.end(), v) == s.end())
      s.push_back(v);
    g.add_node(c, o, std::move(s));
  }

  switch (params.ids) {
    case IdMode::dense: break;
    case IdMode::shuffled: draw.shuffle(g.id); break;
    case IdMode::sparse: {
      // Distinct values over the whole 32-bit range, up to 4294967295.
      std::unordered_set<uint32_t> used;
      used.reserve(n);
      for (uint32_t v = 0; v < n; ++v) {
        uint32_t x;
        do {
          x = static_cast<uint32_t>(draw.between(0, 0xFFFFFFFFu));
        } while (!used.insert(x).second);
        g.id[v] = x;
      }
      break;
    }
  }
  return g;
}

TestGame chain_game(uint32_t n, uint32_t max_color, uint64_t seed) {
  Draw draw(seed);
  TestGame g;
  for (uint32_t v = 0; v < n; ++v) {
    const auto c = static_cast<uint32_t>(draw.between(0, max_color));
    const auto o = static_cast<uint8_t>(draw.between(0, 1));
    g.add_node(c, o, {v + 1 < n ? v + 1 : v});
  }
  return g;
}

std::string describe(const RandomGameParams& p) {
  std::ostringstream s;
  s << "random_game{seed=" << p.seed << " n=" << p.n_nodes << " colors=[" << p.min_color << ","
    << p.max_color << "] out=[" << p.min_out << "," << p.max_out
    << "] self_loop=" << p.self_loop_probability << " owners=" << owner_name(p.owners)
    << " ids=" << id_name(p.ids) << "}";
  return s.str();
}
