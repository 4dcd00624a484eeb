// Serves the memory the C runtime's start-up code asks for before the
// program's own code runs, when the heap refuses it. That code copies the
// program's arguments with malloc, and the 32-bit build registers its
// unwind tables through the threads library, which takes a block with
// calloc; neither checks the result, so a heap that is short of memory at
// that moment crashed every program before its first line. Every malloc and
// calloc of a shipped program passes through here (the link wraps both
// symbols); once the program's first own constructor has run, a refused
// allocation is reported as it always was, so that the program's own
// handling of memory exhaustion takes over.
#include <cstddef>

extern "C" void* __real_malloc(std::size_t size);
extern "C" void* __real_calloc(std::size_t count, std::size_t size);

namespace {

// The argument copies need at most twice the longest command line Windows
// passes (32767 characters), plus a pointer per argument.
constexpr std::size_t kReserveSize = 96 * 1024;
constexpr std::size_t kAlignment = 16;

alignas(kAlignment) unsigned char g_reserve[kReserveSize];
std::size_t g_reserveUsed = 0;
bool g_startupDone = false;

// Runs among the first constructors, after the start-up code has copied the
// arguments and the unwind tables are registered (the runtime's own
// constructor, which runs first). The blocks handed out before are never
// freed: they are the argument copies and the threads library's once
// records, which live as long as the program. The reserve is zero-filled
// and never reused, so it serves calloc as it is.
__attribute__((constructor(101))) void endStartup() { g_startupDone = true; }

void* fromReserve(std::size_t size) {
    const std::size_t rounded = (size + kAlignment - 1) & ~(kAlignment - 1);
    if (rounded < size || rounded > kReserveSize - g_reserveUsed) return nullptr;
    void* block = g_reserve + g_reserveUsed;
    g_reserveUsed += rounded;
    return block;
}

}  // namespace

extern "C" void* __wrap_malloc(std::size_t size) {
    void* block = __real_malloc(size);
    if (block != nullptr || g_startupDone) return block;
    return fromReserve(size);
}

extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
    void* block = __real_calloc(count, size);
    if (block != nullptr || g_startupDone) return block;
    if (size != 0 && count > static_cast<std::size_t>(-1) / size) return nullptr;
    return fromReserve(count * size);
}
