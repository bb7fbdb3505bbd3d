// is_locked.exe FILE: asks the host library, from a process of its own, whether FILE is
// locked. Exit status 1 when it is, 0 when it is not.
#include <cstdio>

#include "host/corvane.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: is_locked.exe FILE\n");
        return 2;
    }
    return FileLocked("", argv[1]) ? 1 : 0;
}
