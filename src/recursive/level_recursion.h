#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "host/types.h"

class DeviceWorklist;

// Where the winners' strategies go (device, n entries: successor indices)
// and the game arrays that choosing a successor reads. With strategy null no
// strategy work is done at all.
struct StrategyArrays {
  uint32_t* strategy = nullptr;
  const uint8_t* owner = nullptr;
  const uint32_t* n_succ = nullptr;
  const uint32_t* succ_begin = nullptr;
  const uint32_t* succ_array = nullptr;
};

// Zielonka's recursive algorithm on device arrays, shared by VantorSolver and
// VantorSolverV2, which differ only in where the game lies and in how they
// compute attractors.
//
// The marks never stand in for colours: the sub-games of a later pass are
// solved with their own colours, kept in game_color, and only marks written
// by the deeper call just finished count as the opponent's winnings there.
//
// Sub-games are never copied: a node belongs to the sub-game of level L when
// active_nodes[v] >= L, and removing a set from that sub-game raises every
// other node of it to L + 1. Colours are first raised by 2 so that the values
// 0 and 1 are free for the won marks (0 Even, 1 Odd) that the solve writes
// into the colour array.
class LevelRecursion {
 public:
  // Computes, over attr_array as prepared by the recursion, the attractor of
  // the player (0 Even, 1 Odd); see compute_attractor.
  typedef std::function<void(uint32_t* attr_array, unsigned int player)> Attract;

  explicit LevelRecursion(uint32_t n);
  LevelRecursion(const LevelRecursion&) = delete;
  LevelRecursion& operator=(const LevelRecursion&) = delete;
  ~LevelRecursion();

  // Solves the game whose device colour array of n entries is color: on
  // return every entry holds the won mark of its node. With strategies, the
  // attract callback must record attracting edges into the same array (see
  // compute_attractor); on return every node that its owner wins holds a
  // winning successor there, every other node no_strategy. The strategies
  // compose as the recursion does: a region won in a sub-game keeps the
  // strategy that won it there, an attracted node keeps its attracting edge,
  // and a top-colour node of a sub-game that its player wins entirely plays
  // any successor inside that sub-game.
  void solve(color_t* color, const Attract& attract, const StrategyArrays& strategies = StrategyArrays());

  uint32_t n_nodes;
  uint32_t n_blocks;                          // blocks of 256 threads over all nodes
  uint32_t* active_begin = nullptr;           // the stencil of the sub-game lists:
  uint32_t* active_end = nullptr;             // active_nodes[0 .. n)
  uint32_t* active_nodes = nullptr;           // device, n entries: level of each node
  uint32_t* attr_array = nullptr;             // device, n entries: attractor states, or scratch colours
  color_t* game_color = nullptr;              // device, n entries: the shifted colours, never marked
  std::unique_ptr<DeviceWorklist> work_list;  // nodes of the current sub-game

 private:
  // One call of the recursion: its level and the player of its top colour.
  struct Frame {
    uint32_t level;
    unsigned int player;
    uint32_t top;  // the top colour of the current pass (shifted)
  };
  enum class Next { descend, returned };

  Next enter(Frame& frame);
  Next pass(Frame& frame);
  Next resume(Frame& frame);
  void solve_level(uint32_t level);
  uint32_t rebuild(uint32_t level);
  void choose_in_subgame(uint32_t colour, unsigned int player, uint32_t level, uint32_t count);

  color_t* color_ = nullptr;
  const Attract* attract_ = nullptr;
  StrategyArrays strategies_;
};
