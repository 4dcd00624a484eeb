#include "common/messages.h"

#include <cstdlib>
#include <string>

#include "common/paths.h"

const char* const messageTable[kMessageCount] = {
    /*  0 */ "OK.",
    /*  1 */ "-registry",
    /*  2 */ "-startmenu",
    /*  3 */ "Wrong parameters!",
    /*  4 */ "Norvale Launcher already running!",
    /*  5 */ "user_default\\*.*",
    /*  6 */ "user_default\\",
    /*  7 */ "You have successfully installed the NorvaleMail program files.\n"
             "Would you like to initialize the software for the user you are logged in as?",
    /*  8 */ "There was an error while trying to copy the user files, so abort!",
    /*  9 */ "There was an error while writing in the registry - setRegistryFlag!",
    /* 10 */ "There seems to be a problem with your Norvale Redirector/network, so please run the "
             "Repair Network Redirector (LSP Revanto Tool)\n"
             "as otherwise either you can have network problems, or you won't be secure.\n"
             "The tool can be found on: Start->Programs->Norvale.",
    /* 11 */ "Service_One_Instance_Of_Babysitter_Mutex",
    /* 12 */ "Wrong parameters!",
    /* 13 */ "Norvale-launcher is already running",
    /* 14 */ "Setting the current directory failed!",
    /* 15 */ "Norvale Launcher run from registry.",
    /* 16 */ "Norvale Launcher run from startmenu.",
    /* 17 */ "Unknown exception was caught.",
    /* 18 */ "The user part for NorvaleMail is already installed!",
    /* 19 */ "Open/create of key HKCU\\SOFTWARE\\Norvale failed or not existent.",
    /* 20 */ "Open/create of the HKCU\\SOFTWARE\\Norvale\\NorvaleUserInstalled string failed.",
    /* 21 */ "The HKCU\\SOFTWARE\\Norvale key NorvaleUserInstalled was set to/contains value '%s'.",
    /* 22 */ "Creating the Norvale dir failed.",
    /* 23 */ "No files to be copied were found in user_default dir.",
    /* 24 */ "The file '%s' already exists.",
    /* 25 */ "CopyFile '%s' returned error:%d.",
    /* 26 */ "Copied all files in the user dir.",
    /* 27 */ "FindNextFile returned error: %d.",
    /* 28 */ "The dir %s already exists.",
    /* 29 */ "CreateDirectory '%s' returned error: %d.",
    /* 30 */ "The configuration file wasn't found; the product will not work!",
    /* 31 */ "There is a problem with the LSP/network.",
    /* 32 */ "The LSP check was success or skipped.",
    /* 33 */ "Memory allocation failed!",
    /* 34 */ "Trying to start norvale-mail for the %d%s time...",
    /* 35 */ "norvale-mail.exe returned value %d.",
    /* 36 */ "Starting norvale-mail.exe returned errno %d.",
    /* 37 */ "GetModuleFileName failed.",
    /* 38 */ "Failure when trying to start norvale-mail. Binary not found!",
    /* 39 */ "Unable to open logfile.",
    /* 40 */ "The flag from registry is !=yes, so don't test the LSP healthiness.",
    /* 41 */ "The conf file doesn't exist, so don't test the LSP healthiness.",
    /* 42 */ "Cannot open config file or at reading was an error, so don't test the LSP "
             "healthiness.",
    /* 43 */ "Reading of the config file was successful.",
    /* 44 */ "TR_VPT_ENABLE is enabled so norvale-mail's port is %d.",
    /* 45 */ "norvale-linkprobe.exe is in ignored app in the conf file, so don't test the LSP "
             "healthiness.",
    /* 46 */ "The hijacked ports from the conf file is empty, so don't test the LSP healthiness.",
    /* 47 */ "The norvale-mail listen address is not '%s' or '%s' (default) but '%s', so don't "
             "test the LSP healthiness.",
    /* 48 */ "norvale-linkprobe.exe will be called with: -lspcheck portClient=%d, portServer=%d, "
             "hostServer=%s.",
    /* 49 */ "norvale-linkprobe.exe returned success: the LSP is doing OK.",
    /* 50 */ "norvale-linkprobe.exe returned failure: the LSP healthy check failed.",
    /* 51 */ "norvale-linkprobe.exe returned 'Wrong params!',",
    /* 52 */ "norvale-linkprobe.exe was not found.",
    /* 53 */ "norvale-linkprobe.exe returned other errors.",
    /* 54 */ "norvale-linkprobe.exe returned unknown value.",
    /* 55 */ "Path to conf file (user_norvale_path+conf file): '%s'.",
    /* 56 */ "Error reading the config file: '%s'.",
    /* 57 */ "Unknown error reading the config file.",
    /* 58 */ "The info read from the conf file are:",
    /* 59 */ "TR_LISTEN_PORT from config file = %d.",
    /* 60 */ "TR_LISTEN_HOST = '%s'.",
    /* 61 */ "The list of redirected ports:",
    /* 62 */ "TR_VPT_ENABLE: is enabled.",
    /* 63 */ "TR_VPT_ENABLE: is disabled.",
    /* 64 */ "The list of ignored apps:",
    /* 65 */ "Conf file '%s' access was successful.",
    /* 66 */ "'%s' is missing or inaccessible.",
    /* 67 */ "Executing '%s' with %s %s returned %d.",
    /* 68 */ "Outlook application not found. Skipping norvale-outlook.dll registration.",
    /* 69 */ "Important information:\n\n"
             "An existing version of Microsoft Outlook has been detected.\n"
             "While trying to register the encyption plugin 'norvale-outlook.dll' an error "
             "ocurred.\n\n"
             "This could be due to inappropriate user rights.\n"
             "In that case, please relogin as an user with full administrative rights.\n\n"
             "If the error persists, probably the Norvale installation is incomplete\n"
             "and the required files have not been copied.\n"
             "In that case, please consult your system administrator.\n\n"
             "Norvale Microsoft Outlook encryption will remain DEACTIVATED.",
    /* 70 */ "Unable to access OL_REGISTERED_VERSION key value in norvale-global.conf.",
    /* 71 */ "The version norvale-outlook.dll is currently registered with ('%s') does %smatch "
             "the existing version ('%s') in norvale-global.conf.",
    /* 72 */ "Current OL version for norvale-outlook.dll successfully updated to '%s' in "
             "norvale-global.conf.",
    /* 73 */ "The HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Account Manager\\Accounts was "
             "not found in the registry.",
    /* 74 */ "The longest subkey from the Accounts key is having %d chars.",
    /* 75 */ "Found the subkey: %s in the Accounts registry key.",
    /* 76 */ "The full subkey paths is: %s",
    /* 77 */ "There is an 'SMTP Email Address': %s.",
    /* 78 */ "The user part is installing.",
    /* 79 */ "The user doesn't want to install the user part.",
    /* 80 */ "Allocing memory failed.",
    /* 81 */ "No 'SMTP Email Address' was found.",
    /* 82 */ "norvale-msg.exe window not found.",
    /* 83 */ "norvale-msg.exe process ID not found.",
    /* 84 */ "Terminate norvale-msg.exe process failed.",
    /* 85 */ "norvale-msg.exe shut down successfully.",
    /* 86 */ "norvale-linkprobe.exe will be called with: -lspcheckfus hostConnect=%s, "
             "portConnect=%d.",
};

HANDLE g_instanceMutex = nullptr;

namespace {

constexpr int kModulePathUnknown = -37;
// MessageBoxA's own result for a box that was not shown.
constexpr int kNoBox = 0;
constexpr UINT kQuestionAndInformationIcons = MB_ICONQUESTION | MB_ICONINFORMATION;
constexpr char kErrorCaptionSuffix[] = " error: ";

constexpr std::size_t kModulePathSize = kMaxPath;

// The program's file name without folder and extension; false when the
// module path is unknown or does not fit.
bool programName(std::string& name) {
    char path[kModulePathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, kModulePathSize);
    if (length == 0 || length >= kModulePathSize) return false;
    name = fileStem(path);
    return true;
}

}  // namespace

int showMessage(int number, UINT style, HWND owner) {
    std::string caption;
    if (!programName(caption)) return kModulePathUnknown;
    // A number outside the table has no text; show nothing rather than read
    // past the table.
    if (number < -(kMessageCount - 1) || number > kMessageCount - 1) return kNoBox;
    if (number < 0) {
        caption += kErrorCaptionSuffix;
        style = (style & ~kQuestionAndInformationIcons) | MB_ICONERROR;
    }
    style |= MB_TOPMOST;
    return MessageBoxA(owner, messageTable[std::abs(number)], caption.c_str(), style);
}

void fatalExit(int number, UINT style, HWND owner) {
    showMessage(number, style, owner);
    if (g_instanceMutex) ReleaseMutex(g_instanceMutex);
    std::exit(number);
}
