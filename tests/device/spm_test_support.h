#pragma once
// Helpers of the progress-measure tests: games in CSR form, the six solvers
// by alg_id, and capture of the console streams.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/platform.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "cudaPGSolver/spm_common.h"
#include "host/parity_game.h"
#include "host/time_list.h"
#include "test_game.h"

typedef void (*SpmSolver)(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                          TimeList* list, SpmStats* stats);

struct SpmSolverInfo {
  unsigned int alg_id;
  const char* name;
  SpmSolver solve;
};

// The six solvers in alg_id order (0 to 5).
const std::vector<SpmSolverInfo>& spm_solvers();

// The game in the form ParityGame::load gives it (colours as they are, node
// ids from the TestGame).
void fill_parity_game(const TestGame& source, ParityGame& game);

// std::cout and std::cerr go into buffers while it lives.
class StreamCapture {
 public:
  StreamCapture();
  ~StreamCapture();
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }

 private:
  std::ostringstream out_, err_;
  std::streambuf* old_out_;
  std::streambuf* old_err_;
};

struct SpmRun {
  std::vector<color_t> color;  // the device colours after the solve
  std::vector<uint32_t> strategy;  // with strategies asked for: the device strategy array
  SpmStats stats;
  std::string out, err;
};

// Solves the game with one solver called directly, with the properties of
// device 0 unless others are given.
SpmRun run_spm(unsigned int alg_id, const TestGame& game, const cudaDeviceProp* properties = nullptr,
               bool with_strategy = false);

// A device array's first n elements.
template <class T>
std::vector<T> device_to_vector(const T* p, std::size_t n) {
  std::vector<T> v(n);
  if (n != 0) cudaMemcpy(v.data(), p, n * sizeof(T), cudaMemcpyDeviceToHost);
  return v;
}
