// lock_holder.exe FILE: holds FILE open the way a lock holder does (written, shared for
// reading and writing but not for deleting), creates FILE.held when it has it, and lets
// go when FILE.release appears (or after 60 seconds).
#include <windows.h>
#include <share.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lock_holder.exe FILE\n");
        return 2;
    }
    std::string file = argv[1];
    std::FILE* lock = _fsopen(file.c_str(), "w", _SH_DENYNO);
    if (!lock) {
        std::fprintf(stderr, "lock_holder: cannot open %s\n", file.c_str());
        return 1;
    }
    std::fclose(std::fopen((file + ".held").c_str(), "w"));
    for (int waited = 0; waited < 6000; ++waited) {
        if (GetFileAttributesA((file + ".release").c_str()) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(10);
    }
    std::fclose(lock);
    return 0;
}
