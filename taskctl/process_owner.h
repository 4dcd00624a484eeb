// The account a process runs under, as "DOMAIN\name".
#pragma once

#include <windows.h>

#include <string>

namespace taskctl {

// Looks up the token user of processId and formats it as domain, one
// backslash and account name. Returns 0 and sets owner, or the system's
// error; ERROR_OUTOFMEMORY when the token information cannot be allocated,
// E_OUTOFMEMORY when a name buffer cannot.
DWORD processOwner(DWORD processId, std::string& owner);

}  // namespace taskctl
