#pragma once
// Runtime calls per solve as Google Benchmark counters (host backend only;
// the cuda backend counts nothing and adds none): launches, synchronous
// round trips, copies by direction, memsets and device allocations.
#include <benchmark/benchmark.h>

#include <string>

#include "common/platform.h"
#include "common/runtime_counters.h"

inline void report_runtime_counts(benchmark::State& state, const std::string& prefix, const hostrt::Counters& c,
                                  double solves) {
  if (!hostrt::counting || solves <= 0) return;
  const auto per_solve = [&](const char* name, std::size_t value) {
    state.counters[prefix + name] = static_cast<double>(value) / solves;
  };
  per_solve("launches", c.launches);
  per_solve("syncs", c.synchronisations);
  per_solve("copies_d2h", c.copies_to_host);
  per_solve("copies_h2d", c.copies_to_device);
  per_solve("copies_d2d", c.copies_on_device);
  per_solve("memsets", c.memsets);
  per_solve("mallocs", c.allocations);
}
