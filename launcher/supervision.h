// Keeping the mail proxy running for the user.
#pragma once

#include <string>

// "st", "nd", "rd" for 1, 2, 3 and "th" for every other count.
const char* ordinalSuffix(int count);
// Checks, then starts the mail proxy and restarts it whenever it ends.
void startAndMonitorMoskar();
