#include "cudaPGSolver/winner_lists.h"

#include "host/decimal_lines.h"

namespace {

void print_region(std::ostream& out, const char* heading, const color_t* color, uint32_t n_nodes, color_t mark) {
  out << heading << std::endl;
  {
    DecimalLines line(out);
    for (uint32_t i = 0; i < n_nodes; ++i) {
      if (color[i] == mark) line.put(i, ", ", 2);
    }
  }
  out << std::endl << std::endl;
}

}  // namespace

void print_winner_lists(std::ostream& out, const color_t* color, uint32_t n_nodes) {
  print_region(out, "Won by Even:", color, n_nodes, 0);
  print_region(out, "Won by Odd:", color, n_nodes, 1);
}
