#include "tests/standins/mail/listen_address.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace standin {

namespace {

constexpr const char kListenKey[] = "TR_ADDRESS_TO_LISTEN";

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool parseHostPort(const std::string& value, ListenAddress& address) {
    std::size_t colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string portText = value.substr(colon + 1);
    char* end = nullptr;
    long port = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || port < 0 || port > 65535) return false;
    address.host = value.substr(0, colon);
    address.port = static_cast<int>(port);
    return true;
}

}  // namespace

std::string configPathArgument(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-c") == 0) return argv[i + 1];
    }
    return std::string();
}

ListenAddress readListenAddress(const std::string& configPath) {
    ListenAddress address;
    std::ifstream in(configPath);
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line.substr(0, line.find('#')));
        std::size_t equals = line.find('=');
        if (equals == std::string::npos || trim(line.substr(0, equals)) != kListenKey) continue;
        ListenAddress parsed;
        if (parseHostPort(trim(line.substr(equals + 1)), parsed)) address = parsed;
    }
    return address;
}

}  // namespace standin
