#include "tangle/auto_race.h"

#include <atomic>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include <thrust/system_error.h>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "common/check_cuda.h"
#include "common/device_array.h"
#include "recursive/frontier_solver.h"
#include "tangle/tangle_solver.h"

namespace {

template <class T>
void copy_host(T* to, const T* from, std::size_t n) {
  if (n != 0) std::memcpy(to, from, n * sizeof(T));
}

void copy_host_side(const cudaGpuArena& from, cudaGpuArena& to) {
  to.allocate_host(from.n_nodes, from.n_edges);
  to.min_parity = from.min_parity;
  to.min_color = from.min_color;
  to.max_color = from.max_color;
  to.max_n_succ = from.max_n_succ;
  to.max_n_pred = from.max_n_pred;
  const std::size_t n = from.n_nodes, m = from.n_edges;
  copy_host(to.node_id, from.node_id, n);
  copy_host(to.host.color, from.host.color, n);
  copy_host(to.host.owner, from.host.owner, n);
  for (const auto side : {&HostArena::succ, &HostArena::pred}) {
    copy_host((to.host.*side).count, (from.host.*side).count, n);
    copy_host((to.host.*side).begin, (from.host.*side).begin, n + 1);
    copy_host((to.host.*side).targets, (from.host.*side).targets, m);
  }
}

struct Race {
  std::atomic<bool> stop{false};
  std::atomic<int> first{-1};  // the lane that answered first
};

struct Lane {
  cudaGpuArena game;
  std::string failure;  // empty unless the solver failed
};

// The faster of the Zielonka solvers, alg 12 with frontier attractors.
void solve_with_zielonka(cudaGpuArena& game, const std::atomic<bool>& stop) {
  FrontierSolver solver(game.n_nodes);
  solver.set_stop_flag(&stop);
  solver.solve(game);
}

void run_lane(int index, Lane& lane, Race& race, uint32_t* strategy, cudaGpuArena& target) {
  try {
    check_cuda(cudaSetDevice(0), "no cuda device found");
    lane.game.upload(false);
    if (strategy != nullptr) lane.game.allocate_strategy();
    if (index == 0) {
      TangleSolver solver;
      solver.set_stop_flag(&race.stop);
      solver.solve(lane.game);
    } else {
      solve_with_zielonka(lane.game, race.stop);
    }
    int none = -1;
    if (race.first.compare_exchange_strong(none, index)) {
      race.stop.store(true);
      copy_result_to_host(lane.game);
      copy_host(target.host.color, lane.game.host.color, lane.game.n_nodes);
      if (strategy != nullptr && lane.game.n_nodes != 0)
        copy_array<Space::host, Space::device>(strategy, lane.game.device.strategy, lane.game.n_nodes);
    }
  } catch (const TangleStopped&) {
  } catch (const FrontierStopped&) {
  } catch (const std::string& message) {
    lane.failure = message;
  } catch (const thrust::system::system_error& error) {
    lane.failure = std::string("Thrust error: ") + error.what();
  } catch (const std::exception& error) {
    lane.failure = error.what();
  }
  lane.game.release_device(false);
}

}  // namespace

const char* race_winner_name(RaceWinner winner) {
  return winner == RaceWinner::tangle_learning ? "tangle learning" : "Zielonka";
}

RaceWinner solve_by_race(cudaGpuArena& arena, uint32_t* strategy) {
  Race race;
  Lane lanes[2];
  copy_host_side(arena, lanes[0].game);
  copy_host_side(arena, lanes[1].game);
  std::thread zielonka(run_lane, 1, std::ref(lanes[1]), std::ref(race), strategy, std::ref(arena));
  run_lane(0, lanes[0], race, strategy, arena);
  zielonka.join();
  const int first = race.first.load();
  if (first < 0) throw lanes[0].failure.empty() ? lanes[1].failure : lanes[0].failure;
  return first == 0 ? RaceWinner::tangle_learning : RaceWinner::zielonka;
}
