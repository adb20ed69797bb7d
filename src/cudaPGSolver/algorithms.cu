#include "cudaPGSolver/algorithms.h"

#include <cstddef>

#include "recursive/vantor_solver.h"

namespace {

// One row per solver of the CSR road.
const CsrAlgorithm csr_algorithms[] = {
    {9, "\n --> Using recursive <-- \n", &recursive_solve},
};

}  // namespace

const CsrAlgorithm* find_csr_algorithm(unsigned int alg_id) {
  for (const CsrAlgorithm& a : csr_algorithms) {
    if (a.solve != nullptr && a.alg_id == alg_id) return &a;
  }
  return nullptr;
}
