#pragma once
// Tarjan's SCC algorithm on the host, written independently of the device
// decomposition, and the SCC heights it implies; the device results are
// checked against these.
#include <cstdint>
#include <vector>

#include "test_game.h"

struct HostSccs {
  std::vector<uint32_t> component;  // component number of every node
  uint32_t count = 0;               // number of components
  std::vector<uint32_t> size;       // nodes per component
  std::vector<bool> self_loop;      // per node
  // Height in the condensation: 0 for a component no edge leaves, else
  // 1 + the largest height of a component an edge leaves to.
  std::vector<uint32_t> height;     // per component
};

HostSccs host_sccs(const std::vector<std::vector<uint32_t>>& succ);

// A game of many SCCs: blocks of block_size nodes, each strongly connected (a
// cycle with chords; a single node only sometimes with its self-loop), with
// edges to random earlier blocks, node positions shuffled so that the
// condensation's order does not follow the indices.
TestGame block_game(uint32_t blocks, uint32_t block_size, uint32_t max_color, uint64_t seed);
