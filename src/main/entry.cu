#include "main/entry.h"

#include <iostream>
#include <string>

#include <thrust/system_error.h>

#include "cudaPGSolver/algorithms.h"
#include "cudaPGSolver/solve.h"
#include "host/time_list.h"
#include "rangespm/korrel.h"

namespace {

// A failure must not read as success to the scripts that run the programs:
// every text stays as it is, only the status says it.
const int failed = 1;

// Returns the exit status of the run.
int solve_pass(const std::string& file_name, unsigned int alg_id) {
  TimeList list;
  list.restart();
  int status = 0;
  try {
    // The range solver loads and prints by itself; the other roads go
    // through solve_file.
    const bool read = road_of(alg_id) == Road::range ? Korrel::solve(file_name, std::cout, true, false, &list)
                                                     : solve_file(file_name, &list, true, alg_id);
    if (!read) status = failed;
  } catch (const Korrel::RankCountFailure& failure) {
    // Reported here rather than ending the process inside the solver, so that
    // everything unwinds and standard output is complete.
    std::cerr << failure.message << std::endl;
    status = -1;
  } catch (const std::string& message) {
    std::cerr << "Caught exception: " << message << std::endl;
    status = failed;
  } catch (const thrust::system::system_error& error) {
    std::cerr << "Thrust error: " << error.what() << std::endl;
    std::cerr << "In case of a \"synchronize : launch_closure_by_value\" error in debug mode: seems to be an error "
                 "with thrust when multi-threading (google it)."
              << std::endl;
    status = failed;
  }
  list.print(std::cerr);
  return status;
}

}  // namespace

int program_main(int argc, char** argv, const char* program_name, unsigned int alg_id) {
  if (argc != 2) {
    std::cerr << "Usage: " << program_name << " [PGSolverFile]" << std::endl;
    return -1;
  }
  return solve_pass(argv[1], alg_id);
}
