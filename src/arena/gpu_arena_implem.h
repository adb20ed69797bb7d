#pragma once
#include <cstdint>
#include <vector>
class cudaGpuArena;
class TimeList;

// Solves a loaded arena (host side filled) with the algorithm alg_id of the
// arena road: moves it to the device (the host arrays but color are freed),
// runs the solver and leaves the won marks (0 Even, 1 Odd) in
// arena.host.color, with the device side released. The solver is the
// arena-road row of the algorithm table; any other alg_id clears the arena and
// throws "Unkown alg_id". Laps are added to list when one is given. With
// strategy given, the solver is handed a strategy array and its content (in
// the arena's numbering, no_strategy where none was given) comes back there.
void solve_gpu_arena(cudaGpuArena& arena, unsigned int alg_id, TimeList* list,
                     std::vector<uint32_t>* strategy = nullptr);

// Copies the device colours into the host colour array; a failed copy throws
// "error while copying color from device" and the runtime's text, so that no
// stale colours are taken for a result.
void copy_result_to_host(cudaGpuArena& arena);
