#pragma once
// Seeded generators of parity-game families, written from the usual textbook
// descriptions; each family's exact construction is documented at its function
// and in the README. Games come out in CSR form with node i written as id i.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pggen {

struct Game {
  std::vector<uint32_t> color;
  std::vector<uint8_t> owner;        // 0 Even, 1 Odd
  std::vector<uint32_t> succ_begin;  // n + 1 entries
  std::vector<uint32_t> succ;

  uint32_t size() const { return static_cast<uint32_t>(color.size()); }
  uint64_t edges() const { return succ.size(); }
  // Appends a node; its successors follow with add_edge until the next add_node.
  uint32_t add_node(uint32_t c, uint8_t o);
  void add_edge(uint32_t target) { succ.push_back(target); }
  // Closes the last node's successor list (called by every generator at the end).
  void finish();
};

// xoshiro256** seeded through splitmix64, with our own uniform draws (the
// standard distributions differ between libraries), so a seed gives the same
// game everywhere.
class Rng {
 public:
  explicit Rng(uint64_t seed);
  uint64_t next();
  uint64_t below(uint64_t bound);                // uniform in [0, bound), bound > 0
  uint64_t between(uint64_t lo, uint64_t hi);    // uniform in [lo, hi]
  bool chance(double p);

 private:
  uint64_t state_[4];
};

// n nodes; colour uniform in [0, p); owner uniform; out-degree uniform in
// [l, h] (capped at n), successors distinct and uniform over all nodes (a node
// may list itself).
Game random_game(uint32_t n, uint32_t p, uint32_t l, uint32_t h, uint64_t seed);

// n nodes (n >= 2), like random_game but evenly spread: every colour of
// [0, p) is given to n/p nodes (the first n mod p colours to one more) in
// shuffled order; no node lists itself; and the first successors follow one
// random cyclic order of all nodes, so every node has a predecessor and the
// whole game is one strongly connected component. The other l-1 .. h-1
// successors are distinct and uniform.
Game steady_game(uint32_t n, uint32_t p, uint32_t l, uint32_t h, uint64_t seed);

// 2n nodes (n >= 1) on two rails. Node v has colour 2 if v is even and 1 if v
// is odd, owner v mod 2, and successors (v + 1) mod 2n and (v + 2) mod 2n.
// Each player wins exactly its own nodes (keeping to its rail by +2 steps).
Game ladder_game(uint32_t n);

// 3k nodes (k >= 1), rung r = 0 .. k-1 holding a_r = 3r, b_r = 3r + 1,
// c_r = 3r + 2:
//   a_r: colour 2r + 3, owner r mod 2, successors c_{r-2} (when r >= 2), b_r;
//   b_r: colour 2r + 2, owner Odd,     successors b_{r+1} (when r + 1 < k), b_r;
//   c_r: colour 2r + 1, owner Even,    successors a_r, c_r.
// Even wins every node. Zielonka's algorithm, removing the attractor of all
// nodes of the top colour at each level, makes 2^k-fold recursive calls on it
// (3 * 2^(k+1) - 5), so the family is exponential for the recursive solvers.
Game recursive_ladder_game(uint32_t k);

// 3k nodes (k >= 1), rung r = 0 .. k-1 holding a_r = 3r, b_r = 3r + 1,
// c_r = 3r + 2:
//   a_r: colour 2r + 4, owner Odd,  successor c_{r-1} (a_0: itself);
//   b_r: colour 2r + 3, owner Even, successors a_{r-1} and a_{r-2} where they
//        exist (b_0: a_0);
//   c_r: colour 2r + 1, owner Even, successors b_r, c_r.
// A solitaire game: every Odd node has one successor, so only Even chooses.
// Apart from the self-loops of the c_r and of a_0 it is acyclic, and Even
// wins every node by walking down to a_0.
// Zielonka's algorithm, removing the attractor of all nodes of the top colour
// at each level, makes 3 * 2^k - 4 recursive calls on it: exponential on the
// one-player games, as Gazda and Willemse showed with their family G (GandALF
// 2013, "Zielonka's recursive algorithm: dull, weak and solitaire games and
// tighter bounds", bound 2^(n/3)), in a construction of our own (their
// figures were not at hand, only the bounds).
Game solitaire_game(uint32_t k);

// 3k nodes (k >= 2), rung r = 0 .. k-1 holding a_r = 3r, b_r = 3r + 1,
// c_r = 3r + 2:
//   a_r: colour 2r + 3, owner Odd,  successor c_r;
//   b_r: colour 2r,     owner Odd,  successors b_r, c_r;
//   c_r: colour 2r + 2, owner Even, successors c_{r-1} (when r >= 1) and
//        a_{r+1} (when r + 1 < k).
// Odd wins every node: a cycle through the c_r climbs to its highest rung m
// through a_m, whose odd colour tops c_m's. Both players choose (at b_r and
// c_r). Zielonka's algorithm, removing the attractor of all nodes of the top
// colour at each level, makes 3 * 2^(k-1) - 4 recursive calls on it: the
// 2^(n/3) bound on general games of Gazda and Willemse's family M (GandALF
// 2013, as above), in a construction of our own.
Game odd_ladder_game(uint32_t k);

// Progress-measure counter with `levels` odd colours of `blocks` nodes each
// (levels, blocks >= 1), 2 * levels * blocks + 2 nodes:
//   o_{j,b} (j < levels, b < blocks): colour 2j + 1, owner Odd; successors:
//     the next node of the chain o_{levels-1,0} .. o_{levels-1,blocks-1},
//     o_{levels-2,0} .. o_{0,blocks-1}, s (highest level first), and e_{j,b};
//   e_{j,b}: colour 2j + 2, owner Even, successor e_{j,b};
//   s: colour 0, owner Even, successor s;
//   c: colour 1, owner Even, successors c and o_{levels-1,0}.
// Even wins every node. The least progress measure of c is its successor's
// plus one, which lifting reaches by single increments through about
// blocks * (blocks + 1)^(levels - 1) values: exponential in the levels for
// small progress measures, as in Jurdzinski's lower-bound games.
Game jurdzinski_game(uint32_t levels, uint32_t blocks);

// n nodes (n >= 2), node v with colour v, owner v mod 2 and every other node
// as successor (n(n-1) edges). With n >= 4 every node is won by its owner:
// each player cycles through its own nodes, whose highest colour has its parity.
Game clique_game(uint32_t n);

// n nodes cut into consecutive strongly connected components of random sizes
// 1 .. max_size (log-uniform). A component of size s >= 2 is a cycle through its
// nodes plus 0 .. 2 random edges per node inside it; a component of one node has
// a self-loop. Each node of a later component also gets, with probability 1/2,
// one edge to a random node of an earlier component, so the components form a
// DAG in file order. Colours uniform in [0, p), owners uniform.
Game scc_game(uint32_t n, uint32_t max_size, uint32_t p, uint64_t seed);

// Writes "parity <n - 1>;" and one line "v colour owner s,s,...;" per node.
void write_pgsolver(const Game& game, std::ostream& out);
std::string to_pgsolver(const Game& game);

}  // namespace pggen
