#pragma once
// The one place where the backend shows: the real CUDA runtime for the cuda
// backend, our host layer otherwise. Everything above includes this file and
// is written once for both.
#if defined(PG_CUDA_BACKEND)
#include <cuda_runtime.h>
// Dynamic shared memory of a kernel, declared inside the kernel body.
#define PG_DYNAMIC_SHARED(type, name) extern __shared__ type name[]
#else
#include "common/host_runtime.h"
#define PG_DYNAMIC_SHARED(type, name) type* name = static_cast<type*>(::hostrt::dynamic_shared_memory())
#endif
