#pragma once

// The entry point shared by every program: checks the command line, solves the
// one game with alg_id, prints caught failures and the time report. Returns
// the process's exit status: 0 after a solve, 1 when no game was read or a
// failure was caught, -1 for a wrong command line (and for the range solver's
// failed rank count).
int program_main(int argc, char** argv, const char* program_name, unsigned int alg_id);
