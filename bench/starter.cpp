// The baseline for the launcher's start-up: starts the given programs one
// after another, hidden, each waited for, through the same child starter the
// launcher uses, with none of the launcher's own work in between.
//   bench-starter [--repeat N] [--pause MS] program...
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/paths.h"

namespace {

struct Plan {
    int repeat = 1;
    DWORD pauseMs = 0;
    std::vector<std::string> programs;
};

bool readPlan(int argc, char** argv, Plan& plan) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            plan.repeat = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--pause") == 0 && i + 1 < argc) {
            plan.pauseMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            plan.programs.push_back(argv[i]);
        }
    }
    return plan.repeat > 0 && !plan.programs.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Plan plan;
    if (!readPlan(argc, argv, plan) || !setCurrentDir()) return 2;
    for (int round = 0; round < plan.repeat; ++round) {
        if (round > 0) Sleep(plan.pauseMs);
        for (const std::string& program : plan.programs) {
            int code = 0;
            if (!startChildAndWait(program.c_str(), program, ChildWindow::Hidden, code)) return 1;
        }
    }
    return 0;
}
