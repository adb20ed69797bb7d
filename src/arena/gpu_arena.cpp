#include "arena/gpu_arena.h"

#include "common/check_cuda.h"
#include "common/device_array.h"
#include "host/csr_conversion.h"
#include "host/fast_load.h"
#include "host/game_graph.h"

namespace {

template <Space S>
void free_adjacency(Adjacency& a) {
  free_array<S>(a.count);
  free_array<S>(a.begin);
  free_array<S>(a.targets);
}

template <Space S>
void alloc_adjacency(Adjacency& a, std::size_t n, std::size_t m) {
  alloc_array<S>(a.count, n);
  alloc_array<S>(a.begin, n + 1);
  alloc_array<S>(a.targets, m);
}

// Empty arrays are absent (null); there is nothing to copy for them.
template <Space Dst, Space Src, class T>
void copy_present(T* dst, const T* src, std::size_t count) {
  if (count != 0) copy_array<Dst, Src>(dst, src, count);
}

template <Space Dst, Space Src>
void copy_adjacency(const Adjacency& dst, const Adjacency& src, std::size_t n, std::size_t m) {
  copy_present<Dst, Src>(dst.count, src.count, n);
  copy_present<Dst, Src>(dst.begin, src.begin, n + 1);
  copy_present<Dst, Src>(dst.targets, src.targets, m);
}

// Host array to device array; the host one is freed once copied.
template <class T>
void move_array(T*& device_ptr, T*& host_ptr, std::size_t count) {
  alloc_array<Space::device>(device_ptr, count);
  copy_present<Space::device, Space::host>(device_ptr, host_ptr, count);
  free_array<Space::host>(host_ptr);
}

void move_adjacency(Adjacency& device_side, Adjacency& host_side, std::size_t n, std::size_t m) {
  move_array(device_side.count, host_side.count, n);
  move_array(device_side.begin, host_side.begin, n + 1);
  move_array(device_side.targets, host_side.targets, m);
}

// Device array to host array, allocating the host one when it is absent.
template <class T>
void copy_back(T*& host_ptr, const T* device_ptr, std::size_t count) {
  if (host_ptr == nullptr) alloc_array<Space::host>(host_ptr, count);
  copy_present<Space::host, Space::device>(host_ptr, device_ptr, count);
}

void copy_adjacency_back(Adjacency& host_side, const Adjacency& device_side, std::size_t n, std::size_t m) {
  copy_back(host_side.count, device_side.count, n);
  copy_back(host_side.begin, device_side.begin, n + 1);
  copy_back(host_side.targets, device_side.targets, m);
}

CsrTarget host_target(uint32_t* node_id, HostArena& host) {
  CsrTarget target;
  target.node_id = node_id;
  target.color = host.color;
  target.owner = host.owner;
  target.n_succ = host.succ.count;
  target.n_pred = host.pred.count;
  target.succ_begin = host.succ.begin;
  target.pred_begin = host.pred.begin;
  target.succ_array = host.succ.targets;
  target.pred_array = host.pred.targets;
  target.max_n_succ = 0;
  target.max_n_pred = 0;
  return target;
}

// For the destructor, which must not throw: the status of a free is dropped.
template <class T>
void free_unchecked(T*& ptr) {
  if (ptr != nullptr) cudaFree(ptr);
  ptr = nullptr;
}

void free_unchecked(Adjacency& a) {
  free_unchecked(a.count);
  free_unchecked(a.begin);
  free_unchecked(a.targets);
}

}  // namespace

cudaGpuArena::cudaGpuArena() { clear(); }

cudaGpuArena::~cudaGpuArena() {
  free_unchecked(device.pred);
  free_unchecked(device.color);
  free_unchecked(device.owner);
  free_unchecked(device.succ);
  clear();
}

void cudaGpuArena::clear() {
  free_array<Space::host>(node_id);
  min_parity = false;
  n_nodes = 0;
  n_edges = 0;
  min_color = 0;
  max_color = 0;
  max_n_succ = 0;
  max_n_pred = 0;
  players_swapped = false;
  free_array<Space::host>(host.color);
  free_array<Space::host>(host.owner);
  free_adjacency<Space::host>(host.succ);
  free_adjacency<Space::host>(host.pred);
  release_device(false);
}

void cudaGpuArena::allocate_host(uint32_t n, uint32_t m) {
  n_nodes = n;
  n_edges = m;
  alloc_array<Space::host>(node_id, n);
  alloc_array<Space::host>(host.color, n);
  alloc_array<Space::host>(host.owner, n);
  alloc_adjacency<Space::host>(host.succ, n, m);
  alloc_adjacency<Space::host>(host.pred, n, m);
}

void cudaGpuArena::load(const std::string& path) {
  {
    FastGameLoad fast;
    if (fast.read(path)) {
      clear();
      allocate_host(fast.n_nodes, fast.n_edges);
      min_color = fast.min_color;
      max_color = fast.max_color;
      CsrTarget target = host_target(node_id, host);
      fast.fill(target);
      max_n_succ = target.max_n_succ;
      max_n_pred = target.max_n_pred;
      return;
    }
  }
  GameGraph graph;
  graph.read(path);  // a rejected file leaves the graph empty: a game of zero nodes
  const uint32_t count = index_graph_nodes(graph);
  clear();
  allocate_host(count, graph.n_edges);
  min_color = static_cast<color_t>(graph.min_color);
  max_color = static_cast<color_t>(graph.max_color);
  CsrTarget target = host_target(node_id, host);
  convert_to_csr(graph, target);
  max_n_succ = target.max_n_succ;
  max_n_pred = target.max_n_pred;
}

void cudaGpuArena::upload(bool without_predecessors) {
  release_device(false);
  const std::size_t n = n_nodes;
  const std::size_t m = n_edges;
  alloc_array<Space::device>(device.color, n);
  alloc_array<Space::device>(device.owner, n);
  alloc_adjacency<Space::device>(device.succ, n, m);
  if (!without_predecessors) alloc_adjacency<Space::device>(device.pred, n, m);
  copy_present<Space::device, Space::host>(device.color, host.color, n);
  copy_present<Space::device, Space::host>(device.owner, host.owner, n);
  copy_adjacency<Space::device, Space::host>(device.succ, host.succ, n, m);
  if (!without_predecessors) copy_adjacency<Space::device, Space::host>(device.pred, host.pred, n, m);
}

void cudaGpuArena::move_to_device(bool without_predecessors) {
  release_device(false);
  const std::size_t n = n_nodes;
  const std::size_t m = n_edges;
  // Allocations in the order of upload, so that a failed one names the same
  // array; each host array goes as soon as its device copy is made.
  alloc_array<Space::device>(device.color, n);
  copy_present<Space::device, Space::host>(device.color, host.color, n);
  move_array(device.owner, host.owner, n);
  move_adjacency(device.succ, host.succ, n, m);
  if (without_predecessors) {
    free_adjacency<Space::host>(host.pred);
  } else {
    move_adjacency(device.pred, host.pred, n, m);
  }
}

void cudaGpuArena::download(bool without_predecessors) {
  const std::size_t n = n_nodes;
  const std::size_t m = n_edges;
  // Host arrays given up by move_to_device come back.
  copy_back(host.color, device.color, n);
  copy_back(host.owner, device.owner, n);
  copy_adjacency_back(host.succ, device.succ, n, m);
  if (!without_predecessors) copy_adjacency_back(host.pred, device.pred, n, m);
}

void cudaGpuArena::release_device(bool only_predecessors) {
  free_adjacency<Space::device>(device.pred);
  if (only_predecessors) return;
  free_array<Space::device>(device.color);
  free_array<Space::device>(device.owner);
  free_adjacency<Space::device>(device.succ);
  free_array<Space::device>(device.strategy);
}

void cudaGpuArena::allocate_strategy() {
  free_array<Space::device>(device.strategy);
  alloc_array<Space::device>(device.strategy, n_nodes);
  check_cuda(cudaMemset(device.strategy, 0xFF, static_cast<std::size_t>(n_nodes) * 4), "error while clearing strategy");
}
