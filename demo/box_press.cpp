// Presses a button of a message box, as a user would: used by the script
// that renders the programs' boxes, to get from one box to the next.
//
// Usage: box-press "<caption>" <button id> [timeout ms]
// Exit code 0 when the button was pressed, 1 when no such box showed up in
// time, 2 when the box has no such button, 3 on wrong usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/demo_support.h"

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kPollMs = 100;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: box-press \"<caption>\" <button id> [timeout ms]\n");
        return 3;
    }
    const std::string caption = argv[1];
    const int button = std::atoi(argv[2]);
    const DWORD timeoutMs =
        argc == 4 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : kDefaultTimeoutMs;
    demo::Box box;
    DWORD begin = GetTickCount();
    while (!demo::findBoxByCaption(caption, box)) {
        if (GetTickCount() - begin >= timeoutMs) return 1;
        Sleep(kPollMs);
    }
    return demo::pressButton(box, button) ? 0 : 2;
}
