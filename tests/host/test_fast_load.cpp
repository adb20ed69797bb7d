// The quick road of loading (FastGameLoad) against the full reader and
// conversion: the same arrays on every generator family, written in several
// ways and parsed in several pieces, and on every malformed file the same
// messages, because the quick road declines them all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "generators.h"
#include "host/fast_load.h"
#include "host/number_scan.h"
#include "host/parity_game.h"
#include "test_game.h"

namespace {

// Everything a loaded ParityGame holds.
struct Csr {
  std::vector<uint32_t> header;  // n_nodes, n_edges, min/max colour, max degrees
  std::vector<uint32_t> node_id, color, owner, n_succ, n_pred, succ_begin, pred_begin, succ_array, pred_array;
  bool operator==(const Csr& o) const {
    return header == o.header && node_id == o.node_id && color == o.color && owner == o.owner &&
           n_succ == o.n_succ && n_pred == o.n_pred && succ_begin == o.succ_begin && pred_begin == o.pred_begin &&
           succ_array == o.succ_array && pred_array == o.pred_array;
  }
};

template <class T>
std::vector<uint32_t> words(const T* p, std::size_t count) {
  return p == nullptr ? std::vector<uint32_t>() : std::vector<uint32_t>(p, p + count);
}

Csr csr_of(const ParityGame& g) {
  const std::size_t n = g.n_nodes, m = g.n_edges;
  const std::size_t rows = g.succ_begin == nullptr ? 0 : n + 1;
  return Csr{{g.n_nodes, g.n_edges, g.min_color, g.max_color, g.max_n_succ, g.max_n_pred},
             words(g.node_id, n), words(g.color, n), words(g.owner, n), words(g.n_succ, n), words(g.n_pred, n),
             words(g.succ_begin, rows), words(g.pred_begin, rows), words(g.succ_array, m), words(g.pred_array, m)};
}

// What one road made of a file: the arrays, standard error and a thrown text.
struct Outcome {
  Csr csr;
  std::string err;
  std::string thrown;
};

template <class Load>
Outcome outcome_of(const Load& load) {
  ParityGame game;
  testing::internal::CaptureStderr();
  std::string thrown;
  try {
    load(game);
  } catch (const std::string& message) {
    thrown = message;
  }
  const std::string err = testing::internal::GetCapturedStderr();
  return Outcome{csr_of(game), err, thrown};
}

// The quick road alone, in a given number of pieces; false where it declines.
bool load_in_pieces(ParityGame& game, const std::string& path, unsigned int pieces) {
  FastGameLoad fast;
  if (!fast.read(path, pieces)) return false;
  game.allocate(fast.n_nodes, fast.n_edges);
  game.min_color = fast.min_color;
  game.max_color = fast.max_color;
  CsrTarget target{game.node_id,    game.color,      game.owner,      game.n_succ, game.n_pred,
                   game.succ_begin, game.pred_begin, game.succ_array, game.pred_array, 0, 0};
  fast.fill(target);
  game.max_n_succ = target.max_n_succ;
  game.max_n_pred = target.max_n_pred;
  return true;
}

const unsigned int piece_counts[] = {1, 2, 3, 7};

// load() says and makes exactly what the full reader says and makes; where
// the quick road takes the file, in any number of pieces, it makes the same
// arrays, and it declines every file that the full reader has words for.
// Returns whether the quick road took the file in one piece.
bool expect_roads_agree(const std::string& path) {
  const Outcome full = outcome_of([&](ParityGame& g) { g.load_with_full_reader(path); });
  const Outcome load = outcome_of([&](ParityGame& g) { g.load(path); });
  EXPECT_EQ(load.err, full.err);
  EXPECT_EQ(load.thrown, full.thrown);
  // After a refusal the arrays hold what the conversion wrote before it
  // stopped: only their sizes are defined.
  if (full.thrown.empty()) {
    EXPECT_TRUE(load.csr == full.csr);
  } else {
    EXPECT_EQ(load.csr.header, full.csr.header);
  }
  const bool silent = full.err.empty() && full.thrown.empty();
  bool taken_whole = false;
  for (unsigned int pieces : piece_counts) {
    SCOPED_TRACE("pieces " + std::to_string(pieces));
    ParityGame quick;
    testing::internal::CaptureStderr();
    const bool taken = load_in_pieces(quick, path, pieces);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the quick road never speaks";
    if (pieces == 1) taken_whole = taken;
    if (!silent) {
      EXPECT_FALSE(taken) << "a file with a message must go to the full reader";
    }
    if (taken) {
      EXPECT_TRUE(csr_of(quick) == full.csr);
    }
  }
  return taken_whole;
}

// Numbers as strtoul reads them with a 32-bit unsigned long: saturated above
// 4294967295, negated modulo 2^32, C white space skipped first.
TEST(FastLoad, NumbersReadAsStrtoulWould) {
  struct Case {
    const char* text;
    bool found;
    uint32_t value;
    std::size_t consumed;
  };
  const Case cases[] = {{"0;", true, 0, 1},           {"4294967295,", true, 4294967295u, 10},
                        {"4294967296", true, 4294967295u, 10}, {"12345678901234", true, 4294967295u, 14},
                        {"00004294967295", true, 4294967295u, 14}, {"00000000000000000042", true, 42, 20},
                        {"0000000004294967296", true, 4294967295u, 19}, {"-1", true, 4294967295u, 2},
                        {"-4294967295", true, 1, 11}, {"-4294967296", true, 4294967295u, 11},
                        {"+7 ", true, 7, 2},          {"\v\f \t\r\n12", true, 12, 8},
                        {"x", false, 0, 0},           {"-", false, 0, 0},
                        {"- 1", false, 0, 0},         {";", false, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const char* end = c.text;
    uint32_t value = 0;
    EXPECT_EQ(read_number(c.text, &end, &value), c.found);
    if (!c.found) continue;
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(static_cast<std::size_t>(end - c.text), c.consumed);
  }
}

// ------------------------------------------------------------ generated games

// How a game is written: identifiers, separators, line ends and names.
struct Style {
  const char* name;
  bool header;
  bool shuffled_ids;   // sparse identifiers in a scrambled order
  const char* comma;   // between successors
  const char* line_end;
  bool names;
};

std::string write_game(const pggen::Game& g, const Style& style) {
  const uint32_t n = g.size();
  std::vector<uint32_t> id(n);
  std::iota(id.begin(), id.end(), 0u);
  if (style.shuffled_ids) {
    pggen::Rng rng(n);
    for (uint32_t i = n; i > 1; --i) std::swap(id[i - 1], id[rng.below(i)]);
    for (uint32_t& x : id) x = x * 7919u + 13u;
  }
  std::string text = style.header ? "parity " + std::to_string(n - 1) + ";" + style.line_end : "";
  for (uint32_t v = 0; v < n; ++v) {
    text += std::to_string(id[v]) + ' ' + std::to_string(g.color[v]) + ' ' + std::to_string(g.owner[v]) + ' ';
    for (uint32_t k = g.succ_begin[v]; k < g.succ_begin[v + 1]; ++k) {
      if (k != g.succ_begin[v]) text += style.comma;
      text += std::to_string(id[g.succ[k]]);
    }
    if (style.names) text += " \"node " + std::to_string(v) + " of a game with a rather long name\"";
    text += ';';
    text += style.line_end;
  }
  return text;
}

const Style styles[] = {
    {"pggen", true, false, ",", "\n", false},
    {"crlf_names", true, false, ", ", "\r\n", true},
    {"sparse_ids_no_header", false, true, " ", "\n", false},
};

struct Family {
  const char* name;
  pggen::Game game;
};

std::vector<Family> families() {
  return {{"random", pggen::random_game(3000, 50, 1, 6, 11)},
          {"steady", pggen::steady_game(2500, 40, 2, 5, 12)},
          {"ladder", pggen::ladder_game(1500)},
          {"recursive_ladder", pggen::recursive_ladder_game(300)},
          {"jurdzinski", pggen::jurdzinski_game(6, 40)},
          {"clique", pggen::clique_game(60)},
          {"sccs", pggen::scc_game(3000, 100, 30, 13)}};
}

TEST(FastLoad, EveryFamilyInEveryStyleGivesTheFullReadersArrays) {
  for (const Family& family : families()) {
    for (const Style& style : styles) {
      SCOPED_TRACE(std::string(family.name) + " " + style.name);
      const std::string path = write_temp_file(write_game(family.game, style), "fast");
      EXPECT_TRUE(expect_roads_agree(path)) << "the quick road should take a generated game";
    }
  }
}

// --------------------------------------------------------------- other files

struct Text {
  const char* name;
  std::string bytes;
  bool quick;  // whether the quick road should take it
};

void PrintTo(const Text& t, std::ostream* out) { *out << t.name; }

class FastLoadOn : public testing::TestWithParam<Text> {};

TEST_P(FastLoadOn, ItAgreesWithTheFullReader) {
  const Text& t = GetParam();
  EXPECT_EQ(expect_roads_agree(write_temp_file(t.bytes, "fast")), t.quick);
}

// One description longer than the chunks the quick road reads at a time.
std::string longer_than_a_chunk() {
  std::string text = "parity 1;\n0 2 0 ";
  for (int i = 0; i < 300000; ++i) text += (i % 2 == 0) ? "0," : "1 ";
  return text + " \"" + std::string(700000, 'n') + "\";\n1 3 1 1;\n";
}

std::string long_successor_list() {
  std::string text = "0 2 0 ";
  for (int i = 0; i < 200000; ++i) text += (i % 2 == 0) ? "0," : "1,";
  return text + ";\n1 3 1 1;\n";
}

// The files of the bad-input matrix (tests/programs/test_bad_input.cpp),
// then the reader's own corner cases.
INSTANTIATE_TEST_SUITE_P(
    BadInputMatrix, FastLoadOn,
    testing::Values(
        Text{"Empty", "", false}, Text{"OnlyAHeader", "parity 3;", false},
        Text{"OnlyAHeaderAndLines", "parity 3;\n\n", false}, Text{"OnlyWhiteSpace", "  \n\t \r\n", false},
        Text{"Png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), false},
        Text{"JunkAfterADescription", std::string("0 1 0 0;\n\x7f" "ELF\x02\x01", 14), false},
        Text{"TruncatedLast", "parity 2;\n0 2 0 1;\n1 3 1", false}, Text{"TruncatedComma", "0 2 0 1,", false},
        Text{"TruncatedName", "0 2 0 1 \"name", false}, Text{"TruncatedOwner", "0 2", false},
        Text{"TruncatedColour", "0 2 0 1;\n5", false}, Text{"HeaderWithoutSemicolon", "parity 4", false},
        Text{"NegativeSuccessor", "0 +2 0 -1;\n", false}, Text{"NegativeOwner", "0 2 -1 0;\n", false},
        Text{"LoneMinus", "0 2 0 - 1;\n", false}, Text{"PlusSigns", "+0 +2 +0 +0;\n", true},
        Text{"HugeColour", "0 4294967296 0 0;\n", false}, Text{"HugeOwner", "0 2 4294967296 0;\n", false},
        Text{"HugeIdAndSuccessor", "99999999999999999999 3 0 4294967296;\n", true},
        Text{"OwnerTwo", "0 2 2 0;\n", false}, Text{"Colour32768", "0 2 0 1;\n1 32768 1 0;\n", false},
        Text{"Colour32767", "0 32767 0 0;\n", true},
        Text{"ZeroByte", std::string("0 2 0 1;\n1 3 1 0;\0" "2 4 0 7;\n", 27), false},
        Text{"ZeroByteInADescription", std::string("0 2 0 1;\n1 3\0 1 0;\n", 19), false},
        Text{"LongSuccessorList", long_successor_list(), true},
        Text{"UndefinedSuccessor", "parity 1;\n0 2 0 1;\n1 3 1 0,7;\n", false},
        Text{"Redefinition", "0 2 0 0;\n0 3 1 0;\n", false},
        Text{"DeadEnd", "0 2 0 1;\n1 3 1 \"no moves\";\n", false}, Text{"TwoCommas", "0 1 0 1,,2;\n", false}));

INSTANTIATE_TEST_SUITE_P(
    ReaderCorners, FastLoadOn,
    testing::Values(
        Text{"HeaderNotExamined", "parityX;0 1 0 1,2;\n1 2 1 2;\n2 3 0 0,2;\n", true},
        Text{"HeaderAfterWhiteSpace", " parity 1;\n0 1 0 0;\n", false},
        Text{"NameWithQuoteInside", "0 1 0 1,2 \"a \"b\" c\";\n1 0 0 1;\n2 0 1 2;\n", true},
        Text{"NameWithSemicolonInside", "0 1 0 1 \"a;1 3 1 0 \"b\";\n", true},
        Text{"NameRightAfterNumber", "0 1 0 1,2\"zero\";1 0 0 1;2 0 1 2;", true},
        Text{"TrailingComma", "0 1 0 1 , 2 ,;\n1 0 0 1;\n2 0 1 2;\n", true},
        Text{"VerticalTabBeforeANumber", "0 1 0 \v1;\n1 0 0 \f0;\n", true},
        Text{"VerticalTabBeforeTheEnd", "0 1 0 1 \v;\n1 0 0 0;\n", false},
        Text{"LeadingZeros", "00000000000000000001 1 0 0000000000000000000001;\n", true},
        Text{"LeadingZerosThenTooLarge", "000000000004294967296 1 0 4294967295;\n", true},
        Text{"LeadingZerosUndefined", "000000000000000000000 1 0 00000000000000000000000000001;\n", false},
        Text{"LongerThanAChunk", longer_than_a_chunk(), true},
        Text{"LongHeader", "parity " + std::string(5000, 'x') + ";\n0 1 0 0;\n1 1 1 0;\n", true},
        Text{"SuccessorJustPastTheLastIndex", "0 1 0 0;\n1 1 0 2;\n", false},
        Text{"SelfLoopsAndDuplicates", "5 1 0 5,5,9;\n9 2 1 5;\n", true},
        Text{"DescriptionAfterTheLastSemicolon", "0 1 0 0;\n1 1 0 0", false},
        Text{"WhiteSpaceAfterTheLastSemicolon", "0 1 0 0;\n \r\n\t", true},
        Text{"PredecessorsInResolutionOrder", "0 1 0 3;\n1 1 0 3;\n2 1 0 3,3;\n3 1 1 0,1,2;\n", true}));

}  // namespace
