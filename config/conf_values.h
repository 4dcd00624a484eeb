// Converters from configuration value texts to typed fields: a listening
// address written as host and port, a list of ports with ranges and
// exclusions, and a list of application file names. Each handler writes its
// target only when the whole value is valid; otherwise it throws
// fendrel::invalid_argument and the target keeps its content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using PortList = std::vector<std::int32_t>;
using AppList = std::vector<std::string>;

struct HostPort {
    std::int32_t port = 0;
    std::string host;
};

// Ports that the items of one port list value may name in all, exclusions
// included (sixteen times the whole port range). A longer list is refused:
// it would take memory and time without bound.
constexpr std::size_t kMaxPortListPorts = 16u * 65536u;

// The number in 1 to 65535 that the text holds (white space around it
// allowed, an optional sign, decimal digits only), or throws.
std::int32_t validatePort(const std::string& text);
// The host without its white space and comments, or throws; also for a
// host that would not pass as one command-line argument.
std::string validateHostname(const std::string& host);
// Recognises a domain (dot-atom or domain literal) in [begin, end), which it
// must consume completely. With skipCfws, comments and folding white space
// may stand before, after and between any two characters and are left out
// of the output. out is only written on success.
bool parseDomain(std::string& out, const char* begin, const char* end, bool skipCfws);
// The ports of one list item ("25", "1-5", "!3", "!10-20") and whether the
// item excludes them. An empty item names no ports.
std::pair<PortList, bool> parsePortItem(const std::string& item);

// "host:port".
class HostPortValue {
public:
    HostPortValue(std::int32_t& port, std::string& host) : port_(&port), host_(&host) {}
    explicit HostPortValue(HostPort& target) : HostPortValue(target.port, target.host) {}
    void operator()(std::string value) const;

private:
    std::int32_t* port_;
    std::string* host_;
};

// Items separated by any character of separators; later exclusions remove
// ports that earlier items added.
class PortListValue {
public:
    PortListValue(PortList& target, std::string separators)
        : target_(&target), separators_(std::move(separators)) {}
    void operator()(std::string value) const;

private:
    PortList* target_;
    std::string separators_;
};

// Names separated by any character of separators, trimmed, in lower case.
class AppListValue {
public:
    AppListValue(AppList& target, std::string separators)
        : target_(&target), separators_(std::move(separators)) {}
    void operator()(std::string value) const;

private:
    AppList* target_;
    std::string separators_;
};
