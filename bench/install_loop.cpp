// install_loop.exe DESTINATION CABINET...: unpacks each cabinet into DESTINATION with the
// host library's InstallCab and nothing else: the floor the update is measured against.
#include <cstdio>

#include "host/corvane.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: install_loop.exe DESTINATION CABINET...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        if (!InstallCab(argv[i], argv[1], 1, 0)) {
            std::fprintf(stderr, "install_loop: %s failed\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
