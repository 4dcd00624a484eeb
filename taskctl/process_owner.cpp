#include "taskctl/process_owner.h"

#include "common/handles.h"
#include "taskctl/status.h"

#include <new>
#include <vector>

namespace taskctl {

namespace {

constexpr DWORD kOwnerProcessAccess = PROCESS_QUERY_INFORMATION;   // 0x0400
constexpr DWORD kOwnerTokenAccess = TOKEN_QUERY | TOKEN_QUERY_SOURCE;  // 0x0018

// Reads the TokenUser information of token into buffer.
DWORD readTokenUser(HANDLE token, std::vector<BYTE>& buffer) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return lastErrorOr(ERROR_INVALID_DATA);
    try {
        buffer.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return kStatusOutOfMemory;
    }
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return lastErrorOr(ERROR_INVALID_DATA);
    return 0;
}

// Looks the SID up and formats "domain\name" into owner.
DWORD formatAccount(PSID sid, std::string& owner) {
    DWORD nameLength = 0;
    DWORD domainLength = 0;
    SID_NAME_USE use;
    LookupAccountSidA(nullptr, sid, nullptr, &nameLength, nullptr, &domainLength, &use);
    if (nameLength == 0 || domainLength == 0) return lastErrorOr(ERROR_NONE_MAPPED);
    try {
        // The first call counts the terminating NUL on most systems but not
        // on all; one more character makes either answer fit.
        std::vector<char> name(nameLength + 1, '\0');
        std::vector<char> domain(domainLength + 1, '\0');
        nameLength = static_cast<DWORD>(name.size());
        domainLength = static_cast<DWORD>(domain.size());
        if (!LookupAccountSidA(nullptr, sid, name.data(), &nameLength, domain.data(), &domainLength,
                               &use))
            return lastErrorOr(ERROR_NONE_MAPPED);
        owner.assign(domain.data());
        owner += '\\';
        owner += name.data();
    } catch (const std::bad_alloc&) {
        return kStatusNameOutOfMemory;
    }
    return 0;
}

}  // namespace

DWORD processOwner(DWORD processId, std::string& owner) {
    norvale::KernelHandle process(OpenProcess(kOwnerProcessAccess, FALSE, processId));
    if (!process) return lastErrorOr(ERROR_INVALID_PARAMETER);

    norvale::KernelHandle token;
    if (!OpenProcessToken(process.get(), kOwnerTokenAccess, token.receive()))
        return lastErrorOr(ERROR_INVALID_HANDLE);

    std::vector<BYTE> tokenUser;
    DWORD error = readTokenUser(token.get(), tokenUser);
    if (error != 0) return error;

    auto* user = reinterpret_cast<TOKEN_USER*>(tokenUser.data());
    return formatAccount(user->User.Sid, owner);
}

}  // namespace taskctl
