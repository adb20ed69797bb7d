#include "cudaPGSolver/algorithms.h"

#include <cstddef>

namespace {

// One row per solver of the CSR road.
const CsrAlgorithm csr_algorithms[] = {
    {0, nullptr, nullptr},
};

}  // namespace

const CsrAlgorithm* find_csr_algorithm(unsigned int alg_id) {
  for (const CsrAlgorithm& a : csr_algorithms) {
    if (a.solve != nullptr && a.alg_id == alg_id) return &a;
  }
  return nullptr;
}
