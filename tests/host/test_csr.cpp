#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/csr_conversion.h"
#include "host/game_graph.h"
#include "host/parity_game.h"
#include "test_game.h"

namespace {

template <class T>
std::vector<uint32_t> as_vector(const T* data, std::size_t n) {
  return std::vector<uint32_t>(data, data + n);
}

// Loads the text, keeping standard error (the reader's messages) out of the
// test log; returns the message of a thrown check, or "" when none.
std::string load_text(ParityGame& game, const std::string& text) {
  const std::string path = write_temp_file(text, "csr");
  testing::internal::CaptureStderr();
  std::string thrown;
  try {
    game.load(path);
  } catch (const std::string& message) {
    thrown = message;
  }
  testing::internal::GetCapturedStderr();
  return thrown;
}

void expect_empty_game(const ParityGame& game) {
  EXPECT_EQ(game.n_nodes, 0u);
  EXPECT_EQ(game.n_edges, 0u);
  EXPECT_EQ(game.min_color, 0u);
  EXPECT_EQ(game.max_color, 0u);
  EXPECT_EQ(game.max_n_succ, 0u);
  EXPECT_EQ(game.max_n_pred, 0u);
  EXPECT_EQ(game.color, nullptr);
  EXPECT_EQ(game.owner, nullptr);
  EXPECT_EQ(game.n_succ, nullptr);
  EXPECT_EQ(game.n_pred, nullptr);
  EXPECT_EQ(game.succ_begin, nullptr);
  EXPECT_EQ(game.pred_begin, nullptr);
  EXPECT_EQ(game.succ_array, nullptr);
  EXPECT_EQ(game.pred_array, nullptr);
  EXPECT_EQ(game.node_id, nullptr);
}

std::vector<uint32_t> succ_of(const ParityGame& g, uint32_t v) {
  return as_vector(g.succ_array + g.succ_begin[v], g.n_succ[v]);
}

std::vector<uint32_t> pred_of(const ParityGame& g, uint32_t v) {
  return as_vector(g.pred_array + g.pred_begin[v], g.n_pred[v]);
}

TEST(ParityGameLoad, IndicesFollowFileOrderAndAdjacencyHoldsIndices) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "parity 3;\n10 0 0 5;\n5 1 1 7,10;\n7 2 0 7;\n"), "");
  ASSERT_EQ(game.n_nodes, 3u);
  ASSERT_EQ(game.n_edges, 4u);
  EXPECT_EQ(as_vector(game.node_id, 3), (std::vector<uint32_t>{10, 5, 7}));
  EXPECT_EQ(as_vector(game.color, 3), (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(as_vector(game.owner, 3), (std::vector<uint32_t>{0, 1, 0}));
  EXPECT_EQ(as_vector(game.n_succ, 3), (std::vector<uint32_t>{1, 2, 1}));
  EXPECT_EQ(as_vector(game.succ_begin, 4), (std::vector<uint32_t>{0, 1, 3, 4}));
  EXPECT_EQ(as_vector(game.succ_array, 4), (std::vector<uint32_t>{1, 2, 0, 2}));
  // Resolution order 10->5, 5->7, 5->10, 7->7; each edge goes in front.
  EXPECT_EQ(as_vector(game.n_pred, 3), (std::vector<uint32_t>{1, 1, 2}));
  EXPECT_EQ(as_vector(game.pred_begin, 4), (std::vector<uint32_t>{0, 1, 2, 4}));
  EXPECT_EQ(as_vector(game.pred_array, 4), (std::vector<uint32_t>{1, 0, 2, 1}));
  EXPECT_EQ(game.max_n_succ, 2u);
  EXPECT_EQ(game.max_n_pred, 2u);
  EXPECT_EQ(game.min_color, 0u);
  EXPECT_EQ(game.max_color, 2u);
}

TEST(ParityGameLoad, DuplicateSuccessorIsKeptOnBothSides) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 0 0 1,1;\n1 0 0 0;\n"), "");
  EXPECT_EQ(succ_of(game, 0), (std::vector<uint32_t>{1, 1}));
  EXPECT_EQ(pred_of(game, 1), (std::vector<uint32_t>{0, 0}));
  EXPECT_EQ(game.max_n_pred, 2u);
}

TEST(ParityGameLoad, SelfLoopInOwnSuccessorAndPredecessorRanges) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 0 0 1;\n1 0 1 0,1;\n"), "");
  EXPECT_EQ(succ_of(game, 1), (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(pred_of(game, 1), (std::vector<uint32_t>{1, 0}));
  EXPECT_EQ(pred_of(game, 0), (std::vector<uint32_t>{1}));
}

TEST(ParityGameLoad, PredecessorsInReverseFileOrder) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 0 0 3;\n1 0 0 3;\n2 0 0 3;\n3 0 0 0;\n"), "");
  EXPECT_EQ(pred_of(game, 3), (std::vector<uint32_t>{2, 1, 0}));
  EXPECT_EQ(as_vector(game.pred_begin, 5), (std::vector<uint32_t>{0, 1, 1, 1, 4}));
  EXPECT_EQ(game.max_n_pred, 3u);
}

TEST(ParityGameLoad, ColourBoundsAreTheExtremes) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 3 0 1;\n1 8 1 2;\n2 5 0 0;\n"), "");
  EXPECT_EQ(game.min_color, 3u);
  EXPECT_EQ(game.max_color, 8u);
}

TEST(ParityGameLoad, LargestAcceptedColour) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 32767 1 0;\n"), "");
  EXPECT_EQ(game.color[0], 32767u);
  EXPECT_EQ(game.max_color, 32767u);
}

TEST(ParityGameLoad, ColoursAbove32767AreRejected) {
  // 2147483648 doubles to 0 in 32 bits: the bound must not rely on doubling.
  for (const char* colour : {"32768", "65535", "2147483648", "4294967295", "-1"}) {
    ParityGame game;
    EXPECT_EQ(load_text(game, std::string("0 1 0 1;\n1 ") + colour + " 0 0;\n"),
              "color exceeds size of unsigned short")
        << colour;
  }
}

TEST(ParityGameLoad, DeadEndIsRejected) {
  ParityGame game;
  EXPECT_EQ(load_text(game, "0 1 0 1;\n1 2 1;\n"), "We have a dead end after preprocessing ...");
}

TEST(ParityGameLoad, ColourIsCheckedBeforeDeadEnd) {
  ParityGame game;
  EXPECT_EQ(load_text(game, "0 40000 0;\n"), "color exceeds size of unsigned short");
}

TEST(ParityGameLoad, FailedCheckLeavesArraysOwnedByTheGame) {
  ParityGame game;
  ASSERT_NE(load_text(game, "0 1 0 1;\n1 2 1;\n"), "");
  EXPECT_EQ(game.n_nodes, 2u);
  EXPECT_NE(game.succ_begin, nullptr);
  game.release();
  expect_empty_game(game);
}

TEST(ParityGameLoad, UnreadableFileGivesEmptyGameWithoutException) {
  ParityGame game;
  const std::string path = testing::TempDir() + "/no-such-dir/none.gm";
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(game.load(path));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Couldn't open file " + path + "\n");
  EXPECT_EQ(game.n_nodes, 0u);
  EXPECT_EQ(game.n_edges, 0u);
  ASSERT_NE(game.succ_begin, nullptr);
  ASSERT_NE(game.pred_begin, nullptr);
  EXPECT_EQ(game.succ_begin[0], 0u);
  EXPECT_EQ(game.pred_begin[0], 0u);
}

TEST(ParityGameLoad, RejectedFileGivesEmptyGame) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 1 0 1;\n"), "");  // undefined successor
  EXPECT_EQ(game.n_nodes, 0u);
  EXPECT_EQ(game.n_edges, 0u);
  EXPECT_EQ(game.succ_begin[0], 0u);
  EXPECT_EQ(game.pred_begin[0], 0u);
}

TEST(ParityGameLoad, LoadReplacesEarlierGame) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 4 0 1,2;\n1 6 1 0;\n2 5 0 2;\n"), "");
  ASSERT_EQ(load_text(game, "9 2 1 9;\n"), "");
  EXPECT_EQ(game.n_nodes, 1u);
  EXPECT_EQ(game.n_edges, 1u);
  EXPECT_EQ(game.node_id[0], 9u);
  EXPECT_EQ(game.min_color, 2u);
  EXPECT_EQ(game.max_color, 2u);
  EXPECT_EQ(game.max_n_succ, 1u);
  EXPECT_EQ(game.max_n_pred, 1u);
  EXPECT_EQ(as_vector(game.succ_begin, 2), (std::vector<uint32_t>{0, 1}));
}

TEST(ParityGame, ReleaseZeroesEverythingAndIsRepeatable) {
  ParityGame game;
  ASSERT_EQ(load_text(game, "0 4 0 0;\n"), "");
  game.release();
  expect_empty_game(game);
  game.release();
  expect_empty_game(game);
}

TEST(ParityGame, AllocateIntoFullGameIsRefused) {
  ParityGame game;
  game.allocate(2, 3);
  EXPECT_EQ(game.n_nodes, 2u);
  EXPECT_EQ(game.n_edges, 3u);
  try {
    game.allocate(1, 1);
    FAIL() << "no exception";
  } catch (const std::string& message) {
    EXPECT_EQ(message,
              "Error in \"ParityGame::allocate\": at least one buffer has already been allocated\"");
  }
  EXPECT_EQ(game.n_nodes, 2u);
}

// ------------------------------------------------ conversion on a graph directly

// Arrays for convert_to_csr, pre-filled with a marker so that untouched
// entries show.
struct CsrArrays {
  static constexpr uint32_t marker = 0xABABu;
  std::vector<uint32_t> node_id, n_succ, n_pred, succ_begin, pred_begin, succ_array, pred_array;
  std::vector<color_t> color;
  std::vector<uint8_t> owner;
  CsrTarget target;

  explicit CsrArrays(const GameGraph& g)
      : node_id(g.n_nodes, marker), n_succ(g.n_nodes, marker), n_pred(g.n_nodes, marker),
        succ_begin(g.n_nodes + 1, marker), pred_begin(g.n_nodes + 1, marker),
        succ_array(g.n_edges, marker), pred_array(g.n_edges, marker),
        color(g.n_nodes, marker), owner(g.n_nodes, 0xAB),
        target{node_id.data(), color.data(), owner.data(), n_succ.data(), n_pred.data(),
               succ_begin.data(), pred_begin.data(), succ_array.data(), pred_array.data(), 99, 99} {}
};

void read_graph(GameGraph& graph, const std::string& text) {
  ASSERT_EQ(graph.read(write_temp_file(text, "graph")), 0);
  ASSERT_EQ(index_graph_nodes(graph), graph.n_nodes);
}

std::string convert_error(const GameGraph& graph, CsrArrays& arrays) {
  try {
    convert_to_csr(graph, arrays.target);
  } catch (const std::string& message) {
    return message;
  }
  return "";
}

TEST(CsrConversion, IndexMismatchIsReported) {
  GameGraph graph;
  ASSERT_EQ(graph.read(write_temp_file("0 0 0 0;\n1 0 0 0;\n", "graph")), 0);
  graph.n_nodes = 3;
  try {
    index_graph_nodes(graph);
    FAIL() << "no exception";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "Mismatch between nodes in list and returned number of nodes");
  }
  EXPECT_EQ(graph.last->index, 1u);
}

TEST(CsrConversion, ColourErrorComesBeforeTheNodesAdjacency) {
  GameGraph graph;
  read_graph(graph, "0 1 0 7;\n7 40000 1 0;\n");
  CsrArrays a(graph);
  EXPECT_EQ(convert_error(graph, a), "color exceeds size of unsigned short");
  EXPECT_EQ(a.node_id, (std::vector<uint32_t>{0, 7}));  // written before the check
  EXPECT_EQ(a.color[1], CsrArrays::marker);
  EXPECT_EQ(a.n_succ[1], CsrArrays::marker);
  EXPECT_EQ(a.succ_begin[1], CsrArrays::marker);
  EXPECT_EQ(a.succ_array, (std::vector<uint32_t>{1, CsrArrays::marker}));
}

TEST(CsrConversion, MaximaStartFromZero) {
  GameGraph graph;
  read_graph(graph, "0 1 0 0;\n");
  CsrArrays a(graph);
  EXPECT_EQ(convert_error(graph, a), "");
  EXPECT_EQ(a.target.max_n_succ, 1u);
  EXPECT_EQ(a.target.max_n_pred, 1u);
}

TEST(CsrConversion, SuccessorCountMismatchIsReported) {
  GameGraph graph;
  read_graph(graph, "0 1 0 1;\n1 1 0 0;\n");
  graph.first->n_succs = 0;
  CsrArrays a(graph);
  EXPECT_EQ(convert_error(graph, a), "Mismatch between p_node->n_succs and final value of check");
}

TEST(CsrConversion, PredecessorCountMismatchIsReported) {
  GameGraph graph;
  read_graph(graph, "0 1 0 1;\n1 1 0 0;\n");
  graph.last->n_preds = 2;
  CsrArrays a(graph);
  EXPECT_EQ(convert_error(graph, a), "Mismatch between p_node->n_preds and final value of check");
}

TEST(CsrConversion, EdgeTotalMismatchIsReportedForSuccessors) {
  GameGraph graph;
  read_graph(graph, "0 1 0 1;\n1 1 0 0;\n");
  graph.n_edges = 3;
  CsrArrays a(graph);
  EXPECT_EQ(convert_error(graph, a),
            "Mismatch between remaining_n_edges and final value of cur_succ_begin");
}

TEST(CsrConversion, EdgeTotalMismatchIsReportedForPredecessors) {
  GameGraph graph;
  read_graph(graph, "0 1 0 1;\n1 1 0 0,1;\n");
  // Drop one edge from node 1's predecessor list only: every per-node count
  // still agrees, the predecessor total does not.
  GraphNode* n1 = graph.last;
  n1->first_pred = n1->first_pred->next_pred;
  n1->n_preds -= 1;
  CsrArrays a(graph);
  EXPECT_EQ(convert_error(graph, a),
            "Mismatch between remaining_n_edges and final value of cur_pred_begin");
  EXPECT_EQ(a.succ_begin[2], 3u);
  EXPECT_EQ(a.pred_begin[2], CsrArrays::marker);
}

}  // namespace
