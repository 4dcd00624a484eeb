// norvale-taskctl.exe: stops the product's programs and restarts the
// launcher. Everything it prints goes to standard error; the exit code is a
// Windows status code.
#include "taskctl/taskctl.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

int main(int argc, char** argv) {
    // Lines end in a bare line feed as written; the system's message texts
    // keep their own CR LF instead of gaining a second CR.
    _setmode(_fileno(stderr), _O_BINARY);
    return static_cast<int>(taskctl::runTaskctl(argc, argv, stderr));
}
