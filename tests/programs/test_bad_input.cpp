// Malformed and hostile input files, run through the delivered programs and
// the range solver's program as processes: every case ends with the defined messages on the defined
// streams, complete time reports and exit status 1 (0 where the game is solved).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_runner.h"
#include "test_game.h"

namespace {

std::string binary(const std::string& name) { return std::string(PG_BIN_DIR) + "/" + name; }

// What a program prints around a game, by road.
struct Program {
  std::string name;
  std::string banner;       // standard output, before the report
  std::string report;       // the time report of a completed solve, masked
  // Standard error between the reader's messages and the report for a game
  // of zero nodes.
  std::string empty_game_err;
};

const char* const spm_report =
    "time 1 : \n<t>\n"
    "setting up gpu_arena took: <t>\n"
    "initializing device memory took: <t>\n"
    "Init phase took: <t>\n"
    "recursive iteration took : <t>\n"
    "releasing device memory took: <t>\n"
    "Total time: <t>\n";

const char* const arena_report =
    "time 1 : \n<t>\n"
    "setting up gpu_arena took: <t>\n"
    "initializing device memory took: <t>\n"
    "solving took : <t>\n"
    "releasing device memory took: <t>\n"
    "Total time: <t>\n";

const Program korrel{"Korrel", "\n --> Using simple SPM without wl <-- \n\n", spm_report,
                     "Nodes: 0\nThere are 0 nodes of color rank 1\n"
                     "Going to use a block size of 256 for the spm kernel\n\n"};
const Program vantor{"Vantor", "\n --> recursive with cudaGpuArena <-- \n\n", arena_report, "Nodes: 0\n"};
// The range solver prints no banner, and its regions by file identifier.
const Program range_spm{"pgsolver_range_spm", "",
                        "time 1 : \n<t>\n"
                        "setting up gpu_arena took: <t>\n"
                        "preprocessing took: <t>\n"
                        "solving took: <t>\n"
                        "Total time: <t>\n",
                        "Nodes: 0\n"};
const Program* const programs[] = {&korrel, &vantor, &range_spm};

// Regions as the arena prints them, by identifier.
std::string arena_regions(const std::string& even, const std::string& odd) {
  return "Nodes won by Even: \n\n" + even + "\n\nNodes won by Odd: \n\n" + odd +
         "\n\nThis should be empty: \n\n\n\n";
}

const char* const empty_regions = "Won by Even:\n\n\nWon by Odd:\n\n\n";
// After a failure thrown by the conversion, before any device work.
const char* const load_failure_report = "time 1 : \n<t>\nTotal time: <t>\n";

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome run(const Program& p, const std::string& path) {
  const ProgramResult r = run_program(binary(p.name), {path});
  return Outcome{r.exit_status, mask_times(r.out), mask_times(r.err)};
}

std::string file_with(const std::string& bytes) { return write_temp_file(bytes); }

// The reader rejects the file: its message (and echo) on standard error, then
// the run goes on with a game of zero nodes.
void expect_rejected_by_reader(const std::string& path, const std::string& reader_err) {
  for (const Program* p : programs) {
    SCOPED_TRACE(p->name);
    const Outcome o = run(*p, path);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, p->banner + p->report + (p == &range_spm ? arena_regions("", "") : empty_regions));
    EXPECT_EQ(o.err, reader_err + p->empty_game_err + p->report);
  }
}

// The conversion refuses the game: one caught message, nothing on standard output.
void expect_refused_by_conversion(const std::string& path, const std::string& message) {
  for (const Program* p : programs) {
    SCOPED_TRACE(p->name);
    const Outcome o = run(*p, path);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "Caught exception: " + message + "\n" + load_failure_report);
  }
}

// A game that loads and is solved. Korrel also prints its colour renumbering
// (standard output) and rank counts (standard error); the range solver
// prints the regions by identifier.
struct Solved {
  unsigned n_nodes;
  std::string color_lines;
  std::string rank_lines;
  std::string regions;
  std::string regions_by_id;
};

void expect_solved(const std::string& path, const Solved& s) {
  const std::string nodes = "Nodes: " + std::to_string(s.n_nodes) + "\n";
  {
    SCOPED_TRACE("Korrel");
    const Outcome o = run(korrel, path);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, korrel.banner + s.color_lines + korrel.report + s.regions);
    EXPECT_EQ(o.err, nodes + s.rank_lines + "Going to use a block size of 256 for the spm kernel\n\n" + korrel.report);
  }
  {
    SCOPED_TRACE("Vantor");
    const Outcome o = run(vantor, path);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, vantor.banner + vantor.report + s.regions);
    EXPECT_EQ(o.err, nodes + vantor.report);
  }
  {
    SCOPED_TRACE("pgsolver_range_spm");
    const Outcome o = run(range_spm, path);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, range_spm.report + s.regions_by_id);
    EXPECT_EQ(o.err, nodes + range_spm.report);
  }
}

const char* const no_nodes = "ERROR: no nodes defined.\n";
const char* const id_missing = "ERROR: expected node id as first number in node description.\n";
const char* const color_missing = "ERROR: expected color as second number in node description.\n";
const char* const owner_missing = "ERROR: expected owner as third number in node description.\n";
const char* const semicolon_missing = "ERROR: expected character: ;\n";
const char* const successor_missing = "ERROR: expected list of successors.\n";

TEST(BadInput, EmptyFile) { expect_rejected_by_reader(file_with(""), std::string(no_nodes) + "\n"); }

TEST(BadInput, OnlyAHeader) {
  expect_rejected_by_reader(file_with("parity 3;"), std::string(no_nodes) + "parity 3;\n");
  expect_rejected_by_reader(file_with("parity 3;\n\n"), std::string(no_nodes) + "parity 3;\n\n\n");
}

TEST(BadInput, OnlyWhiteSpace) {
  expect_rejected_by_reader(file_with("  \n\t \r\n"), std::string(no_nodes) + "  \n\t \r\n\n");
}

TEST(BadInput, BinaryJunk) {
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  expect_rejected_by_reader(file_with(png), std::string(id_missing) + "\n");
  // Junk after a good description: the echo starts where that description ended.
  expect_rejected_by_reader(file_with(std::string("0 1 0 0;\n\x7f" "ELF\x02\x01", 14)),
                            std::string(id_missing) + "\n");
}

TEST(BadInput, ADirectory) {
  const std::string dir = testing::TempDir();
  expect_rejected_by_reader(dir, "Couldn't open file " + dir + "\n");
}

TEST(BadInput, APathThatDoesNotExist) {
  expect_rejected_by_reader("/nonexistent/dir/game.pg", "Couldn't open file /nonexistent/dir/game.pg\n");
}

TEST(BadInput, TruncatedDescriptions) {
  expect_rejected_by_reader(file_with("parity 2;\n0 2 0 1;\n1 3 1"), std::string(semicolon_missing) + "1 3 1\n");
  expect_rejected_by_reader(file_with("0 2 0 1,"), std::string(semicolon_missing) + "0 2 0 1,\n");
  expect_rejected_by_reader(file_with("0 2 0 1 \"name"), std::string(semicolon_missing) + "0 2 0 1 \"\n");
  expect_rejected_by_reader(file_with("0 2"), std::string(owner_missing) + "0 2\n");
  expect_rejected_by_reader(file_with("0 2 0 1;\n5"), std::string(color_missing) + "5\n");
  expect_rejected_by_reader(file_with("parity 4"), std::string(semicolon_missing) + "parity\n");
}

TEST(BadInput, NumbersWithSigns) {
  // A minus sign negates modulo 2^32: -1 names node 4294967295.
  expect_rejected_by_reader(file_with("0 +2 0 -1;\n"), "ERROR: node 0 has undefined successor 4294967295\n");
  expect_rejected_by_reader(file_with("0 2 -1 0;\n"), std::string(owner_missing) + "0 2 \n");
  expect_rejected_by_reader(file_with("0 2 0 - 1;\n"), std::string(successor_missing) + "0 2 0 \n");
  // Plus signs are read as nothing at all.
  expect_solved(file_with("+0 +2 +0 +0;\n"),
                Solved{1, "Color 2 becomes  2.\n", "There are 1 nodes of color rank 1\n",
                       "Won by Even:\n0, \n\nWon by Odd:\n\n\n", arena_regions("0, ", "")});
}

TEST(BadInput, ValuesAboveTheLargest32BitNumber) {
  // They read as 4294967295, the largest value.
  expect_refused_by_conversion(file_with("0 4294967296 0 0;\n"), "color exceeds size of unsigned short");
  expect_rejected_by_reader(file_with("0 2 4294967296 0;\n"), std::string(owner_missing) + "0 2 \n");
  // Identifier and successor both saturate, so the node lists itself.
  expect_solved(file_with("99999999999999999999 3 0 4294967296;\n"),
                Solved{1, "Color 3 becomes  3.\n", "There are 1 nodes of color rank 1\n",
                       "Won by Even:\n\n\nWon by Odd:\n0, \n\n", arena_regions("", "4294967295, ")});
}

TEST(BadInput, OwnerTwo) {
  expect_rejected_by_reader(file_with("0 2 2 0;\n"), std::string(owner_missing) + "0 2 \n");
}

TEST(BadInput, ColourAboveTheLimit) {
  expect_refused_by_conversion(file_with("0 2 0 1;\n1 32768 1 0;\n"), "color exceeds size of unsigned short");
  // The largest colour accepted.
  expect_solved(file_with("0 32767 0 0;\n"), Solved{1, "Color 32767 becomes  3.\n",
                                                    "There are 1 nodes of color rank 1\n",
                                                    "Won by Even:\n\n\nWon by Odd:\n0, \n\n",
                                                    arena_regions("", "0, ")});
}

TEST(BadInput, AZeroByteEndsTheText) {
  // Whatever follows the zero byte is never read.
  expect_solved(file_with(std::string("0 2 0 1;\n1 3 1 0;\0" "2 4 0 7;\n", 27)),
                Solved{2, "Color 3 becomes  3.\nColor 2 becomes  4.\n",
                       "There are 1 nodes of color rank 1\nThere are 1 nodes of color rank 2\n",
                       "Won by Even:\n\n\nWon by Odd:\n0, 1, \n\n", arena_regions("", "0, 1, ")});
  expect_rejected_by_reader(file_with(std::string("0 2 0 1;\n1 3\0 1 0;\n", 19)),
                            std::string(owner_missing) + "1 3\n");
}

TEST(BadInput, AnExtremelyLongSuccessorList) {
  // Node 0 (Even) may stay on its own even colour; node 1 (Odd) loops on an
  // odd one. 200,000 successors, alternating 0 and 1, on one node.
  std::string text = "0 2 0 ";
  for (int i = 0; i < 200000; ++i) text += (i % 2 == 0) ? "0," : "1,";
  text += ";\n1 3 1 1;\n";
  expect_solved(file_with(text), Solved{2, "Color 3 becomes  3.\nColor 2 becomes  4.\n",
                                        "There are 1 nodes of color rank 1\nThere are 1 nodes of color rank 2\n",
                                        "Won by Even:\n0, \n\nWon by Odd:\n1, \n\n",
                                        arena_regions("0, ", "1, ")});
}

TEST(BadInput, AnUndefinedSuccessor) {
  expect_rejected_by_reader(file_with("parity 1;\n0 2 0 1;\n1 3 1 0,7;\n"),
                            "ERROR: node 1 has undefined successor 7\n");
}

TEST(BadInput, ARedefinition) {
  expect_rejected_by_reader(file_with("0 2 0 0;\n0 3 1 0;\n"), "ERROR: redefinition of a node.\n0 3 1 \n");
}

TEST(BadInput, ADeadEnd) {
  expect_refused_by_conversion(file_with("0 2 0 1;\n1 3 1 \"no moves\";\n"),
                               "We have a dead end after preprocessing ...");
}

TEST(BadInput, TwoCommasInARow) {
  expect_rejected_by_reader(file_with("0 1 0 1,,2;\n"), std::string(successor_missing) + "0 1 0 1,\n");
}

}  // namespace
