#pragma once
// The six progress-measure solvers of the CSR road. Each takes the game's
// device arrays, the game, the properties of the device in use and the run's
// time list (may be null), and leaves 0 (Even) or 1 (Odd) in every entry of the
// device color array. The overloads with SpmStats also report what they did.
#include "common/platform.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "cudaPGSolver/spm_common.h"
#include "host/parity_game.h"
#include "host/time_list.h"

void spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                  TimeList* list);
void spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties, TimeList* list);
void simple_spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                         TimeList* list);
void simple_spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                      TimeList* list);
void spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list);
void simple_spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                          TimeList* list);

void spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                  TimeList* list, SpmStats* stats);
void spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties, TimeList* list,
               SpmStats* stats);
void simple_spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                         TimeList* list, SpmStats* stats);
void simple_spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                      TimeList* list, SpmStats* stats);
void spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list, SpmStats* stats);
void simple_spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                          TimeList* list, SpmStats* stats);
