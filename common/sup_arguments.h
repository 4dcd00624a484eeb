// The folder arguments the set-up processor takes from the launcher and the
// remover: "--user-folder", "--client-folder" and "--system-folder", each
// followed by its folder in double quotes.
#pragma once

#include <string>

// The three arguments of one run; user stays empty for a run that names
// its users one by one.
struct SupFolderArguments {
    std::string user;
    std::string client;
    std::string system;
};

// "--user-folder \"<userFolder>\"".
std::string supUserFolderArgument(const std::string& userFolder);

// The user's, the program's and the system folder's arguments, logged as
// "User param: '...'", "Binary param: '...'" and "System param: '...'".
// Throws as systemFolder() does, also when the program's own folder cannot
// be read.
SupFolderArguments supFolderArguments(const std::string& userFolder);

// The program's and the system folder's arguments alone, logged as
// "Binary param: '...'" and "System param: '...'". Throws as above.
SupFolderArguments supMachineFolderArguments();
