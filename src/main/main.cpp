#include "main/entry.h"

// Each program is this file built with its own name and algorithm number.
int main(int argc, char** argv) { return program_main(argc, argv, PG_PROGRAM_NAME, PG_ALG_ID); }
