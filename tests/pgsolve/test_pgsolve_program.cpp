// The pgsolve program as a process: every algorithm of the table on every
// generator family, colours of any size, compressed and piped input, and the
// exit status of each way a run can go wrong.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cudaPGSolver/algorithms.h"
#include "pgsolve_test_support.h"
#include "random_game.h"
#include "reference_solver.h"

namespace {

struct Family {
  std::string name;
  TestGame game;
};

// Every generator family, and the tests' random games with shuffled and with
// sparse identifiers (the solution names nodes by identifier).
std::vector<Family> families() {
  std::vector<Family> list = {
      {"random", from_generated(pggen::random_game(60, 8, 1, 3, 11))},
      {"random sparse colours", from_generated(pggen::random_game(50, 40, 1, 2, 12))},
      {"steady", from_generated(pggen::steady_game(60, 6, 2, 4, 13))},
      {"ladder", from_generated(pggen::ladder_game(20))},
      {"recursive ladder", from_generated(pggen::recursive_ladder_game(4))},
      {"solitaire", from_generated(pggen::solitaire_game(5))},
      {"odd ladder", from_generated(pggen::odd_ladder_game(6))},
      {"jurdzinski", from_generated(pggen::jurdzinski_game(2, 3))},
      {"clique", from_generated(pggen::clique_game(7))},
      {"scc", from_generated(pggen::scc_game(80, 9, 6, 14))},
  };
  for (IdMode ids : {IdMode::shuffled, IdMode::sparse}) {
    RandomGameParams p;
    p.n_nodes = 70;
    p.max_color = 6;
    p.max_out = 3;
    p.self_loop_probability = 0.2;
    p.ids = ids;
    p.seed = 15 + static_cast<uint64_t>(ids);
    list.push_back({describe(p), random_game(p)});
  }
  return list;
}

// Solves with the algorithm, writes and verifies the solution, checks the
// written file again with --check, and compares the winners with the
// reference solver's.
// The algorithm is a row's name or "auto", whose racers both give strategies.
void expect_solved_and_verified(const std::string& name, Strategies strategies, const std::string& path,
                                const TestGame& game, const std::vector<uint8_t>& expected) {
  const std::string solution = write_temp_file("", "solution");
  const ProgramResult r = run_pgsolve({"-a", name, "--verify", "-o", solution, path});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  // A solver that the table says yields strategies needs no completion.
  if (strategies == Strategies::both) {
    EXPECT_EQ(r.err.find("strategies of"), std::string::npos) << r.err;
  }
  EXPECT_NE(r.err.find("; verified\n"), std::string::npos) << r.err;
  std::ifstream in(solution);
  std::stringstream text;
  text << in.rdbuf();
  const auto winners = solution_winners(text.str());
  ASSERT_EQ(winners.size(), expected.size());
  for (uint32_t v = 0; v < expected.size(); ++v) EXPECT_EQ(winners.at(game.id[v]), expected[v]) << "node " << v;
  const ProgramResult check = run_pgsolve({"--check", solution, path});
  EXPECT_EQ(check.exit_status, 0) << check.err;
  EXPECT_EQ(check.err, "pgsolve: the solution in " + solution + " holds\n");
}

// One test per family, so that each stays short under the sanitizers too.
class EveryFamily : public testing::TestWithParam<std::size_t> {};

TEST_P(EveryFamily, EveryAlgorithmGivesAVerifiedSolution) {
  const Family f = families().at(GetParam());
  const std::vector<uint8_t> expected = reference_solve(f.game);
  const std::string path = write_temp_file(to_pgsolver(f.game));
  for (const Algorithm* a = algorithms_begin(); a != algorithms_end(); ++a) {
    SCOPED_TRACE(f.name + ", " + a->name);
    expect_solved_and_verified(a->name, a->strategies, path, f.game, expected);
  }
  SCOPED_TRACE(f.name + ", auto");
  expect_solved_and_verified("auto", Strategies::both, path, f.game, expected);
}

INSTANTIATE_TEST_SUITE_P(Pgsolve, EveryFamily, testing::Range<std::size_t>(0, families().size()));

// A ladder whose every node has its own colour, up to 2^32 - 1: Even's rail
// holds the small even colours, Odd's the largest odd ones. Each player wins
// its own rail.
TEST(Pgsolve, ColoursUpToTheLargest32BitValueAreSolvedAndVerified) {
  const uint32_t rungs = 300;
  TestGame g;
  std::vector<uint8_t> expected;
  for (uint32_t v = 0; v < 2 * rungs; ++v) {
    const uint32_t colour = v % 2 == 0 ? 2 * v : 4294967295u - (v - 1);
    g.add_node(colour, v % 2, {(v + 1) % (2 * rungs), (v + 2) % (2 * rungs)});
    expected.push_back(v % 2);
  }
  const std::string path = write_temp_file(to_pgsolver(g));
  for (const Algorithm* a = algorithms_begin(); a != algorithms_end(); ++a) {
    SCOPED_TRACE(a->name);
    expect_solved_and_verified(a->name, a->strategies, path, g, expected);
  }
}

// Gzip (also in two members), bzip2 and standard input give the very bytes of
// the plain file's solution (with one solver: under auto the first of two
// racers answers, and their strategies may differ).
TEST(Pgsolve, CompressedAndPipedInputGiveTheSameSolution) {
  const std::string text = pggen::to_pgsolver(pggen::random_game(300, 20, 1, 4, 21));
  const std::string plain = write_temp_file(text);
  const ProgramResult reference = run_pgsolve({"-a", "zielonka", "-p", "-q", plain});
  ASSERT_EQ(reference.exit_status, 0) << reference.err;
  ASSERT_EQ(reference.out.compare(0, 10, "paritysol "), 0);

  const std::string half = write_temp_file(text.substr(0, text.size() / 2));
  const std::string rest = write_temp_file(text.substr(text.size() / 2));
  const std::string gz = write_temp_file(compressed_with("gzip", plain));
  const std::string bz2 = write_temp_file(compressed_with("bzip2", plain));
  const std::string two_members = write_temp_file(compressed_with("gzip", half) + compressed_with("gzip", rest));
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string input;
  } runs[] = {
      {"gzip", {"-a", "zielonka", "-p", "-q", gz}, "/dev/null"},
      {"gzip members", {"-a", "zielonka", "-p", "-q", two_members}, "/dev/null"},
      {"bzip2", {"-a", "zielonka", "-p", "-q", bz2}, "/dev/null"},
      {"standard input", {"-a", "zielonka", "-p", "-q"}, plain},
      {"dash", {"-a", "zielonka", "-p", "-q", "-"}, plain},
      {"bzip2 piped", {"-a", "zielonka", "-p", "-q"}, bz2},
      {"one worker thread", {"-a", "zielonka", "-p", "-q", "-t", "1", gz}, "/dev/null"},
  };
  for (const auto& run : runs) {
    const ProgramResult r = run_pgsolve(run.args, run.input);
    EXPECT_EQ(r.exit_status, 0) << run.name << ": " << r.err;
    EXPECT_EQ(r.out, reference.out) << run.name;
  }
}

struct Mistake {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string err;  // the whole of standard error
  std::string input = "/dev/null";
};

// Every run that cannot give a solution: the status, one message line, and
// nothing on standard output.
TEST(Pgsolve, EveryMistakeHasItsMessageAndStatus) {
  const std::string game = write_temp_file("parity 1;\n0 2 0 0;\n1 1 1 1;\n");
  const std::string truncated_gz = write_temp_file(compressed_with("gzip", game).substr(0, 20));
  std::string bytes = compressed_with("bzip2", game);
  const std::string truncated_bz2 = write_temp_file(bytes.substr(0, bytes.size() - 8));
  bytes[bytes.size() / 2] ^= 0x55;
  const std::string corrupt_bz2 = write_temp_file(bytes);
  bytes = compressed_with("gzip", game);
  bytes[bytes.size() - 8] ^= 0x7f;  // the check sum of the member
  const std::string corrupt_gz = write_temp_file(bytes);
  const std::string malformed = write_temp_file("0 2 0 1;\n1 x;\n");
  const std::string dead_end = write_temp_file("0 2 0;\n");
  std::string many;
  for (uint32_t c = 0; c <= 32768; ++c)
    many += std::to_string(c) + " " + std::to_string(c) + " 0 " + std::to_string(c) + ";\n";
  const std::string many_colours = write_temp_file(many);
  const std::string hard = write_temp_file(pggen::to_pgsolver(pggen::recursive_ladder_game(24)));
  const std::string wrong_winner = write_temp_file("paritysol 1;\n0 1;\n1 1 1;\n");
  const std::string usage = " (see pgsolve --help)\n";

  const Mistake mistakes[] = {
      {"unknown option", {"--bogus", game}, 2, "pgsolve: unknown option --bogus" + usage},
      {"short option unknown", {"-x"}, 2, "pgsolve: unknown option -x" + usage},
      {"value missing", {game, "-a"}, 2, "pgsolve: option -a needs a value" + usage},
      {"unknown algorithm",
       {"-a", "strategy-iteration", game},
       2,
       "pgsolve: unknown algorithm strategy-iteration (see --list-algorithms)" + usage},
      {"number without a row",
       {"--algorithm=7", game},
       2,
       "pgsolve: unknown algorithm 7 (see --list-algorithms)" + usage},
      {"no threads", {"-t", "0", game}, 2, "pgsolve: option -t needs a positive whole number, not 0" + usage},
      {"timeout not a number",
       {"--timeout", "soon", game},
       2,
       "pgsolve: option --timeout needs a positive number of seconds, not soon" + usage},
      {"value on a flag", {"--print=yes", game}, 2, "pgsolve: option --print takes no value" + usage},
      {"two games", {game, game}, 2, "pgsolve: more than one game given: " + game + " and " + game + usage},
      {"quiet and verbose", {"-q", "-v", game}, 2, "pgsolve: options -q and -v exclude each other" + usage},
      {"check and print",
       {"--check", wrong_winner, "-p", game},
       2,
       "pgsolve: option --check only verifies: it takes no -o, -p or --verify" + usage},
      {"solution not writable",
       {"-o", "/nonexistent/game.sol", game},
       1,
       "pgsolve: cannot write the solution to /nonexistent/game.sol\n"},
      {"missing file",
       {"/nonexistent/game.pg"},
       1,
       "pgsolve: cannot open /nonexistent/game.pg: No such file or directory\n"},
      {"malformed game",
       {malformed},
       1,
       "ERROR: expected color as second number in node description.\n1 \npgsolve: no game read from " + malformed +
           "\n"},
      {"empty standard input", {}, 1, "ERROR: no nodes defined.\n\npgsolve: no game read from standard input\n"},
      {"dead end", {dead_end}, 1, "pgsolve: We have a dead end after preprocessing ...\n"},
      {"too many colours",
       {many_colours},
       1,
       "pgsolve: the game needs 32769 colours after compression, more than the 32768 the solvers hold\n"},
      {"timeout", {"-a", "zielonka", "--timeout", "0.3", hard}, 1, "pgsolve: time limit exceeded, solve abandoned\n"},
      {"solution that does not hold", {"--check", wrong_winner, game}, 1, ""},
      {"piped solution that does not hold", {"--check", "-", game}, 1, "", wrong_winner},
      {"game and solution piped",
       {"--check", "-"},
       2,
       "pgsolve: the game and the solution cannot both come from standard input" + usage},
      {"truncated gzip", {truncated_gz}, 1, "pgsolve: " + truncated_gz + ": truncated gzip data\n"},
      {"corrupt gzip", {corrupt_gz}, 1, ""},
      {"truncated bzip2", {truncated_bz2}, 1, "pgsolve: " + truncated_bz2 + ": truncated bzip2 data\n"},
      {"corrupt bzip2 piped", {}, 1, "pgsolve: standard input: corrupt bzip2 data\n", corrupt_bz2},
  };
  for (const Mistake& m : mistakes) {
    SCOPED_TRACE(m.name);
    const ProgramResult r = run_pgsolve(m.args, m.input);
    EXPECT_EQ(r.exit_status, m.status);
    EXPECT_EQ(r.out, "");
    if (!m.err.empty()) {
      EXPECT_EQ(r.err, m.err);
    } else {  // one line whose wording belongs to the verifier or to zlib
      EXPECT_EQ(r.err.compare(0, 9, "pgsolve: "), 0) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
  }
}

// What was asked for and nothing else: help, version and the table on
// standard output, phase times only with -v.
TEST(Pgsolve, InformationAndReportOptions) {
  const std::string game = write_temp_file("parity 1;\n0 2 0 0;\n1 1 1 1;\n");
  ProgramResult r = run_pgsolve({"--help"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out.compare(0, 32, "Usage: pgsolve [OPTIONS] [GAME]\n"), 0) << r.out;
  r = run_pgsolve({"--version"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out.compare(0, 12, "pgsolve 1.0 "), 0) << r.out;
  r = run_pgsolve({"--list-algorithms"});
  EXPECT_EQ(r.exit_status, 0);
  std::ostringstream table;
  print_algorithm_table(table);
  EXPECT_EQ(r.out, table.str() +
                       "auto: tangle (13) and zielonka-frontier (12) side by side, the first complete answer "
                       "taken (the default)\n");
  EXPECT_NE(r.out.find("\n11     zielonka           Vantor                       arena"), std::string::npos) << r.out;

  r = run_pgsolve({game});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.substr(0, 40), "pgsolve: 2 nodes solved by auto (answere") << r.err;
  EXPECT_NE(r.err.find("): Even wins 1, Odd wins 1\n"), std::string::npos) << r.err;
  r = run_pgsolve({"-v", "-a", "3", game});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("reading took: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Total time: "), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Using simple SPM"), std::string::npos) << r.err;
}

}  // namespace

namespace {

// A recursive ladder of 40 rungs takes Zielonka's algorithm 2^41 calls and
// tangle learning one search: auto must take tangle learning's answer and
// stop Zielonka's at its next check, or the run would never end.
TEST(Pgsolve, AutoTakesTheFirstAnswerAndStopsTheOther) {
  const TestGame game = from_generated(pggen::recursive_ladder_game(40));
  const std::string path = write_temp_file(to_pgsolver(game));
  const ProgramResult r = run_pgsolve({"--verify", path});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "pgsolve: 120 nodes solved by auto (answered by tangle learning): Even wins 120, Odd wins 0; "
                   "verified\n");
}

}  // namespace
