#include "csr_view.h"

CsrView::CsrView(const TestGame& game) : color(game.color), begin{0}, id(game.id), owner(game.owner) {
  for (const auto& list : game.succ) {
    succ.insert(succ.end(), list.begin(), list.end());
    begin.push_back(static_cast<uint32_t>(succ.size()));
  }
}

VerifierGame CsrView::view() const {
  VerifierGame g;
  g.n_nodes = static_cast<uint32_t>(color.size());
  g.color = color.data();
  g.owner = owner.data();
  g.succ_begin = begin.data();
  g.succ_array = succ.data();
  g.node_id = id.data();
  return g;
}
