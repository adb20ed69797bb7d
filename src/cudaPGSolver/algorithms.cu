#include "cudaPGSolver/algorithms.h"

#include <cstdio>
#include <iterator>

#include "arena/gpu_arena.h"
#include "cudaPGSolver/spm_solvers.h"
#include "recursive/vantor_solver.h"
#include "recursive/frontier_solver.h"
#include "recursive/vantor_solver_v2.h"
#include "tangle/tangle_solver.h"

namespace {

void recursive_arena_solve(cudaGpuArena& arena) {
  VantorSolverV2 solver(arena.n_nodes);
  solver.solve(arena);
}

void frontier_arena_solve(cudaGpuArena& arena) {
  FrontierSolver solver(arena.n_nodes);
  solver.solve(arena);
}

void tangle_arena_solve(cudaGpuArena& arena) { solve_with_tangles(arena, nullptr); }

const Algorithm algorithm_table[] = {
    {0, "spm-wl", "pgsolver_spm_wl", "\n --> Using SPM with wl <-- \n", Road::csr, Strategies::partial, spm_solve_wl,
     nullptr},
    {1, "spm", "pgsolver_spm", "\n --> Using SPM without wl <-- \n", Road::csr, Strategies::partial, spm_solve,
     nullptr},
    {2, "simple-spm-wl", "pgsolver_simple_spm_wl", "\n --> Using simple SPM with wl <-- \n", Road::csr,
     Strategies::partial, simple_spm_solve_wl, nullptr},
    {3, "simple-spm", "Korrel", "\n --> Using simple SPM without wl <-- \n", Road::csr, Strategies::partial,
     simple_spm_solve, nullptr},
    {4, "spm-oan", "pgsolver_spm_oan", "\n --> Using SPM with oan <-- \n", Road::csr, Strategies::partial,
     spm_solve_oan, nullptr},
    {5, "simple-spm-oan", "pgsolver_simple_spm_oan", "\n --> Using simple SPM with oan <-- \n", Road::csr,
     Strategies::partial, simple_spm_solve_oan, nullptr},
    {9, "zielonka-csr", "pgsolver_recursive", "\n --> Using recursive <-- \n", Road::csr, Strategies::both,
     &recursive_solve, nullptr},
    {11, "zielonka", "Vantor", "\n --> recursive with cudaGpuArena <-- \n", Road::arena, Strategies::both, nullptr,
     recursive_arena_solve},
    {12, "zielonka-frontier", "pgsolver_recursive_frontier", "\n --> recursive with frontier attractors <-- \n",
     Road::arena, Strategies::both, nullptr, frontier_arena_solve},
    {13, "tangle", "pgsolver_tangle", "\n --> tangle learning with cudaGpuArena <-- \n", Road::arena,
     Strategies::both, nullptr, tangle_arena_solve},
    {20, "range-spm", "pgsolver_range_spm", nullptr, Road::range, Strategies::none, nullptr, nullptr},
};

}  // namespace

const Algorithm* algorithms_begin() { return std::begin(algorithm_table); }
const Algorithm* algorithms_end() { return std::end(algorithm_table); }

const Algorithm* find_algorithm(unsigned int alg_id) {
  for (const Algorithm& a : algorithm_table)
    if (a.alg_id == alg_id) return &a;
  return nullptr;
}

const Algorithm* find_algorithm(const std::string& name) {
  for (const Algorithm& a : algorithm_table)
    if (name == a.name) return &a;
  return nullptr;
}

Road road_of(unsigned int alg_id) {
  const Algorithm* a = find_algorithm(alg_id);
  if (a != nullptr) return a->road;
  return alg_id >= 10 ? Road::arena : Road::csr;
}

const CsrAlgorithm* find_csr_algorithm(unsigned int alg_id) {
  const Algorithm* a = find_algorithm(alg_id);
  return a != nullptr && a->road == Road::csr ? a : nullptr;
}

const char* road_name(Road road) {
  switch (road) {
    case Road::csr: return "csr";
    case Road::arena: return "arena";
    case Road::range: return "range";
  }
  return "";
}

const char* strategies_name(Strategies strategies) {
  switch (strategies) {
    case Strategies::none: return "none";
    case Strategies::partial: return "partial";
    case Strategies::both: return "both";
  }
  return "";
}

void print_algorithm_table(std::ostream& out) {
  char line[160];
  std::snprintf(line, sizeof line, "%-6s %-18s %-28s %-6s %s", "alg_id", "name", "program", "road", "strategies");
  out << line << '\n';
  for (const Algorithm& a : algorithm_table) {
    std::snprintf(line, sizeof line, "%-6u %-18s %-28s %-6s %s", a.alg_id, a.name, a.program, road_name(a.road),
                  strategies_name(a.strategies));
    out << line << '\n';
  }
  out << std::flush;
}
