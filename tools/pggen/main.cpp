// pggen: writes seeded parity games of the benchmark families in PGSolver text.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "generators.h"

namespace {

const char* const usage_text =
    "Usage: pggen [--seed S] [-o FILE] FAMILY PARAMETERS...\n"
    "\n"
    "Writes one parity game in PGSolver text (\"parity N;\" then one line\n"
    "\"id colour owner succ,succ,...;\" per node, ids 0 .. n-1 in file order) to\n"
    "standard output or FILE. The seed (default 1) fixes the random families.\n"
    "\n"
    "Families:\n"
    "  random N P L H       N nodes, colours uniform in [0,P), owners uniform,\n"
    "                       out-degree uniform in [L,H] (capped at N), distinct\n"
    "                       uniform successors (self-loops possible).\n"
    "  steady N P L H       N nodes (N>=2) like random, but every colour used by\n"
    "                       N/P nodes, no self-loops, and the first successors\n"
    "                       form one random cycle through all nodes (one SCC).\n"
    "  ladder N             2N nodes on two rails: node v has colour 2 (v even) or\n"
    "                       1 (v odd), owner v mod 2, successors v+1 and v+2\n"
    "                       (mod 2N). Each player wins its own nodes.\n"
    "  recursiveladder K    3K nodes in K rungs r: a=3r (colour 2r+3, owner r mod 2,\n"
    "                       -> c of rung r-2, b), b=3r+1 (colour 2r+2, Odd,\n"
    "                       -> b of rung r+1, itself), c=3r+2 (colour 2r+1, Even,\n"
    "                       -> a, itself). Even wins all; Zielonka's algorithm\n"
    "                       needs 3*2^(K+1)-5 recursive calls.\n"
    "  solitaire K          3K nodes in K rungs r: a=3r (colour 2r+4, Odd, -> c of\n"
    "                       rung r-1, a_0 itself), b=3r+1 (colour 2r+3, Even,\n"
    "                       -> a of rungs r-1 and r-2, b_0 -> a_0), c=3r+2\n"
    "                       (colour 2r+1, Even, -> b, itself). Only Even chooses;\n"
    "                       Even wins all; Zielonka's algorithm needs 3*2^K-4\n"
    "                       recursive calls.\n"
    "  oddladder K          3K nodes (K>=2) in K rungs r: a=3r (colour 2r+3, Odd,\n"
    "                       -> c), b=3r+1 (colour 2r, Odd, -> itself, c),\n"
    "                       c=3r+2 (colour 2r+2, Even, -> c of rung r-1, a of\n"
    "                       rung r+1). Odd wins all; Zielonka's algorithm needs\n"
    "                       3*2^(K-1)-4 recursive calls and Even's progress\n"
    "                       measure 9*2^(K-1)-5 lifts.\n"
    "  jurdzinski L B       2LB+2 nodes: L levels of B Odd nodes (colour 2j+1) in\n"
    "                       one chain from the top level down to a sink (colour 0),\n"
    "                       each with an Even escape (colour 2j+2, self-loop), and\n"
    "                       a climber (colour 1, Even) with a self-loop and an edge\n"
    "                       to the chain's head. Even wins all; progress-measure\n"
    "                       lifting counts through about B(B+1)^(L-1) values.\n"
    "  clique N             N nodes (N>=2), node v with colour v, owner v mod 2,\n"
    "                       every other node as successor. For N>=4 each node is\n"
    "                       won by its owner.\n"
    "  sccs N M P           N nodes in consecutive strongly connected components\n"
    "                       of log-uniform sizes 1..M (a cycle plus up to 2 random\n"
    "                       inner edges per node; a single node loops), each node\n"
    "                       of a later component with one edge back to an earlier\n"
    "                       one with probability 1/2; colours in [0,P).\n"
    "\n"
    "Options:\n"
    "  --seed S   seed of the random families (random, steady, sccs)\n"
    "  -o FILE    write to FILE instead of standard output\n"
    "  --help     this text\n";

uint64_t parse_number(const std::string& text, const char* what) {
  if (text.empty() || text[0] == '-') throw std::invalid_argument(std::string("bad ") + what + ": " + text);
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') throw std::invalid_argument(std::string("bad ") + what + ": " + text);
  return value;
}

uint32_t parse_u32(const std::string& text, const char* what) {
  const uint64_t v = parse_number(text, what);
  if (v > 0xFFFFFFFFull) throw std::invalid_argument(std::string(what) + " too large: " + text);
  return static_cast<uint32_t>(v);
}

pggen::Game generate(const std::vector<std::string>& args, uint64_t seed) {
  const std::string& family = args[0];
  auto need = [&](std::size_t count) {
    if (args.size() != count + 1)
      throw std::invalid_argument(family + " takes " + std::to_string(count) + " parameter(s)");
  };
  auto u = [&](std::size_t i, const char* what) { return parse_u32(args[i], what); };
  if (family == "random") {
    need(4);
    return pggen::random_game(u(1, "N"), u(2, "P"), u(3, "L"), u(4, "H"), seed);
  }
  if (family == "steady") {
    need(4);
    return pggen::steady_game(u(1, "N"), u(2, "P"), u(3, "L"), u(4, "H"), seed);
  }
  if (family == "ladder") {
    need(1);
    return pggen::ladder_game(u(1, "N"));
  }
  if (family == "recursiveladder") {
    need(1);
    return pggen::recursive_ladder_game(u(1, "K"));
  }
  if (family == "solitaire") {
    need(1);
    return pggen::solitaire_game(u(1, "K"));
  }
  if (family == "oddladder") {
    need(1);
    return pggen::odd_ladder_game(u(1, "K"));
  }
  if (family == "jurdzinski") {
    need(2);
    return pggen::jurdzinski_game(u(1, "L"), u(2, "B"));
  }
  if (family == "clique") {
    need(1);
    return pggen::clique_game(u(1, "N"));
  }
  if (family == "sccs") {
    need(3);
    return pggen::scc_game(u(1, "N"), u(2, "M"), u(3, "P"), seed);
  }
  throw std::invalid_argument("unknown family: " + family);
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t seed = 1;
  std::string output;
  std::vector<std::string> args;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      if (a == "--help" || a == "-h") {
        std::cout << usage_text;
        return 0;
      } else if (a == "--seed" || a == "-o") {
        if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
        if (a == "--seed") seed = parse_number(argv[++i], "seed");
        else output = argv[++i];
      } else {
        args.push_back(a);
      }
    }
    if (args.empty()) throw std::invalid_argument("no family given");
    const pggen::Game game = generate(args, seed);
    if (output.empty()) {
      pggen::write_pgsolver(game, std::cout);
      std::cout.flush();
      if (!std::cout) throw std::runtime_error("cannot write standard output");
    } else {
      std::ofstream out(output, std::ios::binary);
      if (!out) throw std::runtime_error("cannot open " + output);
      pggen::write_pgsolver(game, out);
      out.close();
      if (!out) throw std::runtime_error("cannot write " + output);
    }
  } catch (const std::exception& e) {
    std::cerr << "pggen: " << e.what() << "\n\n" << usage_text;
    return 2;
  }
  return 0;
}
