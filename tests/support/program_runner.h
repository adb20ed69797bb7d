#pragma once
#include <string>
#include <vector>

struct ProgramResult {
  int exit_status = -1;  // the process's exit status (0..255), -1 if it did not exit normally
  std::string out;       // standard output
  std::string err;       // standard error
};

// Runs the program with the arguments (no shell) and collects both streams.
// Standard input is the file input_path, /dev/null when none is given.
ProgramResult run_program(const std::string& path, const std::vector<std::string>& args,
                          const std::string& input_path = "/dev/null");

// Replaces every time figure of a time report by "<t>": the number after a
// label ending in ": " on report lines and the number on the line after an
// automatic "time N : " label, so that reports compare exactly.
std::string mask_times(const std::string& text);
