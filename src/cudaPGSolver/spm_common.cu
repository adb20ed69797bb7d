#include "cudaPGSolver/spm_common.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "kernels/auxiliary_kernel.h"
#include "kernels/simple_spm_kernel.h"

namespace {

const unsigned int aux_block = 256;

// A device buffer that is freed however the scope is left.
template <class T>
struct ScratchArray {
  T* ptr = nullptr;
  explicit ScratchArray(std::size_t count) { alloc_array<Space::device>(ptr, count); }
  ~ScratchArray() {
    if (ptr != nullptr) cudaFree(ptr);
  }
  ScratchArray(const ScratchArray&) = delete;
  ScratchArray& operator=(const ScratchArray&) = delete;
};

}  // namespace

ColorRanks prepare_color_ranks(DeviceMemoryPtr& memory, const ParityGame& game) {
  const uint32_t n = game.n_nodes;
  const std::size_t n_colors = static_cast<std::size_t>(game.max_color) + 1;
  // Whole words, so that zero_mem can clear the table.
  const std::size_t words = round_up(n_colors * sizeof(color_t), 4) / 4;
  ScratchArray<unsigned int> used(words);
  color_t* used_colors = reinterpret_cast<color_t*>(used.ptr);
  launch_kernel(kernel::zero_mem, blocks_for(static_cast<unsigned int>(words), aux_block), aux_block, 0, used.ptr,
                static_cast<unsigned int>(words));
  launch_kernel(kernel::preproc::old::determine_used_colors, blocks_for(n, aux_block), aux_block, 0, used_colors,
                memory.color, n);
  std::vector<color_t> map(n_colors);
  copy_array<Space::host, Space::device>(map.data(), used_colors, n_colors);

  const uint32_t top_parity = game.max_color & 1u;
  uint32_t rank = 1;
  uint32_t previous = top_parity;
  for (int c = game.max_color; c >= static_cast<int>(game.min_color); --c) {
    if (map[c] == 0) continue;
    const uint32_t parity = static_cast<uint32_t>(c) & 1u;
    if (parity != previous) ++rank;
    map[c] = static_cast<color_t>(2 * rank + parity);
    previous = parity;
    char line[64];
    std::snprintf(line, sizeof line, "Color %d becomes % d.\n", c, static_cast<int>(map[c]));
    std::cout << line << std::flush;
  }

  copy_array<Space::device, Space::host>(used_colors, map.data(), n_colors);
  launch_kernel(kernel::preproc::old::set_colors, blocks_for(n, aux_block), aux_block, 0, memory.color,
                static_cast<const color_t*>(used_colors), n);
  check_cuda(cudaDeviceSynchronize(), "error while renumbering the colours");
  return ColorRanks{rank + 1, top_parity};
}

void count_color_ranks(DeviceMemoryPtr& memory, uint32_t n_nodes, uint32_t valuation_dim) {
  // One word more than the ranks: the batches' work count (see start_spm_batch).
  memory.allocate_rank_counter(valuation_dim + 1);
  // One counting pass for all ranks: a pass per rank cost more than the
  // lifting itself on small games with many colours.
  check_cuda(cudaMemset(memory.rank_counter, 0, (static_cast<std::size_t>(valuation_dim) + 1) * 4),
             "error while clearing rank_counter");
  launch_kernel(kernel::preproc::old::count_ranks, blocks_for(n_nodes, aux_block), aux_block, 0, memory.rank_counter,
                static_cast<const color_t*>(memory.color), n_nodes);
  std::vector<uint32_t> counts(valuation_dim);
  copy_array<Space::host, Space::device>(counts.data(), memory.rank_counter, valuation_dim);
  for (uint32_t i = 1; i < valuation_dim; ++i)
    std::cerr << "There are " << counts[i] << " nodes of color rank " << i << std::endl;
}

void check_spm_node_count(uint32_t n_nodes) {
  const uint32_t largest = 0x7FFFFFFFu;
  if (n_nodes > largest) {
    throw "Too many nodes for the progress measures: " + std::to_string(n_nodes) +
        " nodes, but a measure component counts nodes in a signed 32-bit int (at most " + std::to_string(largest) +
        " nodes)";
  }
}

std::size_t spm_threads_per_block_limit(const cudaDeviceProp& properties, uint32_t valuation_dim) {
  const std::size_t measure_bytes = static_cast<std::size_t>(valuation_dim) * 4;
  const std::size_t fitting = properties.sharedMemPerBlock / measure_bytes;
  if (fitting == 0) {
    throw std::string("Too many colour ranks: the measure of one thread (") + std::to_string(measure_bytes) +
        " bytes) does not fit into the shared memory of a block (" + std::to_string(properties.sharedMemPerBlock) +
        " bytes)";
  }
  const std::size_t resident = static_cast<std::size_t>(std::max(properties.maxThreadsPerMultiProcessor, 0));
  if (resident == 0) throw std::string("No block size for the spm kernel: the device reports no resident threads");
  return std::min(fitting, resident);
}

unsigned int choose_spm_block_size(const cudaDeviceProp& properties, uint32_t valuation_dim) {
  const std::size_t h = spm_threads_per_block_limit(properties, valuation_dim);

  unsigned int m = 256;
  while (m > h) m /= 2;
  while (m > 64 && h / m < 2) m /= 2;

  if (m < 64) std::cerr << "Warning: number of threads per block is less than " << 64 << std::endl;
  if (h / m < 2) std::cerr << "Warning: average number of block per MP is less than " << 2 << std::endl;
  std::cerr << "Going to use a block size of " << m << " for the spm kernel" << std::endl << std::endl;
  return m;
}

SpmLaunch spm_common_start(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                           bool with_work_list, TimeList* list, SpmStats* stats) {
  const double started = seconds_now();
  // Failures before this solve were reported by their own statuses; what the
  // launch checks below see must be this solve's.
  cudaGetLastError();
  check_spm_node_count(game.n_nodes);
  const ColorRanks ranks = prepare_color_ranks(memory, game);
  // A game whose measures cannot be launched is refused before the rank
  // counts and the measures are paid for.
  spm_threads_per_block_limit(properties, ranks.valuation_dim);
  count_color_ranks(memory, game.n_nodes, ranks.valuation_dim);
  memory.allocate_valuation(ranks.valuation_dim);
  const unsigned int block = choose_spm_block_size(properties, ranks.valuation_dim);
  check_cuda(cudaDeviceSynchronize(), "error before clearing the measures");
  memory.initialize_valuation(ranks.valuation_dim);
  if (with_work_list) memory.reset_work_list();
  check_last_error("error while clearing the measures: ");
  if (list) list->add("Init phase took: ");
  if (stats) {
    stats->block_size = block;
    stats->valuation_dim = ranks.valuation_dim;
    stats->init_seconds = seconds_now() - started;
  }
  return SpmLaunch{ranks.valuation_dim, ranks.top_parity, block,
                   static_cast<std::size_t>(block) * ranks.valuation_dim * 4};
}

kernel::LiftArgs spm_lift_args(DeviceMemoryPtr& memory, uint32_t n_nodes, const SpmLaunch& launch) {
  return kernel::LiftArgs{memory.rank_counter, memory.rank_counter, memory.valuation,
                          reinterpret_cast<unsigned int*>(memory.valuation_next),
                          memory.color,        memory.owner,     memory.n_succ,
                          memory.succ_begin,   memory.succ_array, n_nodes,
                          launch.valuation_dim, launch.top_parity};
}

namespace {
uint32_t chain_budget = kernel::default_chain_budget;
}  // namespace

void set_spm_chain_budget(uint32_t lifts) { chain_budget = lifts < 1 ? 1 : lifts; }

unsigned int SpmSchedule::passes() const {
  const unsigned int doublings = std::min(growth() + (one_sided_ ? 0u : 1u), 5u);
  return 1u << doublings;
}

uint32_t SpmSchedule::budget() const {
  const bool lone = lone_climb_[turn()];
  const uint64_t growing = (one_sided_ ? 64ull : 256ull) << (2 * std::min(growth(), 6u));
  const uint64_t cut = std::max(cuts_[turn()], 1u);
  const uint64_t shared = std::max<uint64_t>(256u, n_nodes_ / (4 * cut));
  const uint64_t most = lone ? growing : std::min(growing, shared);
  return most < chain_budget ? static_cast<uint32_t>(most) : chain_budget;
}

void SpmSchedule::next(uint32_t report, uint32_t work) {
  const unsigned int t = turn();
  capped_[t] = (report & kernel::work_capped) != 0;
  cuts_[t] = report >> kernel::budget_cut_shift;
  work_[t] += work;
  const bool held_back = capped_[1 - t] && work_[t] > 4 * work_[1 - t];
  lone_climb_[t] = cuts_[t] <= lone_climb_chains && !capped_[t] && !held_back;
  ++batch_;
}

unsigned int SpmSchedule::follow() const {
  if (one_sided_) return 0;
  return turn() == 0 ? kernel::raised_even_class : kernel::raised_odd_class;
}

kernel::PassArgs spm_pass_args(DeviceMemoryPtr& memory, kernel::PassMode mode, const uint32_t* list, uint32_t count,
                               uint32_t* flags, bool chain) {
  return kernel::PassArgs{mode,         list,          count,             flags,
                          chain,        chain_budget,  memory.go_on,      memory.n_pred,
                          memory.pred_begin, memory.pred_array, 0,           0,
                          nullptr,      0};
}

uint32_t SpmSchedule::work_cap(uint32_t n_nodes) const {
  if (one_sided_) return 0;
  const uint64_t cap = (static_cast<uint64_t>(n_nodes) << std::min(growth(), 20u)) + 2ull * passes() * budget();
  return static_cast<uint32_t>(std::min<uint64_t>(cap, 0xFFFFFFFFull));
}

void start_spm_batch(DeviceMemoryPtr& memory, const SpmLaunch& launch, const SpmSchedule& schedule, uint32_t n_nodes,
                     kernel::PassArgs& pass) {
  pass.budget = schedule.budget();
  pass.follow = schedule.follow();
  const uint32_t cap = schedule.work_cap(n_nodes);
  pass.work = cap == 0 ? nullptr : memory.rank_counter + launch.valuation_dim;
  pass.work_cap = cap;
  if (pass.work != nullptr)
    check_cuda(cudaMemsetAsync(pass.work, 0, 4, 0), "error while clearing the batch's work count");
}

void clear_pass_report(DeviceMemoryPtr& memory) {
  check_cuda(cudaMemsetAsync(memory.go_on, 0, 1, 0), "error while clearing go_on");
  check_cuda(cudaMemsetAsync(memory.rank_counter, 0, 4, 0), "error while clearing the pass report");
}

uint32_t read_pass_report(const DeviceMemoryPtr& memory, uint32_t* batch_work, uint32_t valuation_dim) {
  const char* const failure = "error while copying the pass report to host";
  if (batch_work == nullptr) {
    // The read after every pass of the host backend: no buffer to allocate.
    uint32_t report = 0;
    check_cuda(cudaMemcpy(&report, memory.rank_counter, 4, cudaMemcpyDeviceToHost), failure);
    return report;
  }
  std::vector<uint32_t> words(valuation_dim + 1);
  check_cuda(cudaMemcpy(words.data(), memory.rank_counter, words.size() * 4, cudaMemcpyDeviceToHost), failure);
  *batch_work = words.back();
  return words[0];
}

uint32_t end_spm_batch(const DeviceMemoryPtr& memory, const SpmLaunch& launch, SpmSchedule& schedule) {
  uint32_t work = 0;
  const uint32_t report = read_pass_report(memory, &work, launch.valuation_dim);
  schedule.next(report, work);
  return report;
}

namespace {

// The stable class's player wins every node still undecided; with
// strategies asked for, its nodes among them take their least successors
// first.
void finish_spm(DeviceMemoryPtr& memory, uint32_t n_nodes, const SpmLaunch& launch, uint32_t first_component,
                uint32_t winner) {
  if (memory.strategy != nullptr) {
    launch_kernel(kernel::spm_strategy, blocks_for(n_nodes, aux_block), aux_block, 0,
                  static_cast<const int*>(memory.valuation), launch.valuation_dim, first_component, winner,
                  launch.valuation_dim < 3, static_cast<const color_t*>(memory.color),
                  static_cast<const uint8_t*>(memory.owner), static_cast<const uint32_t*>(memory.n_succ),
                  static_cast<const uint32_t*>(memory.succ_begin), static_cast<const uint32_t*>(memory.succ_array),
                  memory.strategy, n_nodes);
    check_launch("kernel::spm_strategy");
  }
  finalize_simple_spm(memory, n_nodes, winner);
}

}  // namespace

bool spm_loop_done(DeviceMemoryPtr& memory, uint32_t n_nodes, const SpmLaunch& launch, bool one_sided,
                   uint32_t report, bool decisions_allowed) {
  if (report & kernel::deferred_lift) return false;
  if (!decisions_allowed && (report & kernel::decided_node)) return false;
  const bool odd_stable = (report & kernel::raised_odd_class) == 0;
  const bool even_stable = (report & kernel::raised_even_class) == 0;
  if (one_sided) {
    if (!even_stable) return false;
    finish_spm(memory, n_nodes, launch, 2, launch.top_parity);
    return true;
  }
  if (odd_stable) {
    finish_spm(memory, n_nodes, launch, 1, 1 - launch.top_parity);
    return true;
  }
  if (even_stable) {
    finish_spm(memory, n_nodes, launch, 2, launch.top_parity);
    return true;
  }
  return false;
}

bool spm_done_before_batch_end(DeviceMemoryPtr& memory, uint32_t n_nodes, const SpmLaunch& launch, bool one_sided,
                               unsigned int i, unsigned int passes) {
  if (i + 1 == passes || !spm_pass_reports(i, passes)) return false;
  return spm_loop_done(memory, n_nodes, launch, one_sided, read_pass_report(memory));
}

bool spm_worth_checking(bool one_sided, uint32_t report) {
  if ((report & kernel::deferred_lift) == 0) return false;
  const bool even_stable = (report & kernel::raised_even_class) == 0;
  return one_sided ? even_stable : even_stable || (report & kernel::raised_odd_class) == 0;
}

void store_go_on(DeviceMemoryPtr& memory, bool value) {
  check_cuda(cudaMemcpy(memory.go_on, &value, 1, cudaMemcpyHostToDevice), "error while copying go_on to device");
}

bool load_go_on(const DeviceMemoryPtr& memory) {
  bool value = false;
  check_cuda(cudaMemcpy(&value, memory.go_on, 1, cudaMemcpyDeviceToHost), "error while copying go_on to host");
  return value;
}

void synchronize(const char* kernel_name) {
  check_cuda(cudaDeviceSynchronize(), std::string(kernel_name) + " failed: ");
}

void check_launch(const char* kernel_name) {
  check_last_error(std::string(kernel_name) + " could not be launched: ");
}

void finalize_simple_spm(DeviceMemoryPtr& memory, uint32_t n_nodes, uint32_t winner) {
  launch_kernel(kernel::simple_spm_iteration_finalize, blocks_for(n_nodes, aux_block), aux_block, 0, memory.color,
                n_nodes, winner);
  check_launch("kernel::simple_spm_iteration_finalize");
  synchronize("kernel::simple_spm_iteration_finalize");
}

double seconds_now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
