#pragma once
// The default algorithm "auto": tangle learning and Zielonka's algorithm (with
// frontier attractors, alg 12) race on the same game, and the first complete
// answer is taken. Each family that
// makes one of them exponential (recursive ladders for Zielonka's algorithm,
// the counter games built against tangle learning) leaves the other fast.
#include <cstdint>
#include <string>

class cudaGpuArena;

enum class RaceWinner { tangle_learning, zielonka };

// "tangle learning" or "Zielonka", for the report.
const char* race_winner_name(RaceWinner winner);

// Solves a loaded arena (host side filled) with both solvers at once. The
// game moves to the device once, as in the programs' arena driver (the host
// arrays other than color are given up; download() would bring them back).
// Zielonka's algorithm runs on the calling thread with every worker;
// tangle learning runs on a thread of its own as a background lane (see
// common/lanes.h), on the same device arrays with colours and strategies of
// its own, and on a game whose launches take every core it starts only after
// a head start of Zielonka's. The first solver to finish raises the stop
// flag; the other one sees it at its next check (every pass of either),
// unwinds and frees its memory. The winner's marks (0 Even, 1 Odd) land in
// arena.host.color and, when strategy is given (n_nodes entries), its
// strategies there. A failure of one solver leaves the race to the other;
// when both fail, the first failure is thrown as its text. The arena's
// device side is released at the end.
RaceWinner solve_by_race(cudaGpuArena& arena, uint32_t* strategy);
