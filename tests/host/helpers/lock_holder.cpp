// lock_holder.exe FILE [viewer]: holds FILE open the way a lock holder does (written,
// shared for reading and writing but not for deleting), or with "viewer" the way a
// program that shows the file does (read, the same sharing, the file left as it is);
// creates FILE.held when it has it, and lets go when FILE.release appears (or after 60
// seconds).
#include <windows.h>
#include <share.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "viewer")) {
        std::fprintf(stderr, "usage: lock_holder.exe FILE [viewer]\n");
        return 2;
    }
    std::string file = argv[1];
    bool viewer = argc == 3;
    HANDLE view = INVALID_HANDLE_VALUE;
    std::FILE* lock = nullptr;
    if (viewer)
        view = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    else
        lock = _fsopen(file.c_str(), "w", _SH_DENYNO);
    if (viewer ? view == INVALID_HANDLE_VALUE : !lock) {
        std::fprintf(stderr, "lock_holder: cannot open %s\n", file.c_str());
        return 1;
    }
    std::fclose(std::fopen((file + ".held").c_str(), "w"));
    for (int waited = 0; waited < 6000; ++waited) {
        if (GetFileAttributesA((file + ".release").c_str()) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(10);
    }
    if (lock) std::fclose(lock);
    if (view != INVALID_HANDLE_VALUE) CloseHandle(view);
    return 0;
}
