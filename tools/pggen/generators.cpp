#include "generators.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

namespace pggen {

uint32_t Game::add_node(uint32_t c, uint8_t o) {
  if (succ_begin.empty()) succ_begin.push_back(0);
  else succ_begin.push_back(static_cast<uint32_t>(succ.size()));
  color.push_back(c);
  owner.push_back(o);
  return static_cast<uint32_t>(color.size() - 1);
}

void Game::finish() {
  if (succ_begin.empty()) succ_begin.push_back(0);
  succ_begin.push_back(static_cast<uint32_t>(succ.size()));
  // add_node pushed each node's start; the sentinel closes the last one.
  if (succ_begin.size() != color.size() + 1) throw std::logic_error("Game::finish called twice");
}

namespace {
uint64_t splitmix64(uint64_t& x) {
  uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
}  // namespace

Rng::Rng(uint64_t seed) {
  for (uint64_t& s : state_) s = splitmix64(seed);
}

uint64_t Rng::next() {
  const uint64_t result = rotl(state_[1] * 5, 7) * 9;
  const uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = rotl(state_[3], 45);
  return result;
}

uint64_t Rng::below(uint64_t bound) {
  if (bound == 0) throw std::invalid_argument("empty draw range");
  // Rejection keeps the low residues from being likelier.
  const uint64_t reject_below = (0 - bound) % bound;
  uint64_t x;
  do {
    x = next();
  } while (x < reject_below);
  return x % bound;
}

uint64_t Rng::between(uint64_t lo, uint64_t hi) {
  if (hi < lo) throw std::invalid_argument("empty draw range");
  return lo + below(hi - lo + 1);
}

bool Rng::chance(double p) { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0) < p; }

namespace {

void require(bool ok, const char* message) {
  if (!ok) throw std::invalid_argument(message);
}

// Draws `count` distinct successors in [0, n) other than `excluded` (pass n to
// exclude nothing) and appends them; `chosen` is scratch.
void draw_distinct(Game& g, Rng& rng, uint32_t n, uint32_t count, uint32_t excluded,
                   std::vector<uint32_t>& chosen) {
  const uint32_t available = excluded < n ? n - 1 : n;
  count = std::min(count, available);
  if (count * 2 > available && available <= 4096) {
    // Dense draws: a partial shuffle of all candidates.
    chosen.clear();
    for (uint32_t v = 0; v < n; ++v)
      if (v != excluded) chosen.push_back(v);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t j = i + static_cast<uint32_t>(rng.below(chosen.size() - i));
      std::swap(chosen[i], chosen[j]);
      g.add_edge(chosen[i]);
    }
    return;
  }
  const std::size_t first = g.succ.size();
  while (g.succ.size() - first < count) {
    const uint32_t w = static_cast<uint32_t>(rng.below(n));
    if (w == excluded) continue;
    if (std::find(g.succ.begin() + static_cast<std::ptrdiff_t>(first), g.succ.end(), w) != g.succ.end()) continue;
    g.add_edge(w);
  }
}

}  // namespace

Game random_game(uint32_t n, uint32_t p, uint32_t l, uint32_t h, uint64_t seed) {
  require(n >= 1, "random: n must be at least 1");
  require(p >= 1, "random: p must be at least 1");
  require(l >= 1 && l <= h, "random: need 1 <= l <= h");
  Rng rng(seed);
  Game g;
  g.color.reserve(n);
  g.owner.reserve(n);
  g.succ_begin.reserve(std::size_t(n) + 1);
  g.succ.reserve(std::size_t(n) * (std::min<uint64_t>(h, n) + l) / 2);
  std::vector<uint32_t> scratch;
  for (uint32_t v = 0; v < n; ++v) {
    const uint32_t c = static_cast<uint32_t>(rng.below(p));
    const uint8_t o = static_cast<uint8_t>(rng.below(2));
    g.add_node(c, o);
    const uint32_t degree = static_cast<uint32_t>(rng.between(l, h));
    draw_distinct(g, rng, n, degree, n, scratch);
  }
  g.finish();
  return g;
}

Game steady_game(uint32_t n, uint32_t p, uint32_t l, uint32_t h, uint64_t seed) {
  require(n >= 2, "steady: n must be at least 2");
  require(p >= 1, "steady: p must be at least 1");
  require(l >= 1 && l <= h, "steady: need 1 <= l <= h");
  Rng rng(seed);
  std::vector<uint32_t> colours(n);
  for (uint32_t v = 0; v < n; ++v) colours[v] = v % p;
  for (uint32_t i = n; i > 1; --i) std::swap(colours[i - 1], colours[rng.below(i)]);
  std::vector<uint32_t> order(n);
  for (uint32_t v = 0; v < n; ++v) order[v] = v;
  for (uint32_t i = n; i > 1; --i) std::swap(order[i - 1], order[rng.below(i)]);
  std::vector<uint32_t> next_in_cycle(n);
  for (uint32_t i = 0; i < n; ++i) next_in_cycle[order[i]] = order[(i + 1) % n];

  Game g;
  for (uint32_t v = 0; v < n; ++v) {
    g.add_node(colours[v], static_cast<uint8_t>(rng.below(2)));
    const uint32_t degree = std::min<uint32_t>(static_cast<uint32_t>(rng.between(l, h)), n - 1);
    const uint32_t first = next_in_cycle[v];
    g.add_edge(first);
    // The rest: distinct, not v, not the first one.
    const std::size_t start = g.succ.size() - 1;
    while (g.succ.size() - start < degree) {
      const uint32_t w = static_cast<uint32_t>(rng.below(n));
      if (w == v) continue;
      if (std::find(g.succ.begin() + static_cast<std::ptrdiff_t>(start), g.succ.end(), w) != g.succ.end()) continue;
      g.add_edge(w);
    }
  }
  g.finish();
  return g;
}

Game ladder_game(uint32_t n) {
  require(n >= 1, "ladder: n must be at least 1");
  const uint32_t size = 2 * n;
  Game g;
  for (uint32_t v = 0; v < size; ++v) {
    g.add_node(v % 2 == 0 ? 2 : 1, static_cast<uint8_t>(v % 2));
    g.add_edge((v + 1) % size);
    g.add_edge((v + 2) % size);
  }
  g.finish();
  return g;
}

Game recursive_ladder_game(uint32_t k) {
  require(k >= 1, "recursiveladder: k must be at least 1");
  Game g;
  for (uint32_t r = 0; r < k; ++r) {
    const uint32_t a = 3 * r, b = a + 1, c = a + 2;
    g.add_node(2 * r + 3, static_cast<uint8_t>(r % 2));
    if (r >= 2) g.add_edge(3 * (r - 2) + 2);
    g.add_edge(b);
    g.add_node(2 * r + 2, 1);
    if (r + 1 < k) g.add_edge(3 * (r + 1) + 1);
    g.add_edge(b);
    g.add_node(2 * r + 1, 0);
    g.add_edge(a);
    g.add_edge(c);
  }
  g.finish();
  return g;
}

Game solitaire_game(uint32_t k) {
  require(k >= 1, "solitaire: k must be at least 1");
  Game g;
  for (uint32_t r = 0; r < k; ++r) {
    const uint32_t a = 3 * r, c = a + 2;
    g.add_node(2 * r + 4, 1);
    g.add_edge(r >= 1 ? 3 * (r - 1) + 2 : a);
    g.add_node(2 * r + 3, 0);
    g.add_edge(r >= 1 ? 3 * (r - 1) : 0);
    if (r >= 2) g.add_edge(3 * (r - 2));
    g.add_node(2 * r + 1, 0);
    g.add_edge(a + 1);
    g.add_edge(c);
  }
  g.finish();
  return g;
}

Game odd_ladder_game(uint32_t k) {
  require(k >= 2, "oddladder: k must be at least 2");
  Game g;
  for (uint32_t r = 0; r < k; ++r) {
    const uint32_t a = 3 * r, b = a + 1, c = a + 2;
    g.add_node(2 * r + 3, 1);
    g.add_edge(c);
    g.add_node(2 * r, 1);
    g.add_edge(b);
    g.add_edge(c);
    g.add_node(2 * r + 2, 0);
    if (r >= 1) g.add_edge(c - 3);
    if (r + 1 < k) g.add_edge(a + 3);
  }
  g.finish();
  return g;
}

Game jurdzinski_game(uint32_t levels, uint32_t blocks) {
  require(levels >= 1 && blocks >= 1, "jurdzinski: levels and blocks must be at least 1");
  // Layout: o_{j,b} = 2(j * blocks + b), e_{j,b} = that + 1, then s, then c.
  const uint32_t pairs = levels * blocks;
  const uint32_t s = 2 * pairs, c = s + 1;
  auto o = [blocks](uint32_t j, uint32_t b) { return 2 * (j * blocks + b); };
  Game g;
  for (uint32_t j = 0; j < levels; ++j) {
    for (uint32_t b = 0; b < blocks; ++b) {
      g.add_node(2 * j + 1, 1);
      // The chain runs from the highest level down, each level in block order.
      if (b + 1 < blocks) g.add_edge(o(j, b + 1));
      else if (j > 0) g.add_edge(o(j - 1, 0));
      else g.add_edge(s);
      g.add_edge(o(j, b) + 1);
      g.add_node(2 * j + 2, 0);
      g.add_edge(o(j, b) + 1);
    }
  }
  g.add_node(0, 0);
  g.add_edge(s);
  g.add_node(1, 0);
  g.add_edge(c);
  g.add_edge(o(levels - 1, 0));
  g.finish();
  return g;
}

Game clique_game(uint32_t n) {
  require(n >= 2, "clique: n must be at least 2");
  Game g;
  g.succ.reserve(std::size_t(n) * (n - 1));
  for (uint32_t v = 0; v < n; ++v) {
    g.add_node(v, static_cast<uint8_t>(v % 2));
    for (uint32_t w = 0; w < n; ++w)
      if (w != v) g.add_edge(w);
  }
  g.finish();
  return g;
}

Game scc_game(uint32_t n, uint32_t max_size, uint32_t p, uint64_t seed) {
  require(n >= 1, "sccs: n must be at least 1");
  require(max_size >= 1, "sccs: max_size must be at least 1");
  require(p >= 1, "sccs: p must be at least 1");
  Rng rng(seed);
  Game g;
  const double log_max = std::log(static_cast<double>(max_size) + 1.0);
  uint32_t start = 0;
  while (start < n) {
    // Log-uniform size: components of every order of magnitude up to max_size.
    const double u = static_cast<double>(rng.next() >> 11) * (1.0 / 9007199254740992.0);
    uint32_t size = static_cast<uint32_t>(std::exp(u * log_max));
    size = std::max<uint32_t>(1, std::min(size, max_size));
    size = std::min(size, n - start);
    for (uint32_t i = 0; i < size; ++i) {
      const uint32_t v = start + i;
      g.add_node(static_cast<uint32_t>(rng.below(p)), static_cast<uint8_t>(rng.below(2)));
      if (size == 1) {
        g.add_edge(v);
      } else {
        g.add_edge(start + (i + 1) % size);
        const uint32_t extra = static_cast<uint32_t>(rng.below(3));
        for (uint32_t k = 0; k < extra; ++k) g.add_edge(start + static_cast<uint32_t>(rng.below(size)));
      }
      if (start > 0 && rng.chance(0.5)) g.add_edge(static_cast<uint32_t>(rng.below(start)));
    }
    start += size;
  }
  g.finish();
  return g;
}

namespace {
char* put_number(char* p, uint32_t x) {
  char digits[10];
  int k = 0;
  do {
    digits[k++] = static_cast<char>('0' + x % 10);
    x /= 10;
  } while (x != 0);
  while (k > 0) *p++ = digits[--k];
  return p;
}
}  // namespace

void write_pgsolver(const Game& game, std::ostream& out) {
  const uint32_t n = game.size();
  out << "parity " << (n == 0 ? 0 : n - 1) << ";\n";
  std::vector<char> buffer(1 << 16);
  char* p = buffer.data();
  char* const limit = buffer.data() + buffer.size() - 64;
  auto flush = [&]() {
    out.write(buffer.data(), p - buffer.data());
    p = buffer.data();
  };
  for (uint32_t v = 0; v < n; ++v) {
    p = put_number(p, v);
    *p++ = ' ';
    p = put_number(p, game.color[v]);
    *p++ = ' ';
    *p++ = static_cast<char>('0' + game.owner[v]);
    *p++ = ' ';
    for (uint32_t k = game.succ_begin[v]; k < game.succ_begin[v + 1]; ++k) {
      if (k != game.succ_begin[v]) *p++ = ',';
      p = put_number(p, game.succ[k]);
      if (p > limit) flush();
    }
    *p++ = ';';
    *p++ = '\n';
    if (p > limit) flush();
  }
  flush();
}

std::string to_pgsolver(const Game& game) {
  std::ostringstream out;
  write_pgsolver(game, out);
  return out.str();
}

}  // namespace pggen
