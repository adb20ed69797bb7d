#include "pgsolve/pgsolve.h"

int main(int argc, char** argv) { return pgsolve_main(argc, argv); }
