#pragma once
// Tarjan's SCC algorithm on the host, written independently of the device
// decomposition, and the SCC heights it implies; the device results are
// checked against these.
#include <cstdint>
#include <vector>

struct HostSccs {
  std::vector<uint32_t> component;  // component number of every node
  uint32_t count = 0;               // number of components
  std::vector<uint32_t> size;       // nodes per component
  std::vector<bool> self_loop;      // per node
  // Height in the condensation: 0 for a component no edge leaves, else
  // 1 + the largest height of a component an edge leaves to.
  std::vector<uint32_t> height;     // per component
};

HostSccs host_sccs(const std::vector<std::vector<uint32_t>>& succ);
