#include "kernels/kernel_spm.h"

#include <cstddef>

#include "common/work_counters.h"
#include "kernels/spm_in_place.h"

namespace kernel {
namespace small_progress_measure {

namespace {

__device__ inline const int* row_of(const int* valuation, uint32_t v, uint32_t first, uint16_t n_ranks) {
  return valuation + static_cast<std::size_t>(v - first) * n_ranks;
}

// Raises B[0..m] to the smallest greater vector within the bounds: a component
// at its bound rolls over to 0 and carries into the next more significant
// one. False when no greater bounded vector exists.
__device__ inline bool raise_measure(int* B, uint32_t m, const uint32_t* rank_counter) {
  for (uint32_t k = m + 1; k-- > 0;) {
    if (B[k] < static_cast<int>(rank_counter[k])) {
      ++B[k];
      return true;
    }
    B[k] = 0;
  }
  return false;
}

}  // namespace

__device__ void iteration_main(int* B, bool* go_on, int* valuation_out, const int* valuation_in,
                               const uint32_t* rank_counter, uint16_t n_ranks, uint32_t count, uint32_t first,
                               uint32_t v, color_t* color, const uint8_t* owner, uint32_t* n_succ,
                               const uint32_t* succ_begin, uint32_t* succ_array, const uint32_t* scc_id) {
  const color_t c = color[v];
  if (c < 2 || n_succ[v] == 0) return;
  const uint8_t o = owner[v];
  const uint32_t m = c >= 3 ? (c - 3u) / 2u : 0u;
  const int s = o == 0 ? -1 : 1;
  const uint32_t group = scc_id[v];
  for (uint32_t k = 0; k <= m; ++k) B[k] = 0;
  // Worse for Even than any measure within the bounds.
  if (o == 0) B[0] = static_cast<int>(count) + 1;

  const uint32_t begin = succ_begin[v];
  uint32_t end = begin + n_succ[v];
  uint32_t j = begin;
  while (j < end) {
    const uint32_t w = succ_array[j];
    const color_t cw = color[w];
    if (cw < 2) {
      if (cw == o) {
        color[v] = o;
        succ_array[begin] = w;
        n_succ[v] = 1;
        *go_on = true;
        work_counters::count(work_counters::decision);
        return;
      }
      succ_array[j] = succ_array[end - 1];
      --end;
      continue;
    }
    ++j;
    if (c == 2) continue;
    const int* x = scc_id[w] == group ? row_of(valuation_in, w, first, n_ranks) : nullptr;
    int D = 0;
    for (uint32_t k = 0; k <= m; ++k) {
      const int xk = x != nullptr ? x[k] : 0;
      if (D == 0) {
        D = s * (B[k] - xk);
        if (D > 0) break;  // B is already better for the owner
      }
      B[k] = xk;
    }
  }
  n_succ[v] = end - begin;
  work_counters::count(work_counters::lift);
  if (end == begin) {
    color[v] = static_cast<color_t>(1u - o);
    *go_on = true;
    work_counters::count(work_counters::decision);
    return;
  }
  if (c == 2) return;
  if ((c & 1u) && !raise_measure(B, m, rank_counter)) {
    color[v] = 1;
    *go_on = true;
    work_counters::count(work_counters::decision);
    return;
  }
  // Measures only grow. A lift can come out lower than the current measure
  // once an Odd node drops an edge to a successor that Even has won in the
  // meantime; taking it would let measures fall and rise again, and a cycle
  // of nodes could pass the same values around for ever.
  int* out = valuation_out + static_cast<std::size_t>(v - first) * n_ranks;
  const int* in = row_of(valuation_in, v, first, n_ranks);
  uint32_t k = 0;
  while (k <= m && B[k] == in[k]) ++k;
  const bool raised = k <= m && B[k] > in[k];
  for (uint32_t j = 0; j <= m; ++j) out[j] = raised ? B[j] : in[j];
  if (raised) {
    *go_on = true;
    work_counters::count(work_counters::raise);
  }
}

namespace {

// The lift of iteration_main in place: reads the newest rows of v's
// successors (a row being written counts as unreadable, see spm_in_place.h)
// and raises v's row where it lies, holding v's version lock. Returns a
// LiftResult (spm_in_place.h).
__device__ int lift_locked(int* B, bool* go_on, int* valuation, unsigned int* versions,
                              const uint32_t* rank_counter, uint16_t n_ranks, uint32_t count, uint32_t first,
                              uint32_t v, color_t* color, const uint8_t* owner, uint32_t* n_succ,
                              const uint32_t* succ_begin, uint32_t* succ_array, const uint32_t* scc_id) {
  const color_t c = color[v];
  if (c < 2 || n_succ[v] == 0) return lift_unchanged;
  const uint8_t o = owner[v];
  const uint32_t m = c >= 3 ? (c - 3u) / 2u : 0u;
  const int s = o == 0 ? -1 : 1;
  const uint32_t group = scc_id[v];
  const auto start = [&] {
    for (uint32_t k = 0; k <= m; ++k) B[k] = 0;
    if (o == 0) B[0] = static_cast<int>(count) + 1;
  };
  start();
  int* own = valuation + static_cast<std::size_t>(v - first) * n_ranks;

  const uint32_t begin = succ_begin[v];
  uint32_t end = begin + n_succ[v];
  uint32_t j = begin;
  unsigned int retries = 0;
  while (j < end) {
    const uint32_t w = succ_array[j];
    const color_t cw = color[w];
    if (cw < 2) {
      if (cw == o) {
        color[v] = o;
        succ_array[begin] = w;
        n_succ[v] = 1;
        *go_on = true;
        work_counters::count(work_counters::decision);
        return lift_changed;
      }
      succ_array[j] = succ_array[end - 1];
      --end;
      continue;
    }
    ++j;
    if (c == 2) continue;
    const bool inside = scc_id[w] == group;
    const volatile int* x = inside ? valuation + static_cast<std::size_t>(w - first) * n_ranks : nullptr;
    unsigned int seen = 0;
    const bool other = inside && w != v;
    if (other && !begin_row_read(versions + (w - first), seen)) {
      n_succ[v] = end - begin;
      return lift_deferred;
    }
    int D = 0;
    for (uint32_t k = 0; k <= m; ++k) {
      const int xk = x != nullptr ? x[k] : 0;
      if (D == 0) {
        D = s * (B[k] - xk);
        if (D > 0) break;
      }
      B[k] = xk;
    }
    if (other && !end_row_read(versions + (w - first), seen)) {
      // w was written meanwhile: B may hold a torn row. Walk again.
      n_succ[v] = end - begin;
      if (++retries > row_retries) return lift_deferred;
      j = begin;
      start();
    }
  }
  n_succ[v] = end - begin;
  work_counters::count(work_counters::lift);
  if (end == begin) {
    color[v] = static_cast<color_t>(1u - o);
    *go_on = true;
    work_counters::count(work_counters::decision);
    return lift_changed;
  }
  if (c == 2) return lift_unchanged;
  if ((c & 1u) && !raise_measure(B, m, rank_counter)) {
    color[v] = 1;
    *go_on = true;
    work_counters::count(work_counters::decision);
    return lift_changed;
  }
  // Measures only grow.
  uint32_t k = 0;
  while (k <= m && B[k] == own[k]) ++k;
  if (k <= m && B[k] > own[k]) {
    for (uint32_t i = 0; i <= m; ++i) own[i] = B[i];
    *go_on = true;
    work_counters::count(work_counters::raise);
    return lift_changed;
  }
  return lift_unchanged;
}

// As in spm_in_place.h: when neither v nor a successor in the range changed
// (or had its lift deferred) in this pass so far or the one before, v's last
// lift read every successor as it is now, and lifting v again would change
// nothing. Successors outside the range are decided and stay so.
__device__ inline bool unchanged_since_last_lift(const unsigned int* stamps, unsigned int number, uint32_t t,
                                                 uint32_t count, uint32_t first, const uint32_t* n_succ,
                                                 const uint32_t* succ_begin, const uint32_t* succ_array) {
  if (number < 2) return false;
  const unsigned int recent = number - 1;
  const auto stamp = [&](uint32_t u) { return *static_cast<const volatile unsigned int*>(stamps + u); };
  if (stamp(t) >= recent) return false;
  const uint32_t v = first + t;
  const uint32_t begin = succ_begin[v], end = begin + n_succ[v];
  for (uint32_t j = begin; j < end; ++j) {
    const uint32_t w = succ_array[j];
    if (w - first < count && stamp(w - first) >= recent) return false;
  }
  return true;
}

}  // namespace

__global__ void iteration_range_in_place(bool* go_on, int* valuation, unsigned int* versions,
                                         const uint32_t* rank_counter, uint16_t n_ranks, uint32_t count,
                                         uint32_t first, color_t* color, const uint8_t* owner, uint32_t* n_succ,
                                         const uint32_t* succ_begin, uint32_t* succ_array, const uint32_t* scc_id,
                                         const uint32_t* pred_begin, const uint32_t* pred_array,
                                         unsigned int budget, unsigned int* stamps, unsigned int number) {
  PG_DYNAMIC_SHARED(int, nxt_buffer);
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  if (stamps != nullptr && color[first + t] >= 2 && unchanged_since_last_lift(stamps, number, t, count, first, n_succ,
                                                                              succ_begin, succ_array)) {
    work_counters::count(work_counters::skip);
    return;
  }
  int* B = nxt_buffer + static_cast<std::size_t>(threadIdx.x) * n_ranks;
  // The node and, after each change, its predecessors in the range (a chain,
  // as in spm_in_place.h). Whatever the chain leaves is lifted by the next
  // pass, which every change asks for.
  uint32_t stack[chain_stack];
  uint32_t depth = 0;
  unsigned int lifts = 0;
  stack[depth++] = first + t;
  while (depth > 0) {
    const uint32_t v = stack[--depth];
    if (color[v] < 2 || n_succ[v] == 0) continue;
    int result = lift_deferred;
    unsigned int* version = versions + (v - first);
    unsigned int seen = 0;
    if (lifts < budget && lock_row(version, seen)) {
      ++lifts;
      result = lift_locked(B, go_on, valuation, versions, rank_counter, n_ranks, count, first, v, color, owner,
                           n_succ, succ_begin, succ_array, scc_id);
      unlock_row(version, seen, result == lift_changed);
    }
    if (result == lift_unchanged) continue;
    *go_on = true;
    if (stamps != nullptr) *static_cast<volatile unsigned int*>(stamps + (v - first)) = number;
    if (result == lift_deferred || pred_begin == nullptr) continue;
    for (uint32_t e = pred_begin[v - first]; e < pred_begin[v - first + 1] && depth < chain_stack; ++e)
      if (color[pred_array[e]] >= 2 && !pending_in_chain(stack, depth, pred_array[e])) stack[depth++] = pred_array[e];
  }
}

__global__ void count_range_predecessors(uint32_t* counts, uint32_t count, uint32_t first, const uint32_t* n_succ,
                                         const uint32_t* succ_begin, const uint32_t* succ_array) {
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  const uint32_t v = first + t;
  for (uint32_t e = succ_begin[v]; e < succ_begin[v] + n_succ[v]; ++e) {
    const uint32_t w = succ_array[e];
    if (w >= first && w - first < count) atomicAdd(counts + (w - first), 1u);
  }
}

__global__ void fill_range_predecessors(uint32_t* cursor, uint32_t* pred_array, uint32_t count, uint32_t first,
                                        const uint32_t* n_succ, const uint32_t* succ_begin,
                                        const uint32_t* succ_array) {
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  const uint32_t v = first + t;
  for (uint32_t e = succ_begin[v]; e < succ_begin[v] + n_succ[v]; ++e) {
    const uint32_t w = succ_array[e];
    if (w >= first && w - first < count) pred_array[atomicAdd(cursor + (w - first), 1u)] = v;
  }
}

__global__ void iteration_range(bool* go_on, int* valuation_out, const int* valuation_in, const uint32_t* rank_counter,
                                uint16_t n_ranks, uint32_t count, uint32_t first, color_t* color,
                                const uint8_t* owner, uint32_t* n_succ, const uint32_t* succ_begin,
                                uint32_t* succ_array, const uint32_t* scc_id) {
  PG_DYNAMIC_SHARED(int, nxt_buffer);
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  iteration_main(nxt_buffer + static_cast<std::size_t>(threadIdx.x) * n_ranks, go_on, valuation_out, valuation_in,
                 rank_counter, n_ranks, count, first, first + t, color, owner, n_succ, succ_begin, succ_array,
                 scc_id);
}

__global__ void mark_scc_starts(uint32_t* starts, const uint32_t* scc_id, uint32_t count, uint32_t first) {
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  starts[t] = t == 0 || scc_id[first + t] != scc_id[first + t - 1] ? t : 0u;
}

__global__ void count_ranks_per_scc(uint32_t* counts, const uint32_t* starts, const color_t* color, uint16_t n_ranks,
                                    uint32_t count, uint32_t first) {
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  const color_t c = color[first + t];
  if (c < 3 || !(c & 1u) || (c - 3u) / 2u >= n_ranks) return;
  atomicAdd(counts + static_cast<std::size_t>(starts[t]) * n_ranks + (c - 3u) / 2u, 1u);
}

__global__ void keep_largest_rank_counts(uint32_t* rank_counter, const uint32_t* counts, const uint32_t* starts,
                                         uint16_t n_ranks, uint32_t count) {
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count || starts[t] != t) return;
  const uint32_t* own = counts + static_cast<std::size_t>(t) * n_ranks;
  for (uint16_t k = 0; k < n_ranks; ++k)
    if (own[k] != 0) atomicMax(rank_counter + k, own[k]);
}

__global__ void finalize_range(const int* valuation, uint16_t n_ranks, uint32_t count, uint32_t first,
                               color_t* color, uint8_t* owner, uint32_t* n_succ, const uint32_t* succ_begin,
                               uint32_t* succ_array, const uint32_t* scc_id) {
  PG_DYNAMIC_SHARED(int, nxt_buffer);
  const uint32_t t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= count) return;
  const uint32_t v = first + t;
  if (color[v] < 2) return;
  color[v] = 0;
  const uint32_t degree = n_succ[v];
  if (degree == 0) return;
  if (owner[v] == 1) {
    n_succ[v] = 0;
    return;
  }
  int* B = nxt_buffer + static_cast<std::size_t>(threadIdx.x) * n_ranks;
  for (uint32_t k = 0; k < n_ranks; ++k) B[k] = 0;
  B[0] = static_cast<int>(count) + 1;
  const uint32_t group = scc_id[v];
  const uint32_t begin = succ_begin[v];
  uint32_t best = 0;
  for (uint32_t j = begin; j < begin + degree; ++j) {
    const uint32_t w = succ_array[j];
    const int* x = scc_id[w] == group ? row_of(valuation, w, first, n_ranks) : nullptr;
    int D = 0;
    for (uint32_t k = 0; k < n_ranks; ++k) {
      const int xk = x != nullptr ? x[k] : 0;
      if (D == 0) {
        D = xk - B[k];
        if (D > 0) break;
      }
      B[k] = xk;
    }
    if (D < 0) best = w;
  }
  succ_array[begin] = best;
  n_succ[v] = 1;
}

}  // namespace small_progress_measure
}  // namespace kernel
