// Exception types of the configuration reader: one for problems with the
// file itself, one for values that break a rule.
#pragma once

#include <stdexcept>
#include <string>

namespace orbexcept {

// The configuration file cannot be opened or read.
class runtime_error : public std::runtime_error {
public:
    explicit runtime_error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace orbexcept

namespace fendrel {

// A configuration value that breaks a rule; the reader records it and goes on.
class invalid_argument : public std::invalid_argument {
public:
    explicit invalid_argument(const std::string& message) : std::invalid_argument(message) {}
};

}  // namespace fendrel
