#pragma once
// The one-byte change flag of a device loop: the host clears it, kernels set
// it when they change anything, the host reads it back after the launch.
#include "common/scoped_device_array.h"

class DeviceFlag {
 public:
  DeviceFlag() : flag_(1) {}
  void clear() {
    const bool value = false;
    cudaMemcpy(flag_.get(), &value, 1, cudaMemcpyHostToDevice);
  }
  // The blocking copy also waits for the launches before it.
  bool read() const {
    bool value = false;
    cudaMemcpy(&value, flag_.get(), 1, cudaMemcpyDeviceToHost);
    return value;
  }
  bool* get() const { return flag_.get(); }
  void release() { flag_.release(); }

 private:
  ScopedDeviceArray<bool> flag_;
};
