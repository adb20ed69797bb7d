#pragma once
// The frame shared by the six progress-measure solvers: colour ranks, rank
// counts, the block size of the lifting kernels, the common start and the
// small device steps of every iteration loop.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/platform.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "host/parity_game.h"
#include "kernels/spm_in_place.h"
#include "host/time_list.h"

struct ColorRanks {
  uint32_t valuation_dim;  // last rank + 1
  uint32_t top_parity;     // parity of the largest colour
};

// Renumbers the device colours to 2 * rank + parity (ranks: maximal runs of
// equal parity from the largest colour down, rank 1 first) and prints one
// "Color ... becomes ..." line per colour in use on standard output.
ColorRanks prepare_color_ranks(DeviceMemoryPtr& memory, const ParityGame& game);

// Allocates rank_counter (valuation_dim + 1 entries: the pass report, the
// rank bounds and a batch's work count) and fills entry r (1 <= r <
// valuation_dim) with the number of nodes of rank r, printing each count on
// standard error.
void count_color_ranks(DeviceMemoryPtr& memory, uint32_t n_nodes, uint32_t valuation_dim);

// Refuses a game with more nodes than a measure component can count (they are
// signed 32-bit ints bounded by a rank's node count).
void check_spm_node_count(uint32_t n_nodes);

// The most threads of a lifting kernel that a block can hold with their
// measures in shared memory, at most the resident threads of a
// multiprocessor. Throws when not even one thread's measure fits.
std::size_t spm_threads_per_block_limit(const cudaDeviceProp& properties, uint32_t valuation_dim);

// Threads per block of a lifting kernel, from the shared memory one thread's
// measure needs; prints the choice and its warnings on standard error. Throws
// when not even one thread's measure fits into a block's shared memory.
unsigned int choose_spm_block_size(const cudaDeviceProp& properties, uint32_t valuation_dim);

// What a solver run did, for tests and benchmarks.
struct SpmStats {
  struct Compaction {
    uint32_t before_iteration;  // 1-based number of the lifting launch that followed it
    uint32_t count;             // length of the active list after it
  };
  uint32_t iterations = 0;  // lifting launches
  uint64_t lifted = 0;      // list entries or nodes handed to lifting threads, summed over launches
  uint32_t block_size = 0;
  uint32_t valuation_dim = 0;
  std::vector<Compaction> compactions;
  double init_seconds = 0;     // colour ranks to cleared buffers
  double lifting_seconds = 0;  // the iteration loop, final kernel included
};

// Launch shape of the lifting kernels after the common start.
struct SpmLaunch {
  uint32_t valuation_dim;
  uint32_t top_parity;
  unsigned int block_size;
  std::size_t shared_bytes;  // block_size measures of valuation_dim ints
};

// Colour ranks, rank counts, valuation buffers, block size, cleared measures,
// the work list when asked for, and the "Init phase took: " lap. A game beyond
// the limits above is refused right after its colour ranks are known.
SpmLaunch spm_common_start(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                           bool with_work_list, TimeList* list, SpmStats* stats);

// The arguments of the in-place pass kernels: the game and its measures
// (versions in valuation_next), and which nodes a pass lifts.
kernel::LiftArgs spm_lift_args(DeviceMemoryPtr& memory, uint32_t n_nodes, const SpmLaunch& launch);
kernel::PassArgs spm_pass_args(DeviceMemoryPtr& memory, kernel::PassMode mode, const uint32_t* list, uint32_t count,
                               uint32_t* flags, bool chain = true);

// The pass report (kernel::PassReport bits) lives in rank_counter[0], an
// entry that bounds no component. Clearing it (and go_on) is queued behind
// the launches before it; reading it waits for them.
void clear_pass_report(DeviceMemoryPtr& memory);
// With batch_work, the same copy also brings the batch's work count (the
// word after the valuation_dim rank words).
uint32_t read_pass_report(const DeviceMemoryPtr& memory, uint32_t* batch_work = nullptr, uint32_t valuation_dim = 0);
// Whether passes with this report end the loop; if so, gives the nodes still
// undecided to their winner. Chained passes that deferred no lift and raised
// no measure of one class leave that class at its least fixed point (every
// node whose successors changed or were decided was lifted again after the
// change), so every node it does not put at top is won by the class's
// player: 1 - top_parity for the odd components, top_parity for the even
// ones (the one-sided measure). A pass without chains proves the same only
// when it lifted every undecided node and decided none (decisions_allowed
// false).
bool spm_loop_done(DeviceMemoryPtr& memory, uint32_t n_nodes, const SpmLaunch& launch, bool one_sided,
                   uint32_t report, bool decisions_allowed = true);
// Pass i of a batch of `passes` clears the report before it when it
// reports: the batch's last pass always; where a read costs nothing (the
// host backend) every pass, and the loop ends after the first pass that
// finds a class stable instead of running the batch's remaining passes for
// the class still climbing.
inline bool spm_pass_reports(unsigned int i, unsigned int passes) {
  return i + 1 == passes || !pg_reads_are_round_trips;
}
// After pass i of the batch: whether a pass before the batch's last already
// ended the loop (spm_loop_done on its report).
bool spm_done_before_batch_end(DeviceMemoryPtr& memory, uint32_t n_nodes, const SpmLaunch& launch, bool one_sided,
                               unsigned int i, unsigned int passes);
// Whether one class was stable in a batch that cannot end the loop because
// it deferred lifts (the chains ran out): a pass without chains may then.
bool spm_worth_checking(bool one_sided, uint32_t report);

// The most lifts one thread's chain runs per pass (at least 1, which lifts
// each listed node once per pass); kernel::default_chain_budget unless set.
void set_spm_chain_budget(uint32_t lifts);

// The batches of a lifting loop: how many passes run between two reads of
// the pass report (which covers a batch's last pass only), the chain budget
// of their passes and the class of measures their chains follow.
//
// A class's budget grows fourfold per batch of that class (the one-sided
// measure starts at 64 lifts, the two-sided at 256), up to the full budget
// while at most lone_climb_chains chains of the class's last batch ran out
// of budget: a measure climbing alone through millions of values, which
// would otherwise take as many passes over all nodes. With more chains cut
// short it stops at 256 lifts, or at a quarter of a pass's n lifts shared
// among the chains cut, where that is more. Longer chains there only raise
// the same nodes more often by small steps: on a sparse game of 1000 nodes
// and 20 colours, 4096-lift chains made twelve times the raises of a work
// queue. But a few chains cut on a large game are a few climbs that each
// need a whole pass per 256 steps: on sparse games of 10000 nodes and 5
// colours, three cut chains per batch held the two-sided loop for 67 passes,
// which it ends in 20 with them longer. The two classes of
// the two-sided measure take turns, starting with the one-sided measure's
// class, each with its own budget: the loop ends when either class is
// stable, and the raises of the class a batch does not follow reach their
// predecessors one pass later, so the climb of a class towards top does not
// hold up the other. Each of their batches has at least two passes, the
// last of which can see the class that its first settled.
//
// The two classes race: a batch's chains stop once they ran n * 2^(g)
// lifts beyond the start of each chain (g counts the class's batches
// before, plus room for two chains at full budget in every pass), and
// their nodes wait for a later batch of their class. Without the cap, the
// class that climbs towards top took most of the work on sparse games of
// 1000 nodes (7,300 of 9,100 raises on one), where the other class, the
// one that ends the loop, needed 1,800. A batch that reaches its cap does
// not count as a lone climb, so its class's budget does not grow; nor does
// the other class's while this one is held at its cap and the other has
// run more than four times its lifts: a lone climb towards top, which the
// cap lets through at full budget, took 4.2 of 4.8 million lifts on one
// game whose other class ended the loop after 400 thousand.
class SpmSchedule {
 public:
  SpmSchedule(bool one_sided, uint32_t n_nodes) : one_sided_(one_sided), n_nodes_(n_nodes) {}
  unsigned int passes() const;
  uint32_t budget() const;
  unsigned int follow() const;  // a kernel::PassReport class bit, 0 for both
  uint32_t work_cap(uint32_t n_nodes) const;  // chained lifts per batch, 0 for no cap
  // The next batch, after one whose last pass reported `report`.
  // work: the chained lifts the batch counted (see start_spm_batch).
  void next(uint32_t report, uint32_t work = 0);

  static const unsigned int lone_climb_chains = 2;

 private:
  unsigned int growth() const { return one_sided_ ? batch_ : batch_ / 2; }
  unsigned int turn() const { return one_sided_ ? 0u : batch_ % 2; }  // the class a batch follows
  bool one_sided_;
  uint32_t n_nodes_;
  unsigned int batch_ = 0;
  bool lone_climb_[2] = {false, false};  // per class: its last batch cut at most lone_climb_chains chains
  bool capped_[2] = {false, false};      // per class: its last batch reached its work cap
  uint64_t work_[2] = {0, 0};            // per class: chained lifts of its batches so far
  uint32_t cuts_[2] = {0, 0};            // per class: chains its last batch cut short
};

// The start of a batch: its passes take the schedule's budget, class and
// work cap, and the batch's work count (the word after the rank bounds) is
// cleared, queued behind the launches before it.
void start_spm_batch(DeviceMemoryPtr& memory, const SpmLaunch& launch, const SpmSchedule& schedule, uint32_t n_nodes,
                     kernel::PassArgs& pass);
// The end of a batch: its report, which the schedule takes with the batch's
// work count for the next batch.
uint32_t end_spm_batch(const DeviceMemoryPtr& memory, const SpmLaunch& launch, SpmSchedule& schedule);

// Device steps of the iteration loops; every status is checked.
void store_go_on(DeviceMemoryPtr& memory, bool value);
bool load_go_on(const DeviceMemoryPtr& memory);
void synchronize(const char* kernel_name);
// A launch the runtime refused ran nothing; carrying on would read an
// untouched go_on as convergence, so it is an error.
void check_launch(const char* kernel_name);
// Gives every node left undecided to winner (kernel::simple_spm_iteration_finalize).
void finalize_simple_spm(DeviceMemoryPtr& memory, uint32_t n_nodes, uint32_t winner);

// Seconds since the given steady-clock reading, and the reading now.
double seconds_now();
