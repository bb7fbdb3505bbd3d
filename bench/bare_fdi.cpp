// bare_fdi.exe DESTINATION CABINET...: unpacks each cabinet into DESTINATION with the
// platform's FDI and the plainest callbacks (open, read, write, close, seek; each file's
// parent folders made; no checks, no staging, no times): the floor that the host's
// unpacking is measured against. Trusts the cabinets: never use it on one from outside.
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string destination;

FNALLOC(Alloc) { return std::malloc(cb); }
FNFREE(Free) { std::free(pv); }
FNOPEN(Open) {
    (void)oflag, (void)pmode;
    HANDLE f = CreateFileA(pszFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return f == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(f);
}
FNREAD(Read) {
    DWORD done = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}
FNWRITE(Write) {
    DWORD done = 0;
    return WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}
FNCLOSE(Close) { return CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1; }
FNSEEK(Seek) {
    DWORD method = seektype == SEEK_CUR ? FILE_CURRENT : seektype == SEEK_END ? FILE_END : FILE_BEGIN;
    return static_cast<long>(SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, method));
}

FNFDINOTIFY(Notify) {
    if (fdint == fdintCOPY_FILE) {
        std::string path = destination + pfdin->psz1;
        for (std::size_t at = path.find('\\', destination.size()); at != std::string::npos; at = path.find('\\', at + 1))
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return f == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(f);
    }
    if (fdint == fdintCLOSE_FILE_INFO) return CloseHandle(reinterpret_cast<HANDLE>(pfdin->hf));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bare_fdi.exe DESTINATION CABINET...\n");
        return 2;
    }
    destination = argv[1];
    if (destination.back() != '\\') destination += '\\';
    ERF error{};
    HFDI fdi = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &error);
    for (int i = 2; i < argc; ++i) {
        std::string path = argv[i];
        std::string folder = path.substr(0, path.find_last_of('\\') + 1), name = path.substr(folder.size());
        if (!FDICopy(fdi, &name[0], &folder[0], 0, Notify, nullptr, nullptr)) {
            std::fprintf(stderr, "bare_fdi: %s failed\n", argv[i]);
            return 1;
        }
    }
    FDIDestroy(fdi);
    return 0;
}
