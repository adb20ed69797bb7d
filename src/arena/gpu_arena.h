#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include "common/platform.h"
#include "host/types.h"

// One game in compressed row form: for node i, its neighbours are
// targets[begin[i]] .. targets[begin[i] + count[i] - 1], as node indices.
//   count   n entries      (n_succ / n_pred)
//   begin   n + 1 entries  (succ_begin / pred_begin; begin[n] = number of edges)
//   targets m entries      (succ_array / pred_array)
struct Adjacency {
  uint32_t* count = nullptr;
  uint32_t* begin = nullptr;
  uint32_t* targets = nullptr;
};

// The game arrays of an arena, on one side (host or device). Both sides have
// the same shape; the colour array doubles as the result array, where a solver
// writes the won marks 0 (Even) and 1 (Odd) and any value >= 2 is undecided.
//   color  n entries, colour (priority) or won mark
//   owner  n entries, 0 = node of Even, 1 = node of Odd
//   succ   successor lists
//   pred   predecessor lists (optional on the device: all three null)
struct HostArena {
  color_t* color = nullptr;
  uint8_t* owner = nullptr;
  Adjacency succ;
  Adjacency pred;
};
struct DeviceArena {
  color_t* color = nullptr;
  uint8_t* owner = nullptr;
  Adjacency succ;
  Adjacency pred;
  // Strategies, only when asked for (cudaGpuArena::allocate_strategy):
  // n successor indices, no_strategy where none is known. Solvers that
  // compute strategies fill it when present and skip that work otherwise.
  uint32_t* strategy = nullptr;
};

// Element transforms of swap_players.
struct SwapOwner {
  __host__ __device__ uint8_t operator()(uint8_t x) const { return static_cast<uint8_t>(x ^ 1u); }
};
// Exchanges the won marks 0 and 1; real colours (2 and above) keep their value.
struct SwapColorIfWon {
  __host__ __device__ color_t operator()(color_t c) const { return c < 2 ? static_cast<color_t>(c ^ 1u) : c; }
};

// A parity game held as host arrays and as device arrays of the same shape,
// with the file identifier of every node. Nodes are numbered 0 .. n_nodes - 1
// in the order the file lists them (the arena index). The fields are public:
// the solvers and the preprocessing read them and the device arrays directly,
// e.g. arena.device.color, arena.device.succ.begin.
class cudaGpuArena {
 public:
  // Colour convention: false while the largest colour is the most significant
  // (as in the input); the preprocessing sets it when it renumbers colours so
  // that the smallest one is.
  bool min_parity = false;
  uint32_t n_nodes = 0;
  uint32_t n_edges = 0;
  color_t min_color = 0;
  color_t max_color = 0;
  uint32_t max_n_succ = 0;
  uint32_t max_n_pred = 0;
  // Set while the device arrays hold the game with the players exchanged.
  bool players_swapped = false;
  uint32_t* node_id = nullptr;  // host, n entries: identifier in the file
  HostArena host;
  DeviceArena device;

  cudaGpuArena();
  cudaGpuArena(const cudaGpuArena&) = delete;
  cudaGpuArena& operator=(const cudaGpuArena&) = delete;
  ~cudaGpuArena();

  // Frees everything (host, device, node_id) and zeroes every field.
  void clear();
  // Sets n_nodes and n_edges and allocates node_id and the host arrays.
  void allocate_host(uint32_t n, uint32_t m);
  // Replaces the host side with the game in a PGSolver file; the conversion
  // checks and messages are those of ParityGame::load. A file the reader
  // rejects gives an arena of zero nodes.
  void load(const std::string& path);
  // Frees the device side, then allocates it and copies the host side there;
  // the predecessor lists only when without_predecessors is false.
  void upload(bool without_predecessors);
  // The same, but every host array except color is freed as soon as its
  // device copy is made, so that the game is never held twice in full;
  // download() brings them back.
  void move_to_device(bool without_predecessors);
  // Allocates device.strategy, every entry no_strategy.
  void allocate_strategy();
  // Copies the device side back into the host arrays (allocating those that
  // move_to_device gave up).
  void download(bool without_predecessors);
  // Frees the device predecessor lists and, unless only_predecessors, the
  // rest of the device side. The host side stays.
  void release_device(bool only_predecessors);
  // Exchanges the players on the device: owners flip, won marks 0 and 1
  // exchange, colours stay; toggles players_swapped.
  void swap_players();
  // Renumbers the device side: the node at index i moves to index perm[i]
  // (perm: device array of n entries, a permutation of 0 .. n - 1). node_id
  // follows; the other host arrays go stale until the next download.
  void permute(const uint32_t* perm);
  // Prints the regions by file identifier (ascending) and, with_strategy,
  // every node's successor list; undoes an exchange of players first.
  void print_result(std::ostream& out, bool with_strategy);
};
