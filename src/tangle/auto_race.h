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

// Solves a loaded arena (host side filled) with both solvers at once, on two
// host threads, each with its own device copy of the game. The first solver
// to finish raises the stop flag; the other one sees it at its next check
// (every pass of Zielonka's recursion, every step of a tangle search),
// unwinds and frees its device memory. The winner's marks (0 Even, 1 Odd)
// land in arena.host.color and, when strategy is given (n_nodes entries), its
// strategies there. A failure of one solver leaves the race to the other;
// when both fail, the first failure is thrown as its text. The arena's device
// side is left as it was (the racers use their own).
RaceWinner solve_by_race(cudaGpuArena& arena, uint32_t* strategy);
