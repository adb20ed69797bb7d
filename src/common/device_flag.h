#pragma once
// The change flag of a device loop: the host clears it, the kernels of a pass
// set it when they change anything, the host reads it back. Every call is
// checked, and a failure is thrown naming the loop, e.g.
// "determine_sccs: trimming: reading the change flag failed: unspecified launch failure".
// The loop's name is given when the flag is made; a flag that serves several
// loops takes each one's name with the call.
//
// A flag lives for a whole solve (making one allocates a device byte and a
// byte of page-locked host memory); clear() is queued behind the launches
// without waiting, read() waits for them and copies one byte into the
// page-locked buffer.
//
// run_until_unchanged() runs the passes of a monotone fixpoint loop in
// batches between two reads of the flag: extra passes after the fixpoint
// change nothing, and each read is a round trip to the device. On the host
// backend a read costs nothing and the loops read after every pass.
#include <algorithm>
#include <cstddef>
#include <string>

#include "common/check_cuda.h"
#include "common/scoped_device_array.h"

class DeviceFlag {
 public:
  explicit DeviceFlag(const char* loop = "device loop") : loop_(loop), flag_(1) {
    check_cuda(cudaMallocHost(&host_, 1), std::string(loop) + ": error allocating the host copy of the change flag: ");
    *host_ = false;
  }
  ~DeviceFlag() {
    if (host_ != nullptr) cudaFreeHost(host_);
  }
  DeviceFlag(const DeviceFlag&) = delete;
  DeviceFlag& operator=(const DeviceFlag&) = delete;

  void clear(const char* loop = nullptr) {
    check(cudaMemsetAsync(flag_.get(), 0, 1, 0), loop, ": clearing the change flag failed: ");
  }
  // After each launch of a pass: a refused launch would leave the flag
  // unset and end the loop as if it had converged.
  void check_launch(const char* loop = nullptr) const {
    check(cudaGetLastError(), loop, ": a pass could not be launched: ");
  }
  // Waits for the launches before it; a fault in any of them fails here.
  bool read(const char* loop = nullptr) {
    check(cudaMemcpy(host_, flag_.get(), 1, cudaMemcpyDeviceToHost), loop, ": reading the change flag failed: ");
    return *host_;
  }
  bool* get() const { return flag_.get(); }
  // The checked release, for the end of a solve that went well.
  void release() {
    flag_.release();
    bool* host = host_;
    host_ = nullptr;
    if (host != nullptr) check_cuda(cudaFreeHost(host), "Error deallocating memory on the host.\n");
  }

 private:
  std::string name(const char* loop) const { return loop != nullptr ? loop : loop_; }
  // The message is put together only on failure: loops check every call.
  void check(cudaError_t status, const char* loop, const char* what) const {
    if (status != cudaSuccess) check_cuda(status, name(loop) + what);
  }

  const char* loop_;
  ScopedDeviceArray<bool> flag_;
  bool* host_ = nullptr;
};

// Passes between two reads of the flag: 1 at first, twice as many after each
// read that finds the flag set, at most `largest`. A loop of k passes thus
// runs fewer than 2k + largest passes and reads the flag about
// log2(largest) + k / largest times.
class PassBatch {
 public:
  static const unsigned int default_largest = 32;
  // What the loops take: batches where a read is a round trip, one pass per
  // read where it is not.
  static const unsigned int backend_largest = pg_reads_are_round_trips ? default_largest : 1;
  explicit PassBatch(unsigned int largest = default_largest) : largest_(std::max(1u, largest)) {}
  unsigned int size() const { return size_; }
  void grow() { size_ = std::min(largest_, size_ * 2); }

 private:
  unsigned int largest_;
  unsigned int size_ = 1;
};

// Runs pass() until a whole batch of passes leaves the flag unset, checking
// every launch; pass() launches one pass whose kernels set flag.get() on any
// change. loop names the loop in failures (null: the flag's name). Returns
// the number of passes run. Only for loops whose passes are monotone towards
// a fixpoint, where a pass past it changes nothing.
//
// With last_pass_decides, only a batch's last pass has to leave the flag
// unset: for loops whose every pass visits every element, so that one pass
// without a change is at the fixpoint, and whose kernels may also set the
// flag for work they put off now and then (a whole batch without any would
// be waited for a long time).
template <class Pass>
std::size_t run_until_unchanged(DeviceFlag& flag, const char* loop, Pass&& pass,
                                unsigned int largest_batch = PassBatch::backend_largest,
                                bool last_pass_decides = false) {
  PassBatch batch(largest_batch);
  std::size_t passes = 0;
  for (;;) {
    if (!last_pass_decides) flag.clear(loop);
    for (unsigned int i = 0; i < batch.size(); ++i) {
      if (last_pass_decides && i + 1 == batch.size()) flag.clear(loop);
      pass();
      flag.check_launch(loop);
    }
    passes += batch.size();
    if (!flag.read(loop)) return passes;
    batch.grow();
  }
}
