// A file in the temporary folder with the given bytes, removed again when the
// test is done. Only the standard library, so the tests that use it also run
// natively.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

class TempConfFile {
public:
    explicit TempConfFile(const std::string& content) : path_(uniquePath()) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    TempConfFile(const TempConfFile&) = delete;
    TempConfFile& operator=(const TempConfFile&) = delete;
    ~TempConfFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

    std::string path() const { return path_.string(); }

    static std::filesystem::path uniquePath() {
        static std::atomic<unsigned> counter{0};
        auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        return std::filesystem::temp_directory_path() /
               ("norvale-conf-" + std::to_string(now) + "-" + std::to_string(++counter) + ".conf");
    }

private:
    std::filesystem::path path_;
};
