// Seeds the stack protector's guard of the shipped programs before the
// runtime's own set-up does. That set-up (libssp's with this MinGW-w64)
// draws the guard from a CryptoAPI provider, and loading the provider
// costs every start of a program several milliseconds under Wine; it skips
// its work when the guard is set already. RtlGenRandom is the random source
// behind that provider, without the provider.
#include <windows.h>

#include <ntsecapi.h>

extern "C" void* __stack_chk_guard;

namespace {

// Runs among the first constructors, before the runtime's own of default
// priority. It has no protection itself: its check on return would compare
// against the guard it has just changed.
__attribute__((constructor(101), no_stack_protector)) void seedStackGuard() {
    void* guard = nullptr;
    if (RtlGenRandom(&guard, sizeof guard) && guard) __stack_chk_guard = guard;
}

}  // namespace
