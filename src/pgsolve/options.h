#pragma once
// pgsolve's command line.
#include <string>

#include "cudaPGSolver/algorithms.h"

struct Options {
  enum class Action { solve, check, help, version, list_algorithms };
  Action action = Action::solve;
  // The chosen row; null for the default, auto: tangle learning and
  // Zielonka's algorithm side by side, the first answer taken.
  const Algorithm* algorithm = nullptr;
  std::string game = "-";                // "-" is standard input
  std::string solution_file;             // -o; empty: none
  bool print = false;                    // -p
  bool verify = false;                   // --verify
  std::string check_file;                // --check
  int threads = 0;                       // 0: the backend's own choice
  double timeout = 0;                    // seconds; 0: none
  bool quiet = false;
  bool verbose = false;

  // A solution is wanted when it is written or verified.
  bool wants_strategy() const { return !solution_file.empty() || print || verify; }
};

// Reads argv into options. Returns an empty string, or the one-line message
// (without the "pgsolve: " prefix) of the first mistake.
std::string parse_options(int argc, char** argv, Options& options);

// The text of --help.
std::string help_text();
