#pragma once

// The entry point shared by every program: checks the command line, solves the
// one game with alg_id, prints caught failures and the time report. Returns
// the process's exit status (0, also after a caught failure; -1 for a wrong
// command line).
int program_main(int argc, char** argv, const char* program_name, unsigned int alg_id);
