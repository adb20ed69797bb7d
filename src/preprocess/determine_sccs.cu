#include <thrust/execution_policy.h>
#include <thrust/fill.h>
#include <string>

#include "arena/gpu_arena.h"
#include "common/launch.h"
#include "common/scoped_device_array.h"
#include "kernels/scc_kernels.h"
#include "common/device_flag.h"
#include "preprocess/cuda_preprocess.h"

namespace preprocess {

namespace {

typedef void (*UpdateWithFlag)(uint32_t*, const uint32_t*, uint32_t, bool*);

// Up to this many nodes one thread decomposes the graph: a small game's
// passes cost more in launches and flag reads than in work (on the host
// backend 15 of a 100-node range solve's 33 us went to them).
uint32_t one_thread_limit = default_one_thread_scc_nodes;

}  // namespace

void set_one_thread_scc_nodes(uint32_t nodes) { one_thread_limit = nodes; }

void check_scc_word_capacity(uint32_t n_nodes) {
  if (n_nodes > scc_word::max_nodes)
    throw std::string("preprocess: determine_sccs supports at most 268435456 nodes (node indices must fit into 28 "
                      "bits of an SCC word); this game has ") +
        std::to_string(n_nodes) + ".\n";
}

void determine_sccs(uint32_t* scc_id, uint32_t* scc_rank, const DeviceGraph& g) {
  if (g.n_nodes == 0) return;  // nothing to decompose, and no arrays to read
  if (g.n_pred == nullptr || g.pred_begin == nullptr || g.pred_array == nullptr)
    throw std::string("preprocess: determine_sccs requires the predecessors to be loaded onto the device.\n");
  check_scc_word_capacity(g.n_nodes);
  const uint32_t n = g.n_nodes;
  if (n <= one_thread_limit) {
    ScopedDeviceArray<uint32_t> scratch(5u * static_cast<std::size_t>(n));
    launch_kernel(kernel::scc::decompose_in_one_thread, 1, 1, 0, scc_id, scc_rank, scratch.get(), g.succ_begin,
                  g.succ_array, g.n_succ, n);
    check_cuda(cudaGetLastError(), "determine_sccs: the decomposition in one thread could not be launched: ");
    return;
  }
  const LaunchShape shape = shape_for(n);
  const unsigned int grid = shape.grid, block = shape.block;

  // Everything of the decomposition is allocated here, once: no pass allocates.
  ScopedDeviceArray<uint32_t> votes(3u * static_cast<std::size_t>(n));
  DeviceFlag changed("determine_sccs");
  launch_kernel(kernel::scc::find_initial_pivot, grid, block, 0, scc_id, votes.get(), g.n_succ, g.n_pred, n);
  launch_kernel(kernel::scc::set_initial_pivot, grid, block, 0, scc_id, votes.get(), g.n_succ, g.n_pred, n);
  changed.check_launch("determine_sccs: choosing the first pivot");

  // Trimming, propagation and the ranks are monotone fixpoints: passes past
  // the fixpoint change nothing, so each loop runs batches of passes between
  // two reads of the flag. A round of splits ends with one read: whether any
  // partition is left.
  for (;;) {
    run_until_unchanged(changed, "determine_sccs: trimming", [&] {
      launch_scc_graph_pass(SccGraphPass::trimming, grid, block, scc_id, g.succ_begin, g.succ_array, g.n_succ,
                            g.pred_begin, g.pred_array, g.n_pred, n, changed.get());
    });
    run_until_unchanged(changed, "determine_sccs: pivot propagation", [&] {
      launch_scc_graph_pass(SccGraphPass::propagation, grid, block, scc_id, g.succ_begin, g.succ_array, g.n_succ,
                            g.pred_begin, g.pred_array, g.n_pred, n, changed.get());
    });
    const char* const split = "determine_sccs: splitting the partitions";
    changed.clear(split);
    launch_kernel(kernel::scc::vote_scc_id, grid, block, 0, scc_id, votes.get(), n);
    changed.check_launch(split);
    launch_kernel(static_cast<UpdateWithFlag>(kernel::scc::update_scc_id), grid, block, 0, scc_id,
                  static_cast<const uint32_t*>(votes.get()), n, changed.get());
    changed.check_launch(split);
    if (!changed.read(split)) break;
  }

  launch_kernel(kernel::scc::mark_singleton_sccs, grid, block, 0, scc_id, g.succ_begin, g.succ_array, g.n_succ, n);
  changed.check_launch("determine_sccs: marking single-node SCCs");

  thrust::fill(thrust::device, scc_rank, scc_rank + n, 0u);
  run_until_unchanged(changed, "determine_sccs: SCC ranks", [&] {
    launch_scc_rank_pass(grid, block, scc_rank, scc_id, g.n_succ, g.succ_begin, g.succ_array, g.n_pred, g.pred_begin,
                         g.pred_array, n, changed.get());
  });
  launch_kernel(kernel::scc::set_scc_rank, grid, block, 0, scc_rank, static_cast<const uint32_t*>(scc_id), n);
  changed.check_launch("determine_sccs: SCC ranks");

  changed.release();
  votes.release();
}

}  // namespace preprocess

namespace preprocess {

void determine_sccs(uint32_t* scc_id, uint32_t* scc_rank, const cudaGpuArena& arena) {
  DeviceGraph g;
  g.n_nodes = arena.n_nodes;
  g.n_succ = arena.device.succ.count;
  g.succ_begin = arena.device.succ.begin;
  g.succ_array = arena.device.succ.targets;
  g.n_pred = arena.device.pred.count;
  g.pred_begin = arena.device.pred.begin;
  g.pred_array = arena.device.pred.targets;
  determine_sccs(scc_id, scc_rank, g);
}

}  // namespace preprocess
