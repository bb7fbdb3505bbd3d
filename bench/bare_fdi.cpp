// bare_fdi.exe [--flush] DESTINATION CABINET...: unpacks each cabinet into DESTINATION
// with the platform's FDI and the plainest callbacks (open, read, write, close, seek;
// each file's parent folders made; no checks, no staging, no times): the floor that the
// host's unpacking is measured against. With --flush each file is flushed to the disk
// before it is closed, the floor of a durable unpack. Trusts the cabinets: never use it
// on one from outside.
#include <cstdio>
#include <string>

#include "plain_fdi.h"

namespace {

std::string destination;
bool flush = false;

FNFDINOTIFY(Notify) {
    if (fdint == fdintCOPY_FILE) {
        std::string path = destination + pfdin->psz1;
        for (std::size_t at = path.find('\\', destination.size()); at != std::string::npos; at = path.find('\\', at + 1))
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return f == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(f);
    }
    if (fdint == fdintCLOSE_FILE_INFO) {
        if (flush) FlushFileBuffers(reinterpret_cast<HANDLE>(pfdin->hf));
        return CloseHandle(reinterpret_cast<HANDLE>(pfdin->hf));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    flush = argc > 1 && std::string(argv[1]) == "--flush";
    if (flush) --argc, ++argv;
    if (argc < 3) {
        std::fprintf(stderr, "usage: bare_fdi.exe [--flush] DESTINATION CABINET...\n");
        return 2;
    }
    destination = argv[1];
    if (destination.back() != '\\') destination += '\\';
    ERF error{};
    HFDI fdi = plain_fdi::Create(error);
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
