// The process control tool: reads the operation mask from its command line
// and stops, closes and restarts the product's programs in a fixed order.
#pragma once

#include <windows.h>

#include <cstdio>

#include "taskctl/operation_mask.h"

namespace taskctl {

void printHelp(FILE* out);

// Runs the tool on its command line; argv is edited as options are taken
// out. Everything goes to out. Returns the exit status.
DWORD runTaskctl(int argc, char** argv, FILE* out);

}  // namespace taskctl
