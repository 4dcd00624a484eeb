// Owner of OLE on the calling thread. Kept apart from handles.h because only
// the DLL registration tool needs OLE, and ole2.h is large.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace norvale {

// Initialises OLE on the calling thread, apartment-threaded, for the owner's
// lifetime. Only a successful initialisation is undone (S_FALSE, a thread
// that had OLE already, counts too); where it failed, for example because
// the thread is in another kind of apartment (RPC_E_CHANGED_MODE), the
// thread is left as it was. Undoing keeps the caller's last error intact.
class OleApartment {
public:
    OleApartment() noexcept : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleApartment() {
        if (!initialised_) return;
        DWORD lastError = GetLastError();
        OleUninitialize();
        SetLastError(lastError);
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;

private:
    bool initialised_;
};

}  // namespace norvale
