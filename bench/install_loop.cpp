// install_loop.exe [--no-flush] DESTINATION CABINET...: unpacks each cabinet into
// DESTINATION with the host library's InstallCab and nothing else. With --no-flush the
// host's flushes do nothing (its file-system table's entry replaced): what durability
// costs, measured, never a way to run.
#include <cstdio>
#include <cstring>

#include "corvane/file_system.h"
#include "host/corvane.h"

namespace {
BOOL NoFlush(HANDLE) { return TRUE; }
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--no-flush") == 0) {
        CorvaneFileSystem().flush = NoFlush;
        --argc, ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: install_loop.exe [--no-flush] DESTINATION CABINET...\n");
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
