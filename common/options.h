#pragma once

// Finds the first argument equal to option (case-sensitive, slot 0 included)
// and removes it from argv, with its value when value is given; see the
// definition for the exact rules.
bool findOption(int& argc, char** argv, const char* option, char** value = nullptr);
