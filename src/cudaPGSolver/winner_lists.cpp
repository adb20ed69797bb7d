#include "cudaPGSolver/winner_lists.h"

#include <string>

namespace {

void print_region(std::ostream& out, const char* heading, const color_t* color, uint32_t n_nodes, color_t mark) {
  out << heading << std::endl;
  std::string line;
  for (uint32_t i = 0; i < n_nodes; ++i) {
    if (color[i] != mark) continue;
    line += std::to_string(i);
    line += ", ";
    if (line.size() >= (1u << 16)) {
      out << line;
      line.clear();
    }
  }
  out << line << std::endl << std::endl;
}

}  // namespace

void print_winner_lists(std::ostream& out, const color_t* color, uint32_t n_nodes) {
  print_region(out, "Won by Even:", color, n_nodes, 0);
  print_region(out, "Won by Odd:", color, n_nodes, 1);
}
