#pragma once
#include <cstdint>
#include <vector>

#include "test_game.h"
#include "verify/verifier.h"

// A TestGame in the compressed row form that the verifier reads.
struct CsrView {
  explicit CsrView(const TestGame& game);
  VerifierGame view() const;

  std::vector<uint32_t> color, begin, succ, id;
  std::vector<uint8_t> owner;
};
