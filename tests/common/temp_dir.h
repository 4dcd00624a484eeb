// A fresh folder under the Wine user's temp folder, removed with everything
// in it when the test ends.
#pragma once

#include <windows.h>

#include <string>

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    // The folder, without a trailing backslash.
    const std::string& path() const { return path_; }
    // path() + "\" + relative.
    std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

// Whole-file helpers for the tests.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool folderExists(const std::string& path);
