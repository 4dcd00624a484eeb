// Owner of a C runtime stream (fopen), closed when it goes out of scope.
// It lives apart from handles.h because code that also builds natively
// (the configuration reader) uses it, and handles.h needs <windows.h>.
#pragma once

#include <cstdio>
#include <memory>

namespace norvale {

struct CrtFileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

using CrtFile = std::unique_ptr<std::FILE, CrtFileCloser>;

}  // namespace norvale
