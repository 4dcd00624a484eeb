// Stand-in for the graphical client: a hidden top-level window of class
// "QWidget" titled "Norvale (Expert Mode)", or "Norvale (Simple Mode)" with
// mode=simple, that journals WM_CLOSE and WM_DESTROY and ends on them
// unless told to ignore them.
#include <windows.h>

#include "common/product_windows.h"
#include "tests/standins/journal/standin.h"

namespace {
constexpr const char* kWindowClass = kGraphicalClientWindow.windowClass;
constexpr const char* kExpertTitle = kGraphicalClientWindow.title;
constexpr const char* kSimpleTitle = kGraphicalClientWindow.alternativeTitle;
constexpr const char kKeyMode[] = "mode";
}  // namespace

int main(int argc, char** argv) {
    if (standin::usageRequested(argc, argv, "the Norvale graphical client",
                                "It owns a hidden window \"Norvale (Expert Mode)\" (or, with "
                                "mode=simple, \"Norvale (Simple Mode)\") of class QWidget and "
                                "ends on WM_CLOSE or WM_DESTROY.")) {
        return 0;
    }
    standin::Run run;
    standin::setWindowRun(&run);
    const char* title = run.control().text(kKeyMode, "expert") == "simple" ? kSimpleTitle
                                                                             : kExpertTitle;
    if (standin::createHiddenWindow(kWindowClass, title, standin::closingWindowProc) == nullptr) {
        run.record("window-failed " + std::to_string(GetLastError()));
        return run.finish();
    }
    standin::runMessageLoop(run, run.runMs(standin::kRunUntilClosed));
    return run.finish();
}
