// Closing a product program through its top-level window.
#pragma once

#include <windows.h>

#include <cstdio>

#include "common/product_windows.h"

namespace taskctl {

// Finds the target's window and closes its process. Without a window the
// status line for 1400, and for a window without process that for 127, is
// printed and status kept; otherwise status becomes the result of closing
// (printed when it is not 0).
void closeTargetWindow(const ProductWindow& target, DWORD& status, FILE* out);

}  // namespace taskctl
