#pragma once
// A game as pgsolve holds it: the CSR game with compressed colours, in file
// order, and the colours of the file for the verifier.
#include <cstdint>
#include <string>
#include <vector>

#include "host/parity_game.h"
#include "pgsolve/game_input.h"
#include "verify/verifier.h"

struct LoadedGame {
  ParityGame game;                        // compressed colours; node i is the file's i-th node
  std::vector<color_t> colour;            // the compressed colours again (solvers overwrite game.color)
  std::vector<uint32_t> original_colour;  // the colours of the file

  // The game as the verifier sees it: the file's colours and identifiers.
  VerifierGame verifier_view() const;
  // Puts the compressed colours back into game.color after a solve.
  void restore_colours();
};

// Parses the text (the reader's own messages on a refused text) and compresses
// its colours. False when the reader refused the text; a game that needs too
// many colours or fails a conversion check throws a one-line std::string.
bool load_game(GameText text, LoadedGame& loaded);

// The quick road for a plain file that loads without a word: the programs'
// parallel loader, then the same colour compression. False, with nothing
// read or said, for standard input, compressed files and any file the quick
// road declines; read_game_text and load_game then take it as before.
bool load_game_quickly(const std::string& path, LoadedGame& loaded);
