#include "tangle/tangle_store.h"

#include <algorithm>
#include <vector>

#include <thrust/copy.h>
#include <thrust/execution_policy.h>
#include <thrust/fill.h>
#include <thrust/scan.h>
#include <thrust/sort.h>
#include <thrust/transform.h>

#include "common/device_array.h"
#include "common/launch.h"
#include "tangle/store_kernels.h"

namespace {

const unsigned int block = 256;

struct HasMember {
  const uint32_t* member;
  __host__ __device__ bool operator()(uint32_t v) const { return member[v] != tangle_state::none; }
};
struct MemberOf {
  const uint32_t* member;
  __host__ __device__ uint32_t operator()(uint32_t v) const { return member[v]; }
};

// Grows v to at least n elements (doubling, so that appends stay cheap);
// the elements it held are kept.
template <class T>
void ensure(DeviceVector<T>& v, std::size_t n) {
  if (v.size() >= n) return;
  std::size_t size = v.size() < 1024 ? 1024 : v.size();
  while (size < n) size *= 2;
  v.resize(size);
}

// FNV-1a over the player and the sorted nodes of a tangle.
uint64_t signature(uint32_t player, const uint32_t* nodes, std::size_t count) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint32_t x) {
    for (int b = 0; b < 4; ++b) {
      h ^= (x >> (8 * b)) & 0xFFu;
      h *= 1099511628211ull;
    }
  };
  mix(player);
  for (std::size_t i = 0; i < count; ++i) mix(nodes[i]);
  return h;
}

template <class T>
T* raw(DeviceVector<T>& v) {
  return thrust::raw_pointer_cast(v.data());
}

uint32_t read_one(const uint32_t* p) {
  uint32_t value = 0;
  copy_array<Space::host, Space::device>(&value, p, 1);
  return value;
}

// Replaces flags[0 .. n) (0 or 1) by their exclusive prefix sums and returns
// their total.
uint32_t positions(uint32_t* flags, uint32_t n) {
  if (n == 0) return 0;
  const uint32_t last = read_one(flags + n - 1);
  thrust::exclusive_scan(thrust::device, flags, flags + n, flags);
  return read_one(flags + n - 1) + last;
}

}  // namespace

TangleSetView TangleStore::view() {
  TangleSetView t;
  t.n_tangles = n_tangles_;
  t.n_entries = n_entries_;
  t.n_escapes = n_escapes_;
  if (n_tangles_ == 0) return t;
  t.node = raw(node_);
  t.tangle = raw(tangle_);
  t.strategy = raw(strategy_);
  t.escape = n_escapes_ != 0 ? raw(escape_) : nullptr;
  t.escape_tangle = n_escapes_ != 0 ? raw(escape_tangle_) : nullptr;
  t.player = raw(player_);
  t.blocked = raw(blocked_);
  return t;
}

uint32_t TangleStore::learn(const TangleView& g, const uint32_t* list, uint32_t size, RegionScope r) {
  if (size == 0) return 0;
  ensure(found_, size);
  ensure(keys_, size);
  ensure(counts_, size);
  ensure(offsets_, size);
  uint32_t* found = raw(found_);
  const uint32_t* found_end =
      thrust::copy_if(thrust::device, list, list + size, found, HasMember{g.member});
  uint32_t k = static_cast<uint32_t>(found_end - found);
  if (k == 0) return 0;
  uint32_t* keys = raw(keys_);
  thrust::transform(thrust::device, found, found + k, keys, MemberOf{g.member});
  thrust::stable_sort_by_key(thrust::device, keys, keys + k, found);

  // Group the components on the host and drop those learned before: a
  // tangle that lies inside a region without escapes there is found again as
  // a bottom component, and learning it twice would let searches repeat.
  std::vector<uint32_t> nodes(k), roots(k);
  copy_array<Space::host, Space::device>(nodes.data(), found, k);
  copy_array<Space::host, Space::device>(roots.data(), keys, k);
  std::vector<uint32_t> kept, kept_id;
  kept.reserve(k);
  kept_id.reserve(k);
  uint32_t learned = 0;
  for (uint32_t first = 0; first < k;) {
    uint32_t last = first;
    while (last < k && roots[last] == roots[first]) ++last;
    std::sort(nodes.begin() + first, nodes.begin() + last);
    if (known_.insert(signature(r.player, nodes.data() + first, last - first)).second) {
      kept.insert(kept.end(), nodes.begin() + first, nodes.begin() + last);
      kept_id.insert(kept_id.end(), last - first, learned);
      ++learned;
    }
    first = last;
  }
  k = static_cast<uint32_t>(kept.size());
  if (k == 0) return 0;
  copy_array<Space::device, Space::host>(found, kept.data(), k);
  uint32_t* id = raw(counts_);
  copy_array<Space::device, Space::host>(id, kept_id.data(), k);

  const uint32_t base = n_tangles_;
  ensure(node_, n_entries_ + k);
  ensure(tangle_, n_entries_ + k);
  ensure(strategy_, n_entries_ + k);
  launch_kernel(kernel::tangle::write_entries, blocks_for(k, block), block, 0, g, static_cast<const uint32_t*>(found),
                static_cast<const uint32_t*>(id), k, r.player, base, raw(node_) + n_entries_,
                raw(tangle_) + n_entries_, raw(strategy_) + n_entries_);

  uint32_t* offset = raw(offsets_);
  launch_kernel(kernel::tangle::count_escapes, blocks_for(k, block), block, 0, g, static_cast<const uint32_t*>(found),
                k, r, offset);
  const uint32_t escapes = positions(offset, k);
  if (escapes != 0) {
    ensure(escape_, n_escapes_ + escapes);
    ensure(escape_tangle_, n_escapes_ + escapes);
    launch_kernel(kernel::tangle::write_escapes, blocks_for(k, block), block, 0, g,
                  static_cast<const uint32_t*>(found), static_cast<const uint32_t*>(id),
                  static_cast<const uint32_t*>(offset), k, r, base, raw(escape_) + n_escapes_,
                  raw(escape_tangle_) + n_escapes_);
  }

  ensure(player_, n_tangles_ + learned);
  ensure(blocked_, n_tangles_ + learned);
  thrust::fill(thrust::device, raw(player_) + n_tangles_, raw(player_) + n_tangles_ + learned,
               static_cast<uint8_t>(r.player));
  thrust::fill(thrust::device, raw(blocked_) + n_tangles_, raw(blocked_) + n_tangles_ + learned, 0u);
  n_tangles_ += learned;
  n_entries_ += k;
  n_escapes_ += escapes;
  check_last_error("error while learning tangles");
  return learned;
}

void TangleStore::drop_solved(const TangleView& g) {
  if (n_tangles_ == 0) return;
  const TangleSetView t = view();
  // Which tangles stay, and their new numbers.
  ensure(spare_c_, n_tangles_);
  uint32_t* keep_tangle = raw(spare_c_);
  thrust::fill(thrust::device, keep_tangle, keep_tangle + n_tangles_, 1u);
  launch_kernel(kernel::tangle::mark_dead_tangles, blocks_for(n_entries_, block), block, 0, t, g, keep_tangle);
  ensure(keys_, n_tangles_);
  uint32_t* new_id = raw(keys_);
  thrust::copy(thrust::device, keep_tangle, keep_tangle + n_tangles_, new_id);
  const uint32_t alive = positions(new_id, n_tangles_);
  if (alive == n_tangles_) return;

  // Players.
  ensure(spare_player_, alive);
  launch_kernel(kernel::tangle::compact_players, blocks_for(n_tangles_, block), block, 0,
                static_cast<const uint8_t*>(raw(player_)), static_cast<const uint32_t*>(keep_tangle),
                static_cast<const uint32_t*>(new_id), n_tangles_, raw(spare_player_));
  player_.swap(spare_player_);

  // Entries.
  ensure(found_, n_entries_);
  ensure(offsets_, n_entries_);
  uint32_t* keep = raw(found_);
  uint32_t* position = raw(offsets_);
  launch_kernel(kernel::tangle::gather_keep, blocks_for(n_entries_, block), block, 0,
                static_cast<const uint32_t*>(raw(tangle_)), n_entries_, static_cast<const uint32_t*>(keep_tangle),
                keep);
  thrust::copy(thrust::device, keep, keep + n_entries_, position);
  const uint32_t entries = positions(position, n_entries_);
  ensure(spare_a_, entries);
  ensure(spare_b_, entries);
  ensure(counts_, entries);
  launch_kernel(kernel::tangle::compact_entries, blocks_for(n_entries_, block), block, 0,
                static_cast<const uint32_t*>(raw(node_)), static_cast<const uint32_t*>(raw(tangle_)),
                static_cast<const uint32_t*>(raw(strategy_)), static_cast<const uint32_t*>(keep),
                static_cast<const uint32_t*>(position), static_cast<const uint32_t*>(new_id), n_entries_,
                raw(spare_a_), raw(spare_b_), raw(counts_));
  node_.swap(spare_a_);
  tangle_.swap(spare_b_);
  strategy_.swap(counts_);

  // Escapes.
  uint32_t escapes = 0;
  if (n_escapes_ != 0) {
    ensure(found_, n_escapes_);
    ensure(offsets_, n_escapes_);
    keep = raw(found_);
    position = raw(offsets_);
    launch_kernel(kernel::tangle::gather_keep, blocks_for(n_escapes_, block), block, 0,
                  static_cast<const uint32_t*>(raw(escape_tangle_)), n_escapes_,
                  static_cast<const uint32_t*>(keep_tangle), keep);
    thrust::copy(thrust::device, keep, keep + n_escapes_, position);
    escapes = positions(position, n_escapes_);
    ensure(spare_a_, escapes);
    ensure(spare_b_, escapes);
    launch_kernel(kernel::tangle::compact_escapes, blocks_for(n_escapes_, block), block, 0,
                  static_cast<const uint32_t*>(raw(escape_)), static_cast<const uint32_t*>(raw(escape_tangle_)),
                  static_cast<const uint32_t*>(keep), static_cast<const uint32_t*>(position),
                  static_cast<const uint32_t*>(new_id), n_escapes_, raw(spare_a_), raw(spare_b_));
    escape_.swap(spare_a_);
    escape_tangle_.swap(spare_b_);
  }
  n_tangles_ = alive;
  n_entries_ = entries;
  n_escapes_ = escapes;
  thrust::fill(thrust::device, raw(blocked_), raw(blocked_) + n_tangles_, 0u);
  check_last_error("error while dropping solved tangles");
}
