#include "kernels/spm_kernel.h"

#include <cstddef>

#include "common/work_counters.h"
#include "kernels/spm_in_place.h"
#include "kernels/spm_measure.h"

namespace kernel {

namespace {

// Both classes of the two-sided measure (sign_odd: +1 where the odd class
// prefers the larger value; the even class prefers the other way).
template <class Row>
__device__ inline void merge_two_sided(int* best, Row row, unsigned int c, int sign_odd) {
  merge_class(best, row, 1, c, sign_odd);
  merge_class(best, row, 2, c, -sign_odd);
}

// merge_two_sided on the rows of a lift's successors; the class that v's
// owner minimises starts at infinity, so that the first successor wins it.
struct MergeTwoSided {
  int* best;
  unsigned int c;
  int sign_odd;
  unsigned int minimised;
  int infinity;
  __device__ void start() const {
    for (unsigned int i = 0; i <= c; ++i) best[i] = 0;
    if (minimised <= c) best[minimised] = infinity;
  }
  template <class Row>
  __device__ void operator()(Row row) const {
    merge_two_sided(best, row, c, sign_odd);
  }
};

}  // namespace

__device__ bool spm_iteration_main(const unsigned int* rank_counter, unsigned int v, const int* valuation,
                                   int* valuation_next, unsigned short* color, const unsigned char* owner,
                                   unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                   unsigned int n_nodes, unsigned int valuation_dim, unsigned int top_parity) {
  const unsigned int c = color[v] >> 1;
  if (c == 0) return false;  // decided
  const unsigned int count = n_succ[v];
  if (count == 0) return false;
  const unsigned int o = owner[v];
  const unsigned int b = succ_begin[v];
  unsigned int end = b + count;

  PG_DYNAMIC_SHARED(int, nxt_buffer);
  int* best = nxt_buffer + threadIdx.x * valuation_dim;
  for (unsigned int i = 0; i <= c; ++i) best[i] = 0;
  // The class v minimises starts at infinity so that the first successor wins it.
  const unsigned int minimised = o == top_parity ? 2u : 1u;
  if (minimised <= c) best[minimised] = static_cast<int>(n_nodes + 1);
  // +1 where v prefers the larger value: the class of v's owner's parity.
  const int sign_odd = o == top_parity ? 1 : -1;

  unsigned int e = b;
  while (e < end) {
    const unsigned int w = succ_array[e];
    const unsigned int cw = color[w];
    if (cw < 2) {
      if (cw == o) {
        // A successor already won by v's owner is a winning move.
        color[v] = static_cast<unsigned short>(o);
        succ_array[b] = w;
        n_succ[v] = 1;
        work_counters::count(work_counters::decision);
        return true;
      }
      // Won by the opponent: the owner never wants to go there.
      --end;
      succ_array[e] = succ_array[end];
      continue;
    }
    merge_two_sided(best, valuation + static_cast<std::size_t>(w) * valuation_dim, c, sign_odd);
    ++e;
  }

  n_succ[v] = end - b;
  work_counters::count(work_counters::lift);
  if (end == b) {
    // Every successor is won by the opponent.
    color[v] = static_cast<unsigned short>(1 - o);
    work_counters::count(work_counters::decision);
    return true;
  }
  if (!raise_measure(best, rank_counter, c)) {
    color[v] = static_cast<unsigned short>(color[v] & 1u);
    work_counters::count(work_counters::decision);
    return true;
  }
  const int* old_row = valuation + static_cast<std::size_t>(v) * valuation_dim;
  int* next_row = valuation_next + static_cast<std::size_t>(v) * valuation_dim;
  bool changed = false;
  for (unsigned int i = 1; i <= c; ++i) {
    if (best[i] != old_row[i]) changed = true;
    next_row[i] = best[i];
  }
  if (changed) work_counters::count(work_counters::raise);
  return changed;
}

__global__ void spm_iteration(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                              bool* go_on, unsigned short* color, const unsigned char* owner, unsigned int* n_succ,
                              const unsigned int* succ_begin, unsigned int* succ_array, unsigned int n_nodes,
                              unsigned int valuation_dim, unsigned int top_parity) {
  const unsigned int v = blockIdx.x * blockDim.x + threadIdx.x;
  if (v >= n_nodes) return;
  if (spm_iteration_main(rank_counter, v, valuation, valuation_next, color, owner, n_succ, succ_begin, succ_array,
                         n_nodes, valuation_dim, top_parity))
    *go_on = true;
}

__global__ void spm_iteration_wl(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                                 bool* go_on, const unsigned int* work_list, unsigned int* work_list_permutation,
                                 unsigned short* color, const unsigned char* owner, unsigned int* n_succ,
                                 const unsigned int* n_pred, const unsigned int* succ_begin,
                                 const unsigned int* pred_begin, unsigned int* succ_array,
                                 const unsigned int* pred_array, unsigned int count, unsigned int n_nodes,
                                 unsigned int valuation_dim, unsigned int top_parity) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  const unsigned int v = work_list[t];
  if (spm_iteration_main(rank_counter, v, valuation, valuation_next, color, owner, n_succ, succ_begin, succ_array,
                         n_nodes, valuation_dim, top_parity)) {
    flag_predecessors(v, n_pred, pred_begin, pred_array, work_list_permutation);
    *go_on = true;
  }
}

__global__ void spm_iteration_oan(const unsigned int* rank_counter, const int* valuation, int* valuation_next,
                                  bool* go_on, unsigned short* color, const unsigned char* owner,
                                  unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                  const unsigned int* work_list, unsigned int count, unsigned int n_nodes,
                                  unsigned int valuation_dim, unsigned int top_parity) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  if (spm_iteration_main(rank_counter, work_list[t], valuation, valuation_next, color, owner, n_succ, succ_begin,
                         succ_array, n_nodes, valuation_dim, top_parity))
    *go_on = true;
}

__device__ int SpmInPlaceLift::operator()(const LiftArgs& a, unsigned int v) const {
  if ((a.color[v] >> 1) == 0 || a.n_succ[v] == 0) return lift_unchanged;
  return lift_holding_row(*this, a, v);
}

__device__ int SpmInPlaceLift::lift_locked(const LiftArgs& a, unsigned int v) const {
  // Only lifts of v change v's colour, edges and row, and this one holds v.
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
  const unsigned int minimised = o == a.top_parity ? 2u : 1u;
  const int sign_odd = o == a.top_parity ? 1 : -1;
  int* own = a.valuation + static_cast<std::size_t>(v) * dim;

  const int walked = merge_successors(a, v, b, end, own,
                                      MergeTwoSided{best, c, sign_odd, minimised, static_cast<int>(a.n_nodes + 1)});
  if (walked != successors_merged) return walked;
  work_counters::count(work_counters::lift);
  if (end == b) {
    a.color[v] = static_cast<unsigned short>(1 - o);
    work_counters::count(work_counters::decision);
    report_pass(a.report, decided_node);
    return lift_changed;
  }
  if (!raise_measure(best, a.rank_counter, c)) {
    a.color[v] = static_cast<unsigned short>(a.color[v] & 1u);
    work_counters::count(work_counters::decision);
    report_pass(a.report, decided_node);
    return lift_changed;
  }
  // Measures only grow: each class keeps the greater of its two measures.
  const bool raised_odd = keep_greater(own, best, 1, c);
  const bool raised_even = c >= 2 && keep_greater(own, best, 2, c);
  if (!raised_odd && !raised_even) return lift_unchanged;
  work_counters::count(work_counters::raise);
  report_pass(a.report, (raised_odd ? raised_odd_class : 0u) | (raised_even ? raised_even_class : 0u));
  if (raised_odd != raised_even) return raised_odd ? lift_raised_odd_only : lift_raised_even_only;
  return lift_changed;
}

__global__ void spm_lift_pass(LiftArgs lift, PassArgs pass) { lift_pass(SpmInPlaceLift(), lift, pass); }

}  // namespace kernel
