// Network health checks run before the mail proxy starts, answered by the
// link checker's exit code.
#pragma once

#include <string>
#include <vector>

// Verdicts of the checks.
constexpr int kCheckOk = 0;
constexpr int kCheckFailed = -1;      // address in use / redirector failed
constexpr int kCheckBindOther = -2;   // bind failed for another reason
constexpr int kCheckSkipped = 1;      // skipped, or no usable answer

int bindCheck();
int normalLspCheck();
int fusLspCheck();

// Whether the list holds "norvale-linkprobe.exe" (entries are lower case).
bool linkProbeListed(const std::vector<std::string>& applications);
