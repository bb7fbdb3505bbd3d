// The platform's FDI with its plainest callbacks (open for reading, read, write, close,
// seek), for the programs that measure against it or read a cabinet's directory with it.
#pragma once

#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>

namespace plain_fdi {

inline FNALLOC(Alloc) { return std::malloc(cb); }
inline FNFREE(Free) { std::free(pv); }
inline FNOPEN(Open) {
    (void)oflag, (void)pmode;
    HANDLE f = CreateFileA(pszFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return f == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(f);
}
inline FNREAD(Read) {
    DWORD done = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}
inline FNWRITE(Write) {
    DWORD done = 0;
    return WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}
inline FNCLOSE(Close) { return CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1; }
inline FNSEEK(Seek) {
    DWORD method = seektype == SEEK_CUR ? FILE_CURRENT : seektype == SEEK_END ? FILE_END : FILE_BEGIN;
    return static_cast<long>(SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, method));
}

// A context for FDICopy with these callbacks; null when FDI cannot start.
inline HFDI Create(ERF& error) {
    return FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &error);
}

}  // namespace plain_fdi
