// Running the product's per-user set-up processor.
#pragma once

#include <string>

// The set-up processor's command line; userCheck false adds
// "--no-user-check", true leaves a trailing blank.
std::string supCommandLine(bool userCheck);
// Runs the set-up processor hidden, waits, and returns its exit code
// (-3 when it could not be started).
int callSUP(bool userCheck);
