#include "verify/solution_file.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "host/types.h"

namespace {

// Output through one buffer: millions of short lines, few stream calls.
class LineBuffer {
 public:
  explicit LineBuffer(std::ostream& out) : out_(out) {}
  ~LineBuffer() { flush(); }
  void number(uint32_t x) { pos_ = std::to_chars(pos_, buf_ + sizeof buf_, x).ptr; }
  void text(const char* s) {
    while (*s != '\0') *pos_++ = *s++;
  }
  // Room for one more line of three numbers.
  void reserve_line() {
    if (buf_ + sizeof buf_ - pos_ < 64) flush();
  }
  void flush() {
    out_.write(buf_, pos_ - buf_);
    pos_ = buf_;
  }

 private:
  std::ostream& out_;
  char buf_[1 << 16];
  char* pos_ = buf_;
};

// File identifier to node index: a table when the identifiers are dense
// enough, otherwise a sorted list.
class IdIndex {
 public:
  explicit IdIndex(const VerifierGame& g) {
    const uint32_t n = g.n_nodes;
    const uint32_t max_id = n == 0 ? 0 : *std::max_element(g.node_id, g.node_id + n);
    dense_ = max_id <= 4ull * n + 1024;
    if (dense_) {
      table_.assign(static_cast<std::size_t>(max_id) + 1, no_strategy);
      for (uint32_t v = 0; v < n; ++v) table_[g.node_id[v]] = v;
    } else {
      sorted_.resize(n);
      for (uint32_t v = 0; v < n; ++v) sorted_[v] = {g.node_id[v], v};
      std::sort(sorted_.begin(), sorted_.end());
    }
  }
  // The node index, or no_strategy for an identifier the game lacks.
  uint32_t find(uint64_t id) const {
    if (dense_) return id < table_.size() ? table_[id] : no_strategy;
    const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), std::make_pair(static_cast<uint32_t>(id), 0u));
    return id <= 0xFFFFFFFFu && it != sorted_.end() && it->first == id ? it->second : no_strategy;
  }

 private:
  bool dense_ = true;
  std::vector<uint32_t> table_;
  std::vector<std::pair<uint32_t, uint32_t>> sorted_;
};

std::string read_all(std::istream& in) {
  std::string text;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) text.append(chunk, static_cast<std::size_t>(in.gcount()));
  return text;
}

// A cursor over the text that counts lines.
class Scanner {
 public:
  explicit Scanner(const std::string& text) : p_(text.data()), end_(text.data() + text.size()) {}
  uint64_t line() const { return line_; }
  bool at_end() const { return p_ == end_; }
  void skip_space() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n')) {
      if (*p_ == '\n') ++line_;
      ++p_;
    }
  }
  // Blanks within a statement (a statement stays on its line).
  void skip_blanks() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r')) ++p_;
  }
  bool word(const char* w) {
    const char* q = p_;
    while (*w != '\0') {
      if (q == end_ || *q != *w) return false;
      ++q;
      ++w;
    }
    p_ = q;
    return true;
  }
  // A decimal number; values above 2^32 - 1 read as 2^32 (no identifier).
  bool number(uint64_t& x) {
    if (p_ == end_ || *p_ < '0' || *p_ > '9') return false;
    x = 0;
    while (p_ != end_ && *p_ >= '0' && *p_ <= '9') {
      x = std::min<uint64_t>(x * 10 + static_cast<uint64_t>(*p_ - '0'), 0x100000000ull);
      ++p_;
    }
    return true;
  }
  bool peek(char c) const { return p_ != end_ && *p_ == c; }
  void skip() { ++p_; }

 private:
  const char* p_;
  const char* end_;
  uint64_t line_ = 1;
};

std::string at_line(const Scanner& s) { return "solution line " + std::to_string(s.line()); }

}  // namespace

void write_solution(std::ostream& out, const VerifierGame& game, const uint8_t* winner, const uint32_t* strategy) {
  const uint32_t n = game.n_nodes;
  LineBuffer buf(out);
  buf.text("paritysol ");
  buf.number(n == 0 ? 0 : *std::max_element(game.node_id, game.node_id + n));
  buf.text(";\n");
  for (uint32_t v = 0; v < n; ++v) {
    buf.reserve_line();
    buf.number(game.node_id[v]);
    buf.text(winner[v] == 0 ? " 0" : " 1");
    const uint32_t s = strategy == nullptr ? no_strategy : strategy[v];
    if (game.owner[v] == winner[v] && s < n) {
      buf.text(" ");
      buf.number(game.node_id[s]);
    }
    buf.text(";\n");
  }
}

std::string read_solution(std::istream& in, const VerifierGame& game, Solution& solution) {
  const uint32_t n = game.n_nodes;
  const std::string text = read_all(in);
  if (in.bad()) return "solution: read error";
  const IdIndex index(game);
  const uint8_t unset = 2;
  solution.winner.assign(n, unset);
  solution.strategy.assign(n, no_strategy);
  Scanner s(text);
  const std::string malformed = " is malformed: expected \"id winner [successor];\"";
  bool first = true;
  for (s.skip_space(); !s.at_end(); s.skip_space(), first = false) {
    uint64_t id = 0, win = 0, succ = 0;
    if (first && s.word("paritysol")) {
      s.skip_blanks();
      if (!s.number(id)) return at_line(s) + " is malformed: expected \"paritysol N;\"";
      s.skip_blanks();
      if (!s.peek(';')) return at_line(s) + " is malformed: expected \"paritysol N;\"";
      s.skip();
      continue;
    }
    if (!s.number(id)) return at_line(s) + malformed;
    s.skip_blanks();
    if (!s.number(win)) return at_line(s) + malformed;
    s.skip_blanks();
    const bool has_succ = s.number(succ);
    s.skip_blanks();
    if (!s.peek(';')) return at_line(s) + malformed;
    s.skip();

    const uint32_t v = index.find(id);
    if (v == no_strategy) return at_line(s) + ": unknown node " + std::to_string(id);
    if (win > 1) return at_line(s) + ": the winner of node " + std::to_string(id) + " is neither 0 nor 1";
    if (solution.winner[v] != unset) return at_line(s) + ": node " + std::to_string(id) + " is listed twice";
    solution.winner[v] = static_cast<uint8_t>(win);
    if (!has_succ) continue;
    const uint32_t w = index.find(succ);
    if (w == no_strategy) {
      return at_line(s) + ": the successor " + std::to_string(succ) + " of node " + std::to_string(id) +
             " is an unknown node";
    }
    if (game.owner[v] == win) solution.strategy[v] = w;
  }
  for (uint32_t v = 0; v < n; ++v)
    if (solution.winner[v] == unset) return "solution: node " + std::to_string(game.node_id[v]) + " is missing";
  return std::string();
}
