#include "cudaPGSolver/algorithms.h"

#include <cstddef>

#include "cudaPGSolver/spm_solvers.h"
#include "recursive/vantor_solver.h"

namespace {

// One row per solver of the CSR road.
const CsrAlgorithm csr_algorithms[] = {
    {0, "\n --> Using SPM with wl <-- \n", spm_solve_wl},
    {1, "\n --> Using SPM without wl <-- \n", spm_solve},
    {2, "\n --> Using simple SPM with wl <-- \n", simple_spm_solve_wl},
    {3, "\n --> Using simple SPM without wl <-- \n", simple_spm_solve},
    {4, "\n --> Using SPM with oan <-- \n", spm_solve_oan},
    {5, "\n --> Using simple SPM with oan <-- \n", simple_spm_solve_oan},
    {9, "\n --> Using recursive <-- \n", &recursive_solve},
};

}  // namespace

const CsrAlgorithm* find_csr_algorithm(unsigned int alg_id) {
  for (const CsrAlgorithm& a : csr_algorithms) {
    if (a.solve != nullptr && a.alg_id == alg_id) return &a;
  }
  return nullptr;
}
