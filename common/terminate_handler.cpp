// The terminate handler of the shipped programs. Every entry point catches
// everything, so std::terminate is reached only through a fault such as an
// exception leaving a destructor. The C++ runtime's default handler writes
// the demangled type of the exception to stderr before it aborts, and for
// that one line links the C++ name demangler (about 50 KB) into every
// program; the GUI programs have nowhere to show it. Defining the runtime's
// default handler here keeps the demangler out; it ends the process as that
// handler does at its end, with abort().
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
