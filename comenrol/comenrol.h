// The tool's main sequence: options, DLL check, registration, outcome.
#pragma once

// Runs the tool on its argument vector (edited in place as options are
// taken out) and returns the code the process exits with.
int runComEnrol(int argc, char** argv);
