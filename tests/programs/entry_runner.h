#pragma once
// Runs the shared entry point in process with both streams captured.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/entry.h"

struct Captured {
  int status;
  std::string out;
  std::string err;
};

inline Captured run_entry(std::vector<std::string> args, unsigned int alg_id, const char* name = "Vantor") {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = program_main(static_cast<int>(argv.size()), argv.data(), name, alg_id);
  Captured c{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
  return c;
}

// One game file through the program of alg_id.
inline Captured run_entry(const std::string& file, unsigned int alg_id) {
  return run_entry({"pgsolver", file}, alg_id, "pgsolver");
}
