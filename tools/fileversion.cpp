// fileversion.exe FILE: prints the file version the host library reads from FILE, the
// same text the extension compares (used by the demo to show the marker's version).
#include <cstdio>

#include "host/corvane.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fileversion.exe FILE\n");
        return 2;
    }
    char version[CORVANE_TEXT_SIZE] = "";
    char text[CORVANE_TEXT_SIZE] = "";
    int found = GetFileVersion(argv[1], version, text);
    std::printf("%s\n", version);
    return found ? 0 : 1;
}
