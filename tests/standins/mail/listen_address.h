// The address the mail proxy stand-in listens on: TR_ADDRESS_TO_LISTEN
// (host:port) of the configuration file named after "-c".
#pragma once

#include <string>

namespace standin {

struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 3887;
};

// The value after "-c" in argv, or empty.
std::string configPathArgument(int argc, char** argv);

// TR_ADDRESS_TO_LISTEN of the file (key=value lines, "#" comments); the
// default address when the file, the key or a usable value is missing.
ListenAddress readListenAddress(const std::string& configPath);

}  // namespace standin
