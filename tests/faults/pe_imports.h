// The functions a program file imports, read from its import table.
#pragma once

#include <string>
#include <vector>

namespace faults {

struct Import {
    std::string dll;   // lower case, without ".dll"
    std::string name;  // empty for an import by ordinal
};

// The imports of the program file at path; empty when it cannot be read
// as a PE image.
std::vector<Import> importsOf(const std::string& path);

}  // namespace faults
