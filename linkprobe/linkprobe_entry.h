// The link checker's entry: its log, its command line, the check each mode
// runs and the exit code that reports it.
#pragma once

#include "common/linkprobe_codes.h"

// Runs the program for its argument vector (argv[0] is the program) and
// returns its exit code.
int linkprobeMain(int argc, char* argv[]);
