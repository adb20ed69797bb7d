#pragma once
// A graph of the tests placed on the device in compressed row form, with both
// edge directions, and small copy helpers.
#include <cstdint>
#include <vector>

#include "common/device_array.h"
#include "common/scoped_device_array.h"
#include "preprocess/cuda_preprocess.h"

// The copies to, from and on the device made since the last reset: the next
// one is number copies_so_far() + 1 for hostrt::fail_copy.
inline std::size_t copies_so_far() {
  const hostrt::Counters c = hostrt::counters();
  return c.copies_to_device + c.copies_to_host + c.copies_on_device;
}

template <class T>
std::vector<T> from_device(const T* p, std::size_t n) {
  std::vector<T> v(n);
  if (n != 0) copy_array<Space::host, Space::device>(v.data(), p, n);
  return v;
}

template <class T>
void to_device(ScopedDeviceArray<T>& array, const std::vector<T>& values) {
  array.allocate(values.size());
  if (!values.empty()) copy_array<Space::device, Space::host>(array.get(), values.data(), values.size());
}

struct DeviceTestGraph {
  uint32_t n = 0;
  ScopedDeviceArray<uint32_t> n_succ, succ_begin, succ_array, n_pred, pred_begin, pred_array;

  explicit DeviceTestGraph(const std::vector<std::vector<uint32_t>>& succ) : n(static_cast<uint32_t>(succ.size())) {
    std::vector<std::vector<uint32_t>> pred(n);
    for (uint32_t v = 0; v < n; ++v)
      for (uint32_t w : succ[v]) pred[w].push_back(v);
    upload(succ, n_succ, succ_begin, succ_array);
    upload(pred, n_pred, pred_begin, pred_array);
  }

  preprocess::DeviceGraph view() const {
    preprocess::DeviceGraph g;
    g.n_nodes = n;
    g.n_succ = n_succ.get();
    g.succ_begin = succ_begin.get();
    g.succ_array = succ_array.get();
    g.n_pred = n_pred.get();
    g.pred_begin = pred_begin.get();
    g.pred_array = pred_array.get();
    return g;
  }

 private:
  static void upload(const std::vector<std::vector<uint32_t>>& lists, ScopedDeviceArray<uint32_t>& count,
                     ScopedDeviceArray<uint32_t>& begin, ScopedDeviceArray<uint32_t>& targets) {
    std::vector<uint32_t> c, b(1, 0), t;
    for (const auto& l : lists) {
      c.push_back(static_cast<uint32_t>(l.size()));
      b.push_back(b.back() + static_cast<uint32_t>(l.size()));
      t.insert(t.end(), l.begin(), l.end());
    }
    to_device(count, c);
    to_device(begin, b);
    to_device(targets, t);
  }
};
