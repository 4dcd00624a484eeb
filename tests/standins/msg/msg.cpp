// Stand-in for the message-log window program: a hidden top-level window of
// class "QWidget" titled "Norvale Message Log" that journals WM_CLOSE and
// WM_DESTROY and ends on them unless told to ignore them.
#include <windows.h>

#include "common/product_windows.h"
#include "tests/standins/journal/standin.h"

int main(int argc, char** argv) {
    if (standin::usageRequested(argc, argv, "norvale-msg.exe, the message-log window",
                                "It owns a hidden window \"Norvale Message Log\" of class "
                                "QWidget and ends on WM_CLOSE or WM_DESTROY.")) {
        return 0;
    }
    standin::Run run;
    standin::setWindowRun(&run);
    if (standin::createHiddenWindow(kMessageLogWindow.windowClass, kMessageLogWindow.title, standin::closingWindowProc) ==
        nullptr) {
        run.record("window-failed " + std::to_string(GetLastError()));
        return run.finish();
    }
    standin::runMessageLoop(run, run.runMs(standin::kRunUntilClosed));
    return run.finish();
}
