#include "main/entry.h"

#include <iostream>
#include <string>

#include <thrust/system_error.h>

#include "cudaPGSolver/solve.h"
#include "host/time_list.h"

namespace {

void solve_pass(const std::string& file_name, unsigned int alg_id) {
  TimeList list;
  list.restart();
  try {
    solve_file(file_name, &list, true, alg_id);
  } catch (const std::string& message) {
    std::cerr << "Caught exception: " << message << std::endl;
  } catch (const thrust::system::system_error& error) {
    std::cerr << "Thrust error: " << error.what() << std::endl;
    std::cerr << "In case of a \"synchronize : launch_closure_by_value\" error in debug mode: seems to be an error "
                 "with thrust when multi-threading (google it)."
              << std::endl;
  }
  list.print(std::cerr);
}

}  // namespace

int program_main(int argc, char** argv, const char* program_name, unsigned int alg_id) {
  if (argc != 2) {
    std::cerr << "Usage: " << program_name << " [PGSolverFile]" << std::endl;
    return -1;
  }
  solve_pass(argv[1], alg_id);
  return 0;
}
