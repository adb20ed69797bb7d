#include "kernels/simple_spm_kernel.h"

#include <cstddef>

#include "common/work_counters.h"
#include "kernels/spm_in_place.h"
#include "kernels/spm_measure.h"

namespace kernel {

namespace {

// merge_class on the even components of the rows of a lift's successors.
struct MergeOneSided {
  int* best;
  unsigned int c;
  int sign;
  unsigned int dim;
  int first;  // what best's most significant component starts at
  __device__ void start() const {
    for (unsigned int i = 2; i < dim; i += 2) best[i] = 0;
    best[2] = first;
  }
  template <class Row>
  __device__ void operator()(Row row) const {
    merge_class(best, row, 2, c, sign);
  }
};

}  // namespace

__device__ bool simple_spm_iteration_main(const unsigned int* rank_counter, unsigned int v, const int* valuation,
                                          int* valuation_next, unsigned short* color, const unsigned char* owner,
                                          unsigned int* n_succ, const unsigned int* succ_begin,
                                          unsigned int* succ_array, unsigned int n_nodes,
                                          unsigned int valuation_dim, unsigned int top_parity) {
  if (valuation_dim < 3) {
    // One colour rank: every play is won by top_parity. Only a colour that
    // really changes counts, or the loop would never see a quiet iteration.
    const bool changed = color[v] != top_parity;
    color[v] = static_cast<unsigned short>(top_parity);
    return changed;
  }
  const unsigned int c = color[v] >> 1;
  if (c == 0) return false;  // decided
  const unsigned int count = n_succ[v];
  if (count == 0) return false;
  const unsigned int o = owner[v];
  const unsigned int b = succ_begin[v];
  unsigned int end = b + count;

  PG_DYNAMIC_SHARED(int, nxt_buffer);
  int* best = nxt_buffer + threadIdx.x * valuation_dim;
  for (unsigned int i = 2; i < valuation_dim; i += 2) best[i] = 0;
  // top_parity's nodes minimise; their start value loses against any successor.
  if (o == top_parity && color[v] > 3) best[2] = static_cast<int>(n_nodes + 1);
  const int sign = o == top_parity ? -1 : 1;

  unsigned int e = b;
  while (e < end) {
    const unsigned int w = succ_array[e];
    const unsigned int cw = color[w];
    if (cw < 2) {
      if (cw == o) {
        color[v] = static_cast<unsigned short>(o);
        succ_array[b] = w;
        n_succ[v] = 1;
        work_counters::count(work_counters::decision);
        return true;
      }
      --end;
      succ_array[e] = succ_array[end];
      continue;
    }
    merge_class(best, valuation + static_cast<std::size_t>(w) * valuation_dim, 2, c, sign);
    ++e;
  }

  n_succ[v] = end - b;
  work_counters::count(work_counters::lift);
  if (end == b) {
    color[v] = static_cast<unsigned short>(1 - o);
    work_counters::count(work_counters::decision);
    return true;
  }
  const unsigned int p = color[v] & 1u;
  if (p != top_parity && !raise_measure(best, rank_counter, c)) {
    color[v] = static_cast<unsigned short>(p);
    work_counters::count(work_counters::decision);
    return true;
  }
  const int* old_row = valuation + static_cast<std::size_t>(v) * valuation_dim;
  int* next_row = valuation_next + static_cast<std::size_t>(v) * valuation_dim;
  bool changed = false;
  for (unsigned int i = 2; i < valuation_dim; i += 2) {
    if (best[i] != old_row[i]) changed = true;
    next_row[i] = best[i];
  }
  if (changed) work_counters::count(work_counters::raise);
  return changed;
}

__global__ void simple_spm_iteration(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                                     bool* go_on, unsigned short* color, const unsigned char* owner,
                                     unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                     unsigned int n_nodes, unsigned int valuation_dim, unsigned int top_parity) {
  const unsigned int v = blockIdx.x * blockDim.x + threadIdx.x;
  if (v >= n_nodes) return;
  if (simple_spm_iteration_main(rank_counter, v, valuation, valuation_next, color, owner, n_succ, succ_begin,
                                succ_array, n_nodes, valuation_dim, top_parity))
    *go_on = true;
}

__global__ void simple_spm_iteration_wl(const unsigned int* rank_counter, const int* valuation,
                                        int* valuation_next, bool* go_on, const unsigned int* work_list,
                                        unsigned int* work_list_permutation, unsigned short* color,
                                        const unsigned char* owner, unsigned int* n_succ,
                                        const unsigned int* n_pred, const unsigned int* succ_begin,
                                        const unsigned int* pred_begin, unsigned int* succ_array,
                                        const unsigned int* pred_array, unsigned int count, unsigned int n_nodes,
                                        unsigned int valuation_dim, unsigned int top_parity) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  const unsigned int v = work_list[t];
  if (simple_spm_iteration_main(rank_counter, v, valuation, valuation_next, color, owner, n_succ, succ_begin,
                                succ_array, n_nodes, valuation_dim, top_parity)) {
    flag_predecessors(v, n_pred, pred_begin, pred_array, work_list_permutation);
    *go_on = true;
  }
}

__global__ void simple_spm_iteration_oan(const unsigned int* rank_counter, const int* valuation,
                                         int* valuation_next, bool* go_on, unsigned short* color,
                                         const unsigned char* owner, unsigned int* n_succ,
                                         const unsigned int* succ_begin, unsigned int* succ_array,
                                         const unsigned int* work_list, unsigned int count, unsigned int n_nodes,
                                         unsigned int valuation_dim, unsigned int top_parity) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  if (simple_spm_iteration_main(rank_counter, work_list[t], valuation, valuation_next, color, owner, n_succ,
                                succ_begin, succ_array, n_nodes, valuation_dim, top_parity))
    *go_on = true;
}

__global__ void spm_strategy(const int* valuation, unsigned int valuation_dim, unsigned int first, unsigned int winner,
                             bool any_successor, const unsigned short* color, const unsigned char* owner,
                             const unsigned int* n_succ, const unsigned int* succ_begin,
                             const unsigned int* succ_array, unsigned int* strategy, unsigned int n) {
  const unsigned int v = blockIdx.x * blockDim.x + threadIdx.x;
  if (v >= n || owner[v] != winner || n_succ[v] == 0) return;
  const unsigned int b = succ_begin[v];
  if (any_successor) {
    if (color[v] == winner || color[v] >= 2) strategy[v] = succ_array[b];
    return;
  }
  if (color[v] < 2) return;
  unsigned int best = 0xFFFFFFFFu;
  const int* best_row = nullptr;
  for (unsigned int e = b; e < b + n_succ[v]; ++e) {
    const unsigned int w = succ_array[e];
    if (color[w] < 2) continue;
    const int* row = valuation + static_cast<std::size_t>(w) * valuation_dim;
    bool less = best_row == nullptr;
    for (unsigned int i = first; !less && i < valuation_dim; i += 2) {
      if (row[i] != best_row[i]) {
        less = row[i] < best_row[i];
        break;
      }
    }
    if (less) {
      best = w;
      best_row = row;
    }
  }
  if (best != 0xFFFFFFFFu) strategy[v] = best;
}

__global__ void simple_spm_iteration_finalize(unsigned short* color, unsigned int n, unsigned int top_parity) {
  const unsigned int v = blockIdx.x * blockDim.x + threadIdx.x;
  if (v < n && color[v] != 1 - top_parity) color[v] = static_cast<unsigned short>(top_parity);
}

__device__ int SimpleSpmInPlaceLift::operator()(const LiftArgs& a, unsigned int v) const {
  if (a.valuation_dim < 3) {
    // One colour rank: every play is won by top_parity (colours only).
    const bool changed = a.color[v] != a.top_parity;
    a.color[v] = static_cast<unsigned short>(a.top_parity);
    if (!changed) return lift_unchanged;
    report_pass(a.report, decided_node);
    return lift_changed;
  }
  if ((a.color[v] >> 1) == 0 || a.n_succ[v] == 0) return lift_unchanged;
  return lift_holding_row(*this, a, v);
}

__device__ int SimpleSpmInPlaceLift::lift_locked(const LiftArgs& a, unsigned int v) const {
  const unsigned int c = a.color[v] >> 1;
  if (c == 0) return lift_unchanged;
  const unsigned int count = a.n_succ[v];
  if (count == 0) return lift_unchanged;
  const unsigned int o = a.owner[v];
  const unsigned int b = a.succ_begin[v];
  unsigned int end = b + count;
  const unsigned int dim = a.valuation_dim;

  PG_DYNAMIC_SHARED(int, nxt_buffer);
  int* best = nxt_buffer + threadIdx.x * dim;
  // v's owner minimising: the first successor's measure wins.
  const int first = o == a.top_parity && a.color[v] > 3 ? static_cast<int>(a.n_nodes + 1) : 0;
  const int sign = o == a.top_parity ? -1 : 1;
  int* own = a.valuation + static_cast<std::size_t>(v) * dim;

  const int walked = merge_successors(a, v, b, end, own, MergeOneSided{best, c, sign, dim, first});
  if (walked != successors_merged) return walked;
  work_counters::count(work_counters::lift);
  if (end == b) {
    a.color[v] = static_cast<unsigned short>(1 - o);
    work_counters::count(work_counters::decision);
    report_pass(a.report, decided_node);
    return lift_changed;
  }
  const unsigned int p = a.color[v] & 1u;
  if (p != a.top_parity && !raise_measure(best, a.rank_counter, c)) {
    a.color[v] = static_cast<unsigned short>(p);
    work_counters::count(work_counters::decision);
    report_pass(a.report, decided_node);
    return lift_changed;
  }
  // Measures only grow. Even components above c are 0 in best and in own.
  if (!keep_greater(own, best, 2, c)) return lift_unchanged;
  work_counters::count(work_counters::raise);
  report_pass(a.report, raised_even_class);
  return lift_changed;
}

__global__ void simple_spm_lift_pass(LiftArgs lift, PassArgs pass) { lift_pass(SimpleSpmInPlaceLift(), lift, pass); }

}  // namespace kernel
