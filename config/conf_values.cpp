#include "config/conf_values.h"

#include "common/ansi_text.h"
#include "config/conf_exceptions.h"
#include "config/conf_text.h"

#include <boost/tokenizer.hpp>

#include <algorithm>

namespace {

const char kNoSeparatorPrefix[] = "No separator ':' found in '";
const char kNoSeparatorSuffix[] = "'.";
const char kBadHostnameSuffix[] = "' is not a valid hostname.";
const char kBadPortSuffix[] = "' is not a valid portnumber [1, 65535].";
const char kTooManyPortsSuffix[] = "' names more than 1048576 ports.";
static_assert(kMaxPortListPorts == 1048576u, "the refusal text names the limit");

const char kHostPortSeparator = ':';
const char kExcludeMark = '!';
const char kRangeMark = '-';
const std::int32_t kLowestPort = 1;
const std::int32_t kHighestPort = 65535;

using Pieces = boost::tokenizer<boost::char_separator<char>>;

// Splits at every character of separators; empty pieces are dropped.
Pieces splitList(const std::string& value, const std::string& separators) {
    return Pieces(value, boost::char_separator<char>(separators.c_str()));
}

void appendRange(PortList& ports, std::int32_t low, std::int32_t high) {
    if (high < low) std::swap(low, high);
    ports.reserve(static_cast<std::size_t>(high - low) + 1);
    for (std::int32_t port = low; port <= high; ++port) ports.push_back(port);
}

// The host is handed on unquoted as one command-line argument: a blank, a
// tab, a double quote or a control character, which a bracketed host can
// keep through its quoted pairs, would split or shift the arguments.
bool isSafeArgument(const std::string& host) {
    for (char c : host) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == ' ' || c == '"') return false;
    }
    return true;
}

}  // namespace

std::int32_t validatePort(const std::string& text) {
    std::int32_t port = 0;
    bool converted = conftext::toInt32(conftext::trim(text), port);
    if (!converted || port < kLowestPort || port > kHighestPort)
        throw fendrel::invalid_argument("'" + text + kBadPortSuffix);
    return port;
}

std::string validateHostname(const std::string& host) {
    std::string domain;
    const bool parsed = parseDomain(domain, host.data(), host.data() + host.size(), true);
    if (!parsed || !isSafeArgument(domain))
        throw fendrel::invalid_argument("'" + host + kBadHostnameSuffix);
    return domain;
}

std::pair<PortList, bool> parsePortItem(const std::string& item) {
    std::pair<PortList, bool> result(PortList(), false);
    std::string text = conftext::trim(item);
    if (text.empty()) return result;
    if (text[0] == kExcludeMark) {
        result.second = true;
        text.erase(0, 1);
    }
    std::string::size_type dash = text.find(kRangeMark);
    if (dash == std::string::npos) {
        result.first.push_back(validatePort(text));
        return result;
    }
    std::int32_t low = validatePort(conftext::trim(text.substr(0, dash)));
    std::int32_t high = validatePort(conftext::trim(text.substr(dash + 1)));
    appendRange(result.first, low, high);
    return result;
}

void HostPortValue::operator()(std::string value) const {
    std::string::size_type colon = value.find(kHostPortSeparator);
    if (colon == std::string::npos)
        throw fendrel::invalid_argument(kNoSeparatorPrefix + value + kNoSeparatorSuffix);
    std::string host = validateHostname(value.substr(0, colon));
    std::int32_t port = validatePort(value.substr(colon + 1));
    *port_ = port;
    host_->swap(host);
}

// Exclusions remove the ports that items before them added, never those of
// items after them. Rather than rewriting the list per exclusion, each port
// remembers the last item that excluded it, and an added port survives when
// no exclusion came after its own item: linear in the ports named.
void PortListValue::operator()(std::string value) const {
    std::vector<std::pair<std::int32_t, std::size_t>> added;  // port, item number
    std::vector<std::size_t> lastExclusion;  // per port; 0 when never excluded
    std::size_t portsNamed = 0;
    std::size_t itemNumber = 0;
    for (const std::string& piece : splitList(value, separators_)) {
        ++itemNumber;
        if (conftext::trim(piece).empty()) continue;
        std::pair<PortList, bool> item = parsePortItem(piece);
        portsNamed += item.first.size();
        if (portsNamed > kMaxPortListPorts)
            throw fendrel::invalid_argument("'" + value + kTooManyPortsSuffix);
        if (item.second) {
            if (lastExclusion.empty()) lastExclusion.assign(static_cast<std::size_t>(kHighestPort) + 1, 0);
            for (std::int32_t port : item.first) lastExclusion[static_cast<std::size_t>(port)] = itemNumber;
        } else {
            for (std::int32_t port : item.first) added.emplace_back(port, itemNumber);
        }
    }

    PortList ports;
    ports.reserve(added.size());
    for (const std::pair<std::int32_t, std::size_t>& entry : added) {
        if (lastExclusion.empty() || lastExclusion[static_cast<std::size_t>(entry.first)] < entry.second)
            ports.push_back(entry.first);
    }
    target_->swap(ports);
}

void AppListValue::operator()(std::string value) const {
    AppList names;
    for (const std::string& piece : splitList(value, separators_)) {
        std::string name = conftext::trim(piece);
        if (name.empty()) continue;
        ansi::lowerAsciiLetters(name);
        names.push_back(std::move(name));
    }
    target_->swap(names);
}
