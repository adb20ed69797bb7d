#pragma once
// The pgsolve program: the command line, the phases and their messages.
// Returns the exit status: 0 solved (and verified where asked), 1 bad input,
// a failed solve, a failed verification or a timeout, 2 a wrong command line.
int pgsolve_main(int argc, char** argv);
