#include "pgsolve/pgsolve.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <new>
#include <streambuf>
#include <string>

#include "pgsolve/game_input.h"
#include "pgsolve/loaded_game.h"
#include "pgsolve/options.h"
#include "pgsolve/run_solver.h"
#include "pgsolve/strategy_completion.h"
#include "pgsolve/watchdog.h"
#include "verify/solution_file.h"
#include "verify/verifier.h"
#ifdef PG_HOST_BACKEND
#include "common/host_runtime.h"
#endif

namespace {

// The default is no row of the table: it races two rows.
const char* const auto_row =
    "auto: tangle (13) and zielonka-frontier (12) side by side, the first complete answer taken (the default)";

const int status_solved = 0;
const int status_failed = 1;
const int status_usage = 2;

#ifdef PG_HOST_BACKEND
const char* const backend_name = "host";
#else
const char* const backend_name = "CUDA";
#endif

// Standard output carries only what was asked for: the solvers' banners,
// node counts and lines go nowhere while one runs, and pgsolve writes through
// the streams' own buffers.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

class SilencedSolvers {
 public:
  SilencedSolvers() : out_(std::cout.rdbuf(&null_)), err_(std::cerr.rdbuf(&null_)) {}
  SilencedSolvers(const SilencedSolvers&) = delete;
  SilencedSolvers& operator=(const SilencedSolvers&) = delete;
  ~SilencedSolvers() {
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }

 private:
  NullBuffer null_;
  std::streambuf* out_;
  std::streambuf* err_;
};

// One line: a solver's message of several lines is joined.
int fail(std::string message) {
  while (!message.empty() && message.back() == '\n') message.pop_back();
  for (char& c : message)
    if (c == '\n') c = ' ';
  std::cerr << "pgsolve: " << message << std::endl;
  return status_failed;
}

std::string game_name(const Options& o) { return o.game == "-" ? "standard input" : o.game; }

// Runs a phase that may throw what the solvers throw; returns the message of a
// failure, empty on success.
template <class Phase>
std::string guarded(Phase phase) {
  try {
    phase();
  } catch (const std::string& message) {
    return message;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& error) {  // Thrust's system_error among them
    return error.what();
  }
  return "";
}

uint32_t count_won(const std::vector<uint8_t>& winner, uint8_t player) {
  uint32_t count = 0;
  for (uint8_t w : winner) count += w == player;
  return count;
}

int check_solution(const Options& o, const LoadedGame& loaded, TimeList& list) {
  Solution solution;
  std::ifstream file;
  if (o.check_file != "-") {
    file.open(o.check_file, std::ios::binary);
    if (!file) return fail("cannot open " + o.check_file + ": " + std::strerror(errno));
  }
  std::istream& in = o.check_file == "-" ? std::cin : file;
  const std::string error = read_solution(in, loaded.verifier_view(), solution);
  if (!error.empty()) return fail((o.check_file == "-" ? "standard input" : o.check_file) + ": " + error);
  list.add("reading the solution took: ");
  const std::string violation =
      verify_solution(loaded.verifier_view(), solution.winner.data(), solution.strategy.data());
  list.add("verifying took: ");
  if (o.verbose) list.print(std::cerr);
  if (!violation.empty()) return fail("the solution does not hold: " + violation);
  if (!o.quiet) {
    std::cerr << "pgsolve: the solution in " << (o.check_file == "-" ? "standard input" : o.check_file) << " holds"
              << std::endl;
  }
  return status_solved;
}

int solve(const Options& o, LoadedGame& loaded, TimeList& list, Watchdog& watchdog) {
  Solution solution;
  int completed = 0;
  std::string answered_by;
  std::string failure = guarded([&] {
    SilencedSolvers silence;
    solution = o.algorithm != nullptr ? run_solver(loaded, *o.algorithm, o.wants_strategy(), &list)
                                      : run_race(loaded, o.wants_strategy(), &list, answered_by);
    list.add("collecting the result took: ");
    if (o.wants_strategy()) {
      completed = complete_strategies(loaded, solution.winner, solution.strategy);
      list.add("completing strategies took: ");
    }
  });
  const std::string name = o.algorithm != nullptr ? o.algorithm->name : "auto";
  if (!failure.empty()) return fail("solving with " + name + " failed: " + failure);

  // A strategy is named only where its node's owner wins the node.
  const ParityGame& game = loaded.game;
  for (uint32_t v = 0; v < game.n_nodes; ++v)
    if (game.owner[v] != solution.winner[v]) solution.strategy[v] = no_strategy;

  const VerifierGame view = loaded.verifier_view();
  if (o.verify) {
    const std::string violation = verify_solution(view, solution.winner.data(), solution.strategy.data());
    list.add("verifying took: ");
    if (!violation.empty()) return fail("the solution does not hold: " + violation);
  }
  watchdog.stop();

  if (!o.solution_file.empty()) {
    std::ofstream file(o.solution_file, std::ios::binary);
    if (file) write_solution(file, view, solution.winner.data(), solution.strategy.data());
    file.close();
    if (!file) return fail("cannot write the solution to " + o.solution_file);
  }
  if (o.print) {
    write_solution(std::cout, view, solution.winner.data(), solution.strategy.data());
    std::cout.flush();
  }
  if (o.verbose) list.print(std::cerr);
  if (!o.quiet) {
    std::cerr << "pgsolve: " << game.n_nodes << " nodes solved by " << name;
    if (!answered_by.empty()) std::cerr << " (answered by " << answered_by << ")";
    std::cerr << ": Even wins "
              << count_won(solution.winner, 0) << ", Odd wins " << count_won(solution.winner, 1);
    if (completed > 0) std::cerr << "; strategies of " << completed << " region(s) by " << completion_alg_id;
    if (o.verify) std::cerr << "; verified";
    std::cerr << std::endl;
  }
  return status_solved;
}

}  // namespace

int pgsolve_main(int argc, char** argv) {
  Options o;
  const std::string mistake = parse_options(argc, argv, o);
  if (!mistake.empty()) {
    std::cerr << "pgsolve: " << mistake << " (see pgsolve --help)" << std::endl;
    return status_usage;
  }
  switch (o.action) {
    case Options::Action::help:
      std::cout << help_text() << std::flush;
      return status_solved;
    case Options::Action::version:
      std::cout << "pgsolve 1.0 (" << backend_name << " backend; compressed input: " << supported_compression() << ")"
                << std::endl;
      return status_solved;
    case Options::Action::list_algorithms:
      print_algorithm_table(std::cout);
      std::cout << auto_row << std::endl;
      return status_solved;
    default:
      break;
  }
#ifdef PG_HOST_BACKEND
  if (o.threads > 0) hostrt::set_worker_threads(o.threads);
#endif

  Watchdog watchdog(o.timeout);
  TimeList list;
  list.restart();
  LoadedGame loaded;
  bool read = false;
  std::string failure = guarded([&] {
    read = load_game_quickly(o.game, loaded) || load_game(read_game_text(o.game), loaded);
  });
  if (!failure.empty()) return fail(failure);
  if (!read) return fail("no game read from " + game_name(o));
  list.add("reading took: ");

  if (o.action == Options::Action::check) return check_solution(o, loaded, list);
  return solve(o, loaded, list, watchdog);
}
