#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A game as the tests build it: nodes by index, each with the identifier it
// gets in the file, a colour, an owner and successor indices.
struct TestGame {
  std::vector<uint32_t> id;
  std::vector<uint32_t> color;
  std::vector<uint8_t> owner;
  std::vector<std::vector<uint32_t>> succ;

  uint32_t size() const { return static_cast<uint32_t>(color.size()); }
  // Appends a node with identifier = its index unless given.
  uint32_t add_node(uint32_t color, uint8_t owner, std::vector<uint32_t> succ = {});
};

// PGSolver text of the game ("parity N;" header unless with_header is false),
// successors written by identifier.
std::string to_pgsolver(const TestGame& game, bool with_header = true);
// Writes text to a fresh file under the test temp directory; returns its path.
std::string write_temp_file(const std::string& text, const std::string& stem = "game");
