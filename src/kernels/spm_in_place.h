#pragma once
// In-place (chaotic) lifting for the progress-measure solvers: a lift reads
// the newest measures of its successors and raises its own row where it
// lies, and a thread that raised a node goes on to lift that node's
// predecessors at once (a chain), so that a measure climbing around a cycle
// climbs many steps in one launch instead of one edge per launch.
//
// Why this stays sound in any interleaving of threads and blocks:
//  - Measures only grow (a lift keeps the greater of the old and the new
//    measure of each class), and every value a lift reads is one that a row
//    really held or all zeros, so every stored measure stays below the least
//    fixed point: an overflow (top) is never reached too early.
//  - Each node has a version word. A lift takes its node's version from even
//    to odd with a compare-and-swap (one writer per row), writes, and leaves
//    an even version again (a new one when the row changed). A reader takes
//    the version before and after reading a row; when the row was being
//    written in between, the read is torn and the lift gives up without
//    writing, and its node is lifted again later (it is deferred).
//  - A lift of a node that another thread holds is deferred as well. A
//    deferred node is flagged for the next pass (work-list form) and keeps
//    the loop going, and a raised node's predecessors are lifted after the
//    raise is visible, so no change is lost: the loop ends only after a
//    pass in which no node changed and none was deferred.
//  - Rows are held for one lift only, so a lift first waits a while for a
//    held row and reads a torn row again before it defers. Deferring at
//    once kept the loop going for as long as any two threads of a pass met
//    at a row, which with many threads is nearly every pass, fixed point
//    or not (every lift holds its row, changed or not).
#include <cstddef>

#include "common/memory_fence.h"
#include "common/platform.h"
#include "common/work_counters.h"

namespace kernel {

// What a lift needs to know of the game and its measures.
struct LiftArgs {
  const unsigned int* rank_counter;
  unsigned int* report;    // what the passes did since the host cleared it (PassReport bits)
  int* valuation;          // the measures, read and raised in place
  unsigned int* versions;  // node v's version word at v * valuation_dim, its change stamp after it
  unsigned short* color;
  const unsigned char* owner;
  unsigned int* n_succ;
  const unsigned int* succ_begin;
  unsigned int* succ_array;
  unsigned int n_nodes;
  unsigned int valuation_dim;
  unsigned int top_parity;
};

// Which nodes a pass lifts, and where it reports.
enum PassMode : unsigned int {
  every_node = 0,    // thread t lifts node t
  listed_nodes = 1,  // thread t lifts list[t]
  flagged_nodes = 2  // thread t lifts node t if flags[t] is set (and clears it)
};

struct PassArgs {
  unsigned int mode;
  const unsigned int* list;
  unsigned int count;     // threads with work: nodes, or list entries
  unsigned int* flags;    // deferred nodes are flagged here when not null
  bool chain;             // false: a thread lifts its own node only and flags the predecessors of a change
  unsigned int budget;    // lifts a chain may run
  bool* go_on;
  const unsigned int* n_pred;
  const unsigned int* pred_begin;
  const unsigned int* pred_array;
  unsigned int follow;    // a PassReport class bit: chains follow raises of that class only (0: of both)
  unsigned int number;    // the pass's number in its loop, from 1 (0: no change stamps, no skipped nodes)
  unsigned int* work;     // chained lifts of the batch so far (null: no cap)
  unsigned int work_cap;  // once work reaches it, the batch's chains lift nothing more and defer their nodes
};

// Bits of the pass report. A raise of one class of measures, a decision, or
// a lift that had to wait: the host ends the loop once a batch of passes
// raised no measure that matters and deferred nothing.
enum PassReport : unsigned int {
  raised_odd_class = 1,   // components 1, 3, ... (ranks of parity top_parity)
  raised_even_class = 2,  // components 2, 4, ...
  deferred_lift = 4,
  decided_node = 8,
  work_capped = 16  // the batch's chains reached its work cap
};

// The report's upper half counts the chains that ran out of budget (up to
// about budget_cuts_counted): one or two tell a lone long climb from many
// chains cut short.
const unsigned int budget_cut_shift = 16;
const unsigned int budget_cuts_counted = 255;

__device__ inline void count_budget_cut(unsigned int* report) {
  if ((*static_cast<volatile unsigned int*>(report) >> budget_cut_shift) < budget_cuts_counted)
    atomicAdd(report, 1u << budget_cut_shift);
}

__device__ inline void report_pass(unsigned int* report, unsigned int bits) {
  // Most reports repeat a bit that is set already; only new bits pay for the atomic.
  unsigned int seen = *static_cast<volatile unsigned int*>(report);
  while ((seen & bits) != bits) {
    const unsigned int before = atomicCAS(report, seen, seen | bits);
    if (before == seen) break;
    seen = before;
  }
}

// A lift's outcome. A two-sided lift that raised one class of measures only
// says which, so that a pass can leave that class's change to the next pass.
enum LiftResult : int {
  lift_unchanged = 0,
  lift_changed = 1,  // a decision, or a raise of every class the lift keeps
  lift_deferred = 2,
  lift_raised_odd_only = 3,
  lift_raised_even_only = 4
};

__device__ inline bool lift_changed_row(int result) { return result == lift_changed || result >= lift_raised_odd_only; }

// Whether a pass that follows the class `follow` chains on to the
// predecessors of a lift with this result.
__device__ inline bool lift_followed(int result, unsigned int follow) {
  if (follow == 0 || result == lift_changed) return true;
  return result == (follow == raised_odd_class ? lift_raised_odd_only : lift_raised_even_only);
}

// Lifts a chain runs at most per thread and launch (unless the host says
// otherwise), and nodes it may hold.
const unsigned int default_chain_budget = 1u << 18;
const unsigned int chain_stack = 256;

// How often a lift polls a held row before it gives up on it, and how often
// it takes a torn row again or retries a contended lock.
const unsigned int row_wait_polls = 1u << 14;
const unsigned int row_retries = 4;

__device__ inline unsigned int load_version(const unsigned int* version) {
  return *static_cast<const volatile unsigned int*>(version);
}

// The row's version once no thread holds it, or an odd one after
// row_wait_polls polls.
__device__ inline unsigned int wait_for_row(const unsigned int* version) {
  unsigned int seen = load_version(version);
  for (unsigned int poll = 0; (seen & 1u) != 0 && poll < row_wait_polls; ++poll) seen = load_version(version);
  return seen;
}

// Takes the row's write lock; seen is the even version it had.
__device__ inline bool lock_row(unsigned int* version, unsigned int& seen) {
  for (unsigned int attempt = 0; attempt < row_retries; ++attempt) {
    seen = wait_for_row(version);
    if ((seen & 1u) != 0) return false;
    if (atomicCAS(version, seen, seen + 1u) == seen) {
      device_memory_fence();
      return true;
    }
  }
  return false;
}

// Releases it; a new version tells readers that the row changed.
__device__ inline void unlock_row(unsigned int* version, unsigned int seen, bool changed) {
  device_memory_fence();
  *static_cast<volatile unsigned int*>(version) = changed ? seen + 2u : seen;
}

// A consistent read of another node's row lies between these two calls.
__device__ inline bool begin_row_read(const unsigned int* version, unsigned int& seen) {
  seen = wait_for_row(version);
  device_memory_fence();
  return (seen & 1u) == 0;
}
__device__ inline bool end_row_read(const unsigned int* version, unsigned int seen) {
  device_memory_fence();
  return load_version(version) == seen;
}

// Raises row's class (components first, first + 2, ... <= c, the smaller
// index the more significant) to best's when best's is greater. Returns
// whether it did.
__device__ inline bool keep_greater(int* row, const int* best, unsigned int first, unsigned int c) {
  for (unsigned int i = first; i <= c; i += 2) {
    if (best[i] == row[i]) continue;
    if (best[i] < row[i]) return false;
    for (unsigned int j = i; j <= c; j += 2) row[j] = best[j];
    return true;
  }
  return false;
}

// Runs lifter.lift_locked(a, v) while holding v's row: a lift of a node that
// another thread holds is deferred, and a new version tells readers that the
// row changed.
template <class Lifter>
__device__ int lift_holding_row(const Lifter& lifter, const LiftArgs& a, unsigned int v) {
  unsigned int* version = a.versions + static_cast<std::size_t>(v) * a.valuation_dim;
  unsigned int seen = 0;
  if (!lock_row(version, seen)) return lift_deferred;
  const int result = lifter.lift_locked(a, v);
  unlock_row(version, seen, lift_changed_row(result));
  return result;
}

// What merge_successors leaves to its caller: every successor's row is
// merged into the best measure, and v is neither decided nor deferred.
const int successors_merged = 3;

// The successor walk of a lift of v (whose row, own, the caller holds):
// successors won by the opponent are dropped (the last one takes their place
// in [b, end)), a successor won by v's owner decides v at once, and every
// other successor's row is merged into the best measure by merge(row), read
// between the row's version checks; merge.start() clears the best measure
// before the walk and before a walk taken again after a torn read. Returns
// lift_changed when v was decided, lift_deferred when a row stayed held or
// torn (v is lifted again later), and successors_merged otherwise; n_succ[v]
// is kept in step with end.
template <class Merge>
__device__ int merge_successors(const LiftArgs& a, unsigned int v, unsigned int b, unsigned int& end, const int* own,
                                const Merge& merge) {
  const unsigned int o = a.owner[v];
  unsigned int e = b;
  unsigned int retries = 0;
  merge.start();
  while (e < end) {
    const unsigned int w = a.succ_array[e];
    const unsigned int cw = a.color[w];
    if (cw < 2) {
      if (cw == o) {
        a.color[v] = static_cast<unsigned short>(o);
        a.succ_array[b] = w;
        a.n_succ[v] = 1;
        work_counters::count(work_counters::decision);
        report_pass(a.report, decided_node);
        return lift_changed;
      }
      --end;
      a.succ_array[e] = a.succ_array[end];
      continue;
    }
    if (w == v) {
      merge(own);
    } else {
      const unsigned int* version = a.versions + static_cast<std::size_t>(w) * a.valuation_dim;
      unsigned int seen = 0;
      if (!begin_row_read(version, seen)) {
        // w stays held: lift v again later.
        a.n_succ[v] = end - b;
        return lift_deferred;
      }
      merge(static_cast<const volatile int*>(a.valuation + static_cast<std::size_t>(w) * a.valuation_dim));
      if (!end_row_read(version, seen)) {
        // w was written meanwhile: the best measure may hold a torn row.
        a.n_succ[v] = end - b;
        if (++retries > row_retries) return lift_deferred;
        e = b;
        merge.start();
        continue;
      }
    }
    ++e;
  }
  a.n_succ[v] = end - b;
  return successors_merged;
}

// Node v's change stamp, the word after its version word: the number of the
// last pass that changed v's row or colour or had to defer v's lift. The
// version rows have spare words whenever a measure has two or more
// components.
__device__ inline unsigned int* change_stamp(const LiftArgs& a, unsigned int v) {
  return a.versions + static_cast<std::size_t>(v) * a.valuation_dim + 1;
}

__device__ inline bool stamps_kept(const LiftArgs& a, const PassArgs& p) {
  return p.number != 0 && a.valuation_dim >= 2;
}

// Whether neither v nor any successor changed, or had a lift deferred, in
// this pass so far or the one before. Then v's last finished lift read every
// successor's present row and colour (a pass sees every write of the passes
// before it; a change it reads late shows in the next pass's stamps), so
// lifting v again would change nothing: a pass over all nodes leaves v out.
// A torn read of v's edges means a lift of v in this very pass, which reads
// the present rows itself.
__device__ inline bool unchanged_since_last_lift(const LiftArgs& a, const PassArgs& p, unsigned int v) {
  if (!stamps_kept(a, p) || p.number < 2) return false;
  const unsigned int recent = p.number - 1;
  if (load_version(change_stamp(a, v)) >= recent) return false;
  const unsigned int b = a.succ_begin[v];
  const unsigned int end = b + a.n_succ[v];
  for (unsigned int e = b; e < end; ++e)
    if (load_version(change_stamp(a, a.succ_array[e])) >= recent) return false;
  return true;
}

__device__ inline void stamp_change(const LiftArgs& a, const PassArgs& p, unsigned int v) {
  if (stamps_kept(a, p)) *static_cast<volatile unsigned int*>(change_stamp(a, v)) = p.number;
}

// Whether u is among the last chain_lookback nodes put on the chain.
const unsigned int chain_lookback = 16;
__device__ inline bool pending_in_chain(const unsigned int* stack, unsigned int depth, unsigned int u) {
  for (unsigned int k = depth; k > 0 && k + chain_lookback > depth; --k)
    if (stack[k - 1] == u) return true;
  return false;
}

// Lifts v and, while lifts raise measures, their predecessors; nodes it
// cannot lift now are deferred. Lift is a functor with
// int operator()(const LiftArgs&, unsigned int v) const returning a LiftResult.
template <class Lift>
__device__ void lift_chain(const Lift& lift, const LiftArgs& a, const PassArgs& p, unsigned int start) {
  unsigned int stack[chain_stack];
  unsigned int depth = 0;
  unsigned int lifts = 0;
  bool any = false;
  bool deferred = false;
  bool cut = false;
  // A batch whose chains used up its work cap leaves the rest to a later
  // batch: its nodes are deferred, not counted as chains cut short.
  const bool capped = p.work != nullptr && load_version(p.work) >= p.work_cap;
  stack[depth++] = start;
  while (depth > 0) {
    const unsigned int v = stack[--depth];
    int result = lift_deferred;
    if (!capped && lifts < p.budget) {
      ++lifts;
      result = lift(a, v);
    } else {
      cut = !capped;
    }
    if (result == lift_unchanged) continue;
    any = true;
    stamp_change(a, p, v);
    if (result == lift_deferred) {
      deferred = true;
      if (p.flags != nullptr) p.flags[v] = 1;
      continue;
    }
    // A raise of the class the pass does not follow reaches the
    // predecessors through the next pass; its class bit in the report keeps
    // that class from being taken as stable meanwhile.
    const bool followed = p.chain && lift_followed(result, p.follow);
    const unsigned int begin = p.pred_begin[v];
    const unsigned int end = begin + p.n_pred[v];
    for (unsigned int e = begin; e < end; ++e) {
      const unsigned int u = p.pred_array[e];
      if (a.color[u] < 2) continue;  // decided: never lifted again
      // A node already near the top of the chain is lifted soon anyway,
      // after this raise: lifting it twice would raise it twice by a step.
      if (pending_in_chain(stack, depth, u)) continue;
      if (followed && depth < chain_stack) {
        stack[depth++] = u;
      } else {
        // Without a chain the node is lifted by the next pass (the flags
        // name it for a work-list pass), which the loop runs.
        if (followed) deferred = true;
        if (p.flags != nullptr) p.flags[u] = 1;
      }
    }
  }
  if (capped) report_pass(a.report, work_capped);
  if (deferred) report_pass(a.report, deferred_lift);
  if (cut) count_budget_cut(a.report);
  if (p.work != nullptr && lifts > 1) atomicAdd(p.work, lifts - 1);
  if (any) *p.go_on = true;
}

// One pass: the thread's node (by mode), lifted with its chain.
template <class Lift>
__device__ void lift_pass(const Lift& lift, const LiftArgs& a, const PassArgs& p) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= p.count) return;
  unsigned int v = t;
  if (p.mode == listed_nodes) {
    v = p.list[t];
  } else if (p.mode == flagged_nodes) {
    if (p.flags[t] == 0 || atomicExch(p.flags + t, 0u) == 0) return;
  }
  if (p.mode != flagged_nodes && a.color[v] >= 2 && unchanged_since_last_lift(a, p, v)) {
    work_counters::count(work_counters::skip);
    return;
  }
  lift_chain(lift, a, p, v);
}

}  // namespace kernel
