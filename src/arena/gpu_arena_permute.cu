#include <algorithm>
#include <string>
#include <vector>

#include <thrust/execution_policy.h>
#include <thrust/scan.h>
#include <thrust/scatter.h>

#include "arena/gpu_arena.h"
#include "arena/scatter_replace.h"
#include "common/launch.h"
#include "kernels/auxiliary_kernel.h"

namespace {

struct ThrustScatter {
  template <class T>
  void operator()(const T* source, const uint32_t* perm, std::size_t n, T* destination) const {
    thrust::scatter(thrust::device, source, source + n, perm, destination);
  }
};

// perm must be a permutation of 0 .. n - 1; anything else would make the
// scatters and the edge reordering write outside their arrays.
void check_permutation(const std::vector<uint32_t>& perm) {
  std::vector<char> hit(perm.size(), 0);
  for (uint32_t p : perm) {
    if (p >= perm.size() || hit[p]) {
      throw std::string("cudaGpuArena::permute: perm is not a permutation of the node indices");
    }
    hit[p] = 1;
  }
}

// The lists move with their nodes and every target is renamed.
void permute_adjacency(Adjacency& a, const uint32_t* perm, std::size_t n, std::size_t m) {
  replace_by_scatter(a.count, perm, n, ThrustScatter());
  PendingDeviceArray<uint32_t> begin;
  PendingDeviceArray<uint32_t> targets;
  begin.allocate(n + 1);
  targets.allocate(m);
  const uint32_t zero = 0;
  copy_array<Space::device, Space::host>(begin.get(), &zero, 1);
  thrust::inclusive_scan(thrust::device, a.count, a.count + n, begin.get() + 1);
  launch_kernel(kernel::reorderEdges, blocks_for(static_cast<unsigned int>(n), 256), 256, 0, perm, a.begin,
                a.targets, a.count, begin.get(), targets.get(), static_cast<unsigned int>(n));
  check_last_error("error reordering edges");
  uint32_t* old_begin = a.begin;
  uint32_t* old_targets = a.targets;
  a.begin = begin.take();
  a.targets = targets.take();
  free_array<Space::device>(old_begin);
  free_array<Space::device>(old_targets);
}

}  // namespace

void cudaGpuArena::permute(const uint32_t* perm) {
  const std::size_t n = n_nodes;
  const std::size_t m = n_edges;
  if (n == 0) return;
  if (device.color == nullptr || device.owner == nullptr || device.succ.count == nullptr) {
    throw std::string("cudaGpuArena::permute: the game is not on the device");
  }
  std::vector<uint32_t> host_perm(n);
  copy_array<Space::host, Space::device>(host_perm.data(), perm, n);
  check_permutation(host_perm);

  std::vector<uint32_t> new_id(n);
  for (std::size_t i = 0; i < n; ++i) new_id[host_perm[i]] = node_id[i];

  replace_by_scatter(device.color, perm, n, ThrustScatter());
  replace_by_scatter(device.owner, perm, n, ThrustScatter());
  permute_adjacency(device.succ, perm, n, m);
  if (device.pred.count != nullptr && device.pred.begin != nullptr && device.pred.targets != nullptr) {
    permute_adjacency(device.pred, perm, n, m);
  }
  std::copy(new_id.begin(), new_id.end(), node_id);
}
