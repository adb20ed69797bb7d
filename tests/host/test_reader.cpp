#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/game_graph.h"
#include "random_game.h"
#include "test_game.h"

namespace {

// A node as the reader leaves it, with successors and predecessors by id.
struct NodeView {
  uint32_t id;
  uint32_t color;
  unsigned owner;
  std::vector<uint32_t> succ;

  bool operator==(const NodeView& o) const {
    return id == o.id && color == o.color && owner == o.owner && succ == o.succ;
  }
};

std::ostream& operator<<(std::ostream& out, const NodeView& n) {
  out << "{" << n.id << " " << n.color << " " << n.owner << " [";
  for (uint32_t s : n.succ) out << " " << s;
  return out << " ]}";
}

struct ReadOutcome {
  int status;
  std::string err;
};

ReadOutcome read_file(GameGraph& graph, const std::string& path) {
  testing::internal::CaptureStderr();
  const int status = graph.read(path);
  return {status, testing::internal::GetCapturedStderr()};
}

ReadOutcome read_text(GameGraph& graph, const std::string& text) {
  return read_file(graph, write_temp_file(text, "reader"));
}

// Walks the node list and every successor list, checking the back links on
// the way, and gives the nodes in list order.
std::vector<NodeView> nodes_of(const GameGraph& graph) {
  std::vector<NodeView> nodes;
  const GraphNode* prev = nullptr;
  for (const GraphNode* n = graph.first; n != nullptr; n = n->next) {
    EXPECT_EQ(n->prev, prev);
    NodeView view{n->id, n->color, n->owner, {}};
    const GraphEdge* prev_edge = nullptr;
    for (const GraphEdge* e = n->first_succ; e != nullptr; e = e->next_succ) {
      EXPECT_EQ(e->source, n);
      EXPECT_EQ(e->prev_succ, prev_edge);
      EXPECT_NE(e->target, nullptr);
      if (e->target != nullptr) {
        EXPECT_EQ(e->target->id, e->target_id);
        view.succ.push_back(e->target->id);
      }
      prev_edge = e;
    }
    EXPECT_EQ(n->n_succs, view.succ.size());
    nodes.push_back(view);
    prev = n;
  }
  EXPECT_EQ(graph.last, prev);
  return nodes;
}

std::vector<uint32_t> pred_ids(const GraphNode* node) {
  std::vector<uint32_t> ids;
  const GraphEdge* prev = nullptr;
  for (const GraphEdge* e = node->first_pred; e != nullptr; e = e->next_pred) {
    EXPECT_EQ(e->target, node);
    EXPECT_EQ(e->prev_pred, prev);
    ids.push_back(e->source->id);
    prev = e;
  }
  EXPECT_EQ(node->n_preds, ids.size());
  return ids;
}

void expect_empty(const GameGraph& graph) {
  EXPECT_EQ(graph.n_nodes, 0u);
  EXPECT_EQ(graph.n_edges, 0u);
  EXPECT_EQ(graph.min_color, 0u);
  EXPECT_EQ(graph.max_color, 0u);
  EXPECT_EQ(graph.first, nullptr);
  EXPECT_EQ(graph.last, nullptr);
}

// ---------------------------------------------------------------- accepted input

struct GoodInput {
  const char* name;
  std::string text;
  std::vector<NodeView> nodes;
};

void PrintTo(const GoodInput& c, std::ostream* out) { *out << c.name; }

class ReaderAccepts : public testing::TestWithParam<GoodInput> {};

TEST_P(ReaderAccepts, NodesInFileOrderAndNothingOnStandardError) {
  const GoodInput& c = GetParam();
  GameGraph graph;
  const ReadOutcome r = read_text(graph, c.text);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(nodes_of(graph), c.nodes);
  EXPECT_EQ(graph.n_nodes, c.nodes.size());
  uint32_t n_edges = 0;
  for (const NodeView& n : c.nodes) n_edges += static_cast<uint32_t>(n.succ.size());
  EXPECT_EQ(graph.n_edges, n_edges);
}

const std::vector<NodeView> three_nodes = {
    {0, 1, 0, {1, 2}}, {1, 2, 1, {2}}, {2, 3, 0, {0, 2}}};
const std::string three_descriptions = "0 1 0 1,2;\n1 2 1 2;\n2 3 0 0,2;\n";
const std::vector<NodeView> zero_to_one_two = {{0, 1, 0, {1, 2}}, {1, 0, 0, {1}}, {2, 0, 1, {2}}};

INSTANTIATE_TEST_SUITE_P(
    Reader, ReaderAccepts,
    testing::Values(
        GoodInput{"Header", "parity 3;\n" + three_descriptions, three_nodes},
        GoodInput{"NoHeader", three_descriptions, three_nodes},
        GoodInput{"HeaderWithoutCount", "parity;\n" + three_descriptions, three_nodes},
        GoodInput{"HeaderNotExamined", "parityX;" + three_descriptions, three_nodes},
        GoodInput{"CommaAndName", "0 1 0 1,2 \"zero\";\n1 0 0 1;\n2 0 1 2;\n", zero_to_one_two},
        GoodInput{"SpaceSeparated", "0 1 0 1 2;\n1 0 0 1;\n2 0 1 2;\n", zero_to_one_two},
        GoodInput{"SpacesCommasAndTrailingComma", "0 1 0 1 , 2 ,;\n1 0 0 1;\n2 0 1 2;\n",
                  zero_to_one_two},
        GoodInput{"NameRightAfterNumber", "0 1 0 1,2\"zero\";1 0 0 1;2 0 1 2;", zero_to_one_two},
        GoodInput{"NameWithQuoteInside", "0 1 0 1,2 \"a \"b\" c\";\n1 0 0 1;\n2 0 1 2;\n",
                  zero_to_one_two},
        // The name's semicolon ends the description; the rest reads as the next one.
        GoodInput{"NameWithSemicolonInside", "0 1 0 1 \"a;1 3 1 0 \"b\";\n",
                  {{0, 1, 0, {1}}, {1, 3, 1, {0}}}},
        GoodInput{"CarriageReturnLineFeed", "parity 2;\r\n0 1 0 1,\r\n2;\r\n1 0 0 1;\r\n2 0 1 2;\r\n",
                  zero_to_one_two},
        GoodInput{"DescriptionsSpanAndShareLines", "0 1 0\n1\n2; 1 0 0 1; 2 0 1\t2\n;",
                  zero_to_one_two},
        GoodInput{"ZeroByteEndsText", std::string("0 1 0 0;\n\0" "5 x;", 14), {{0, 1, 0, {0}}}},
        GoodInput{"ForwardReference", "0 1 0 5;\n5 2 1 0;\n", {{0, 1, 0, {5}}, {5, 2, 1, {0}}}},
        GoodInput{"NoWhiteSpaceAfterLastDescription", "0 1 0 0;", {{0, 1, 0, {0}}}},
        // Numbers read as strtoul reads them into 32 bits: signs, wrap of a
        // negated value and saturation above 4294967295 (whatever the sign).
        GoodInput{"SignedNumbers", "+7 -0 +1 -1;\n-1 -4294967295 0 -4294967289;\n",
                  {{7, 0, 1, {4294967295u}}, {4294967295u, 1, 0, {7}}}},
        GoodInput{"NumbersAboveRange", "4294967296 99999999999999999999 0 -4294967296;\n",
                  {{4294967295u, 4294967295u, 0, {4294967295u}}}},
        GoodInput{"NumbersAfterOtherCWhiteSpace", "0 1 0\v1;\n1 0 0\f1;\n", {{0, 1, 0, {1}}, {1, 0, 0, {1}}}},
        GoodInput{"DuplicateSuccessorAndSelfLoop", "3 0 0 3,3 4;\n4 0 0 3;\n",
                  {{3, 0, 0, {3, 3, 4}}, {4, 0, 0, {3}}}},
        GoodInput{"NodeWithoutSuccessors", "0 1 0;\n", {{0, 1, 0, {}}}}),
    [](const testing::TestParamInfo<GoodInput>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- rejected input

struct BadInput {
  const char* name;
  std::string text;
  std::string err;  // all of standard error: message, echo
};

void PrintTo(const BadInput& c, std::ostream* out) { *out << c.name; }

class ReaderRejects : public testing::TestWithParam<BadInput> {};

TEST_P(ReaderRejects, WithMessageAndEchoAndLeavesGraphEmpty) {
  const BadInput& c = GetParam();
  GameGraph graph;
  const ReadOutcome r = read_text(graph, c.text);
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.err, c.err);
  expect_empty(graph);
}

const std::string id_error = "ERROR: expected node id as first number in node description.\n";
const std::string color_error = "ERROR: expected color as second number in node description.\n";
const std::string owner_error = "ERROR: expected owner as third number in node description.\n";
const std::string list_error = "ERROR: expected list of successors.\n";
const std::string semicolon_error = "ERROR: expected character: ;\n";
const std::string no_nodes_error = "ERROR: no nodes defined.\n";

INSTANTIATE_TEST_SUITE_P(
    Reader, ReaderRejects,
    testing::Values(
        // Not a header once white space precedes it: "parity" is then no id.
        BadInput{"HeaderAfterWhiteSpace", " parity 3;\n0 1 0 1;\n1 1 0 0;\n", id_error + "\n"},
        BadInput{"HeaderAfterLineFeed", "\nparity 1;\n0 1 0 0;\n", id_error + "\n"},
        BadInput{"HeaderWithoutSemicolon", "parity 3\n", semicolon_error + "parity\n"},
        BadInput{"EmptyFile", "", no_nodes_error + "\n"},
        BadInput{"HeaderOnly", "parity 3;\n", no_nodes_error + "parity 3;\n\n"},
        BadInput{"WhiteSpaceOnly", " \r\n\t", no_nodes_error + " \r\n\t\n"},
        BadInput{"ZeroByteBeforeFirstNode", std::string("parity 1;\n\0" "0 1 0 0;\n", 20),
                 no_nodes_error + "parity 1;\n\n"},
        BadInput{"IdMissing", "0 1 0 0;\nx 1 0 0;\n", id_error + "\n"},
        BadInput{"ColourMissing", "7 x 0 7;\n", color_error + "7 \n"},
        BadInput{"OwnerTwo", "0 1 2 1;\n", owner_error + "0 1 \n"},
        BadInput{"OwnerMinusOne", "0 1 -1 1;\n", owner_error + "0 1 \n"},
        BadInput{"OwnerMissing", "0 1 ;\n", owner_error + "0 1 \n"},
        BadInput{"Redefinition", "4 1 0 4;\n4 2 1 4;\n", "ERROR: redefinition of a node.\n4 2 1 \n"},
        BadInput{"DoubleComma", "0 1 0 1,,2;\n", list_error + "0 1 0 1,\n"},
        BadInput{"CommaFirst", "0 1 0 ,1;\n", list_error + "0 1 0 \n"},
        BadInput{"SignWithoutDigits", "0 1 0 1 -;\n", list_error + "0 1 0 1 \n"},
        BadInput{"LetterInList", "0 1 0 1, 2x;\n", list_error + "0 1 0 1, 2\n"},
        BadInput{"VerticalTabBeforeSemicolon", "0 1 0 1\v;\n", list_error + "0 1 0 1\n"},
        BadInput{"MissingFinalSemicolon", "0 1 0 1;\n1 2 1 0 \n", semicolon_error + "1 2 1 0 \n\n"},
        BadInput{"NameWithoutSemicolon", "0 1 0 0 \"zero\"\n", semicolon_error + "0 1 0 0 \"\n"},
        BadInput{"ZeroByteInsideDescription", std::string("0 1 0 0\0;\n", 10),
                 semicolon_error + "0 1 0 0\n"},
        // The rest of a name after its semicolon is read as a description.
        BadInput{"NameWithSemicolonThenText", "0 1 0 0 \"a;b\";\n", id_error + "\n"},
        // Unknown successors are found after parsing: no echo.
        BadInput{"UndefinedSuccessor", "0 0 0 3;\n3 1 0 0,9;\n",
                 "ERROR: node 3 has undefined successor 9\n"},
        BadInput{"UndefinedSaturatedSuccessor", "0 0 0 0 4294967296;\n",
                 "ERROR: node 0 has undefined successor 4294967295\n"},
        BadInput{"UndefinedNegativeSuccessor", "5 0 0 -2;\n",
                 "ERROR: node 5 has undefined successor 4294967294\n"}),
    [](const testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- other cases

TEST(Reader, UnopenableFileIsReported) {
  GameGraph graph;
  const std::string path = testing::TempDir() + "/no-such-dir/missing.gm";
  const ReadOutcome r = read_file(graph, path);
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.err, "Couldn't open file " + path + "\n");
  expect_empty(graph);
}

TEST(Reader, DirectoryIsReportedAsUnopenable) {
  GameGraph graph;
  const std::string dir = testing::TempDir();
  const ReadOutcome r = read_file(graph, dir);
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.err, "Couldn't open file " + dir + "\n");
  expect_empty(graph);
}

TEST(Reader, ColourRangeAndEdgeCount) {
  GameGraph graph;
  const ReadOutcome r = read_text(graph, "1 3 0 2,3;\n2 8 1 1;\n3 5 0 1,2,3;\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(graph.n_nodes, 3u);
  EXPECT_EQ(graph.n_edges, 6u);
  EXPECT_EQ(graph.min_color, 3u);
  EXPECT_EQ(graph.max_color, 8u);
}

// Each resolved edge goes to the front of its target's list, so predecessors
// appear in the reverse order of resolution (node by node, edge by edge).
TEST(Reader, PredecessorsInReverseResolutionOrder) {
  GameGraph graph;
  ASSERT_EQ(read_text(graph, "0 0 0 3;\n1 0 0 3,0;\n2 0 0 3;\n3 0 0 0,3;\n").status, 0);
  const GraphNode* n0 = graph.first;
  const GraphNode* n3 = graph.last;
  ASSERT_NE(n0, nullptr);
  ASSERT_NE(n3, nullptr);
  EXPECT_EQ(pred_ids(n3), (std::vector<uint32_t>{3, 2, 1, 0}));
  EXPECT_EQ(pred_ids(n0), (std::vector<uint32_t>{3, 1}));
  EXPECT_EQ(pred_ids(n0->next), std::vector<uint32_t>{});
}

TEST(Reader, ReadReplacesEarlierContent) {
  GameGraph graph;
  ASSERT_EQ(read_text(graph, "0 1 0 1;\n1 9 1 0;\n").status, 0);
  ASSERT_EQ(read_text(graph, "5 4 1 5;\n").status, 0);
  EXPECT_EQ(nodes_of(graph), (std::vector<NodeView>{{5, 4, 1, {5}}}));
  EXPECT_EQ(graph.n_nodes, 1u);
  EXPECT_EQ(graph.n_edges, 1u);
  EXPECT_EQ(graph.min_color, 4u);
  EXPECT_EQ(graph.max_color, 4u);
  EXPECT_EQ(pred_ids(graph.first), std::vector<uint32_t>{5});
}

TEST(Reader, ClearEmptiesTheGraph) {
  GameGraph graph;
  ASSERT_EQ(read_text(graph, "0 1 0 0;\n").status, 0);
  graph.clear();
  expect_empty(graph);
  // The index is emptied too: the same id is no redefinition afterwards.
  ASSERT_EQ(read_text(graph, "0 2 1 0;\n").status, 0);
  EXPECT_EQ(graph.first->color, 2u);
}

// Enough nodes and edges to span many pool blocks, with ids in random order.
TEST(Reader, LargeShuffledGameReadsBackExactly) {
  RandomGameParams params;
  params.n_nodes = 5000;
  params.max_color = 200;
  params.max_out = 6;
  params.self_loop_probability = 0.1;
  params.ids = IdMode::shuffled;
  params.seed = 7;
  const TestGame game = random_game(params);

  GameGraph graph;
  const ReadOutcome r = read_text(graph, to_pgsolver(game, false));
  ASSERT_EQ(r.status, 0) << describe(params) << "\n" << r.err;
  std::vector<NodeView> expected;
  for (uint32_t v = 0; v < game.size(); ++v) {
    NodeView n{game.id[v], game.color[v], game.owner[v], {}};
    for (uint32_t s : game.succ[v]) n.succ.push_back(game.id[s]);
    expected.push_back(n);
  }
  EXPECT_EQ(nodes_of(graph), expected) << describe(params);
}

// Counts beyond what the game model indexes in 32 bits are refused by the
// reader; small limits stand in for the real ones.
TEST(Reader, MoreNodesThanTheLimitAreRefused) {
  const std::string path = write_temp_file("0 2 0 1;\n1 3 1 2;\n2 4 0 0;\n", "reader");
  GameGraph graph;
  testing::internal::CaptureStderr();
  EXPECT_EQ(graph.read(path, GameLimits{2, 100}), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: too many nodes, the limit is 2.\n\n");
  expect_empty(graph);
  testing::internal::CaptureStderr();
  EXPECT_EQ(graph.read(path, GameLimits{3, 100}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(graph.n_nodes, 3u);
}

TEST(Reader, MoreEdgesThanTheLimitAreRefusedWhileTheListGrows) {
  const std::string path = write_temp_file("0 2 0 1, 2;\n1 3 1 2 , 0,1;\n2 4 0 0;\n", "reader");
  GameGraph graph;
  testing::internal::CaptureStderr();
  EXPECT_EQ(graph.read(path, GameLimits{10, 4}), -1);
  // The echo ends before the successor that would pass the limit.
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: too many edges, the limit is 4.\n1 3 1 2 , 0,\n");
  expect_empty(graph);
  testing::internal::CaptureStderr();
  EXPECT_EQ(graph.read(path, GameLimits{10, 6}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(graph.n_edges, 6u);
}

}  // namespace
