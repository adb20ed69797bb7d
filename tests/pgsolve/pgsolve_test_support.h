#pragma once
// Running pgsolve as a process and reading what it writes.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "generated_game.h"
#include "program_runner.h"
#include "test_game.h"

ProgramResult run_pgsolve(const std::vector<std::string>& args, const std::string& input_path = "/dev/null");


// Winners by node identifier from a solution text ("paritysol" header, then
// "id winner [successor];" lines). Fails the calling test on a line it cannot read.
std::map<uint32_t, uint8_t> solution_winners(const std::string& text);

// The bytes that a compressing tool ("gzip", "bzip2") makes of a file.
std::string compressed_with(const std::string& tool, const std::string& path);
