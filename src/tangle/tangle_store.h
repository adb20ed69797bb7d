#pragma once
// The tangles learned so far, on the device (see TangleSetView): appended
// from the bottom components of a region, dropped when a node of theirs is
// solved.
#include <cstdint>
#include <unordered_set>
#include "common/device_vector.h"
#include "tangle/attract_kernels.h"
#include "tangle/tangle_view.h"

class TangleStore {
 public:
  TangleStore() = default;
  TangleStore(const TangleStore&) = delete;
  TangleStore& operator=(const TangleStore&) = delete;

  uint32_t size() const { return n_tangles_; }
  uint32_t entries() const { return n_entries_; }
  uint32_t escapes() const { return n_escapes_; }
  TangleSetView view();

  // Learns every bottom component of region r (the nodes of list[0 .. size)
  // with a member root) as a tangle of r's player, with the strategies in
  // g.sigma and the escapes (edges of the opponent to unsolved nodes outside
  // the component), unless the same player already learned the same node
  // set. Returns the number of tangles learned.
  uint32_t learn(const TangleView& g, const uint32_t* list, uint32_t size, RegionScope r);

  // Drops the tangles that hold a solved node.
  void drop_solved(const TangleView& g);

 private:
  DeviceVector<uint32_t> node_, tangle_, strategy_, escape_, escape_tangle_, blocked_;
  DeviceVector<uint8_t> player_;
  // Working storage of learn and drop_solved, kept between calls.
  DeviceVector<uint32_t> found_, keys_, counts_, offsets_;
  DeviceVector<uint32_t> spare_a_, spare_b_, spare_c_;
  DeviceVector<uint8_t> spare_player_;
  std::unordered_set<uint64_t> known_;  // signatures of the tangles learned
  uint32_t n_tangles_ = 0;
  uint32_t n_entries_ = 0;
  uint32_t n_escapes_ = 0;
};
