#include <string>

#include <thrust/execution_policy.h>
#include <thrust/transform.h>

#include "arena/gpu_arena.h"

void cudaGpuArena::swap_players() {
  const std::size_t n = n_nodes;
  if (n != 0 && (device.owner == nullptr || device.color == nullptr)) {
    throw std::string("cudaGpuArena::swap_players: the game is not on the device");
  }
  players_swapped = !players_swapped;
  if (n == 0) return;
  thrust::transform(thrust::device, device.owner, device.owner + n, device.owner, SwapOwner());
  thrust::transform(thrust::device, device.color, device.color + n, device.color, SwapColorIfWon());
}
