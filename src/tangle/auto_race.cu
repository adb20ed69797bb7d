#include "tangle/auto_race.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include <thrust/system_error.h>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/lanes.h"
#include "recursive/frontier_solver.h"
#include "tangle/tangle_solver.h"

namespace {

struct Race {
  std::atomic<bool> stop{false};
  std::atomic<int> first{-1};  // the lane that answered first
  // Wakes a lane still waiting for its head start when the race is over.
  std::mutex mutex;
  std::condition_variable over;

  void finish() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stop.store(true);
    }
    over.notify_all();
  }
};

// On a game whose launches take every core, tangle learning waits this long
// per node and edge before it starts, unless Zielonka's algorithm has
// answered by then: more than alg 12 takes for the whole of the random,
// steady and ladder games on the host backend (100-150 ns per element on the
// 10^6-node random game). Where Zielonka is quick, it thus runs alone, with
// the cores and caches to itself (running beside it, even at a lower
// priority, tangle learning slowed it by a third on 10^5-node games); where
// it blows up on a large game, tangle learning starts after a delay of a
// few sweeps.
const double head_start_ns_per_element = 200.0;

void wait_for_head_start(const cudaGpuArena& game, Race& race) {
  if (!launches_take_every_core(game.n_nodes)) return;
  const auto delay = std::chrono::nanoseconds(
      static_cast<long long>(head_start_ns_per_element * (double(game.n_nodes) + double(game.n_edges))));
  std::unique_lock<std::mutex> lock(race.mutex);
  race.over.wait_for(lock, delay, [&] { return race.stop.load(); });
}

// Tangle learning's view of the game that the arena holds on the device: the
// game's arrays (owners, successor and predecessor lists) are borrowed from
// the arena, read by both solvers and written by neither; the colours, which
// a solver overwrites with its marks, and the strategies are its own.
struct BorrowedGame {
  cudaGpuArena view;
  std::vector<color_t> marks;  // host side of the lane's colours

  BorrowedGame(const cudaGpuArena& game, bool with_strategy) : marks(game.n_nodes) {
    view.n_nodes = game.n_nodes;
    view.n_edges = game.n_edges;
    view.min_parity = game.min_parity;
    view.min_color = game.min_color;
    view.max_color = game.max_color;
    view.max_n_succ = game.max_n_succ;
    view.max_n_pred = game.max_n_pred;
    // The lane's own arrays first: when one of them cannot be had, the view
    // holds nothing borrowed yet, and its destructor frees only what it owns.
    alloc_array<Space::device>(view.device.color, game.n_nodes);
    if (game.n_nodes != 0) copy_array<Space::device, Space::device>(view.device.color, game.device.color, game.n_nodes);
    if (with_strategy) view.allocate_strategy();
    view.device.owner = game.device.owner;
    view.device.succ = game.device.succ;
    view.device.pred = game.device.pred;
    view.host.color = marks.data();
  }
  ~BorrowedGame() {
    // Only the lane's own arrays are freed here; the arena frees the rest.
    view.device.owner = nullptr;
    view.device.succ = Adjacency{};
    view.device.pred = Adjacency{};
    view.host.color = nullptr;
    view.release_device(false);
  }
};

void run_lane(int index, cudaGpuArena& game, Race& race, uint32_t* strategy, std::string& failure) {
  // Zielonka's algorithm is the quicker one on every family but those built
  // against it, and it blows up only on games small enough to solve at all,
  // whose launches take a core each: it runs in the foreground with every
  // core, tangle learning in the background on what is left, so the race
  // costs little more than Zielonka alone where Zielonka wins, and runs both
  // on a core each where it blows up.
  if (index == 0) {
    enter_background_lane(game.n_nodes);
    wait_for_head_start(game, race);
  }
  try {
    check_cuda(cudaSetDevice(0), "no cuda device found");
    if (index == 0) {
      TangleSolver solver;
      solver.set_stop_flag(&race.stop);
      solver.solve(game);
    } else {
      FrontierSolver solver(game.n_nodes);
      solver.set_stop_flag(&race.stop);
      solver.solve(game);
    }
    int none = -1;
    if (race.first.compare_exchange_strong(none, index)) {
      race.finish();
      copy_result_to_host(game);
      if (strategy != nullptr && game.n_nodes != 0)
        copy_array<Space::host, Space::device>(strategy, game.device.strategy, game.n_nodes);
    }
  } catch (const TangleStopped&) {
  } catch (const FrontierStopped&) {
  } catch (const std::string& message) {
    failure = message;
  } catch (const thrust::system::system_error& error) {
    failure = std::string("Thrust error: ") + error.what();
  } catch (const std::exception& error) {
    failure = error.what();
  }
}

// Uploads the game and makes tangle learning's view of it; both lanes then
// run, and the winner's marks end in arena.host.color.
RaceWinner race_on_device(cudaGpuArena& arena, uint32_t* strategy) {
  check_cuda(cudaSetDevice(0), "no cuda device found");
  arena.move_to_device(false);
  if (strategy != nullptr) arena.allocate_strategy();
  BorrowedGame tangle_game(arena, strategy != nullptr);
  Race race;
  std::string failures[2];
  // The background lane gets a thread of its own, which its priority stays
  // with, started on the other core; Zielonka's algorithm runs on the
  // caller's thread, whose OpenMP workers already exist.
  LaneThread tangle([&] { run_lane(0, tangle_game.view, race, strategy, failures[0]); });
  run_lane(1, arena, race, strategy, failures[1]);
  tangle.join();
  const int first = race.first.load();
  if (first < 0) throw failures[0].empty() ? failures[1] : failures[0];
  if (first == 0 && arena.n_nodes != 0)
    std::copy(tangle_game.marks.begin(), tangle_game.marks.end(), arena.host.color);
  return first == 0 ? RaceWinner::tangle_learning : RaceWinner::zielonka;
}

}  // namespace

const char* race_winner_name(RaceWinner winner) {
  return winner == RaceWinner::tangle_learning ? "tangle learning" : "Zielonka";
}

RaceWinner solve_by_race(cudaGpuArena& arena, uint32_t* strategy) {
  try {
    const RaceWinner winner = race_on_device(arena, strategy);
    arena.release_device(false);
    return winner;
  } catch (...) {
    arena.release_device(false);
    throw;
  }
}
