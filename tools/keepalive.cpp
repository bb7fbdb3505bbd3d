// keepalive.exe STOPFILE: a Windows process that does nothing until STOPFILE appears (or
// three hours pass). While it lives, the Wine prefix is never without a process: Wine
// winds down its own system processes whenever the last program of a prefix ends, and a
// program starting at that moment may be dropped ("recvmsg: Connection reset by peer").
// It writes STOPFILE.up once it runs.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: keepalive.exe STOPFILE\n");
        return 2;
    }
    std::string stop = argv[1];
    CloseHandle(CreateFileA((stop + ".up").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int waited = 0; waited < 3 * 3600 * 10; ++waited) {
        if (GetFileAttributesA(stop.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    DeleteFileA((stop + ".up").c_str());
    DeleteFileA(stop.c_str());
    return 0;
}
