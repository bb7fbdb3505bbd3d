// The platform operations on Win32: each is the system call itself.
#include "platform.h"

#include <windows.h>
#include <share.h>

namespace platform {

ModuleHandle LoadedModule(const char* fileName) {
    return GetModuleHandleA(fileName);
}

unsigned ModuleFileName(ModuleHandle module, char* buffer, unsigned size) {
    return GetModuleFileNameA(static_cast<HMODULE>(module), buffer, size);
}

struct DirectorySearch::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
};

DirectorySearch::DirectorySearch(const char* pattern) : state_(new State) {
    state_->handle = FindFirstFileA(pattern, &state_->data);
    found_ = state_->handle != INVALID_HANDLE_VALUE;
}

DirectorySearch::~DirectorySearch() {
    if (state_->handle != INVALID_HANDLE_VALUE) FindClose(state_->handle);
    delete state_;
}

const char* DirectorySearch::Name() const {
    return state_->data.cFileName;
}

bool DirectorySearch::Next() {
    found_ = found_ && FindNextFileA(state_->handle, &state_->data);
    return found_;
}

bool DeleteFileAt(const char* path) {
    return DeleteFileA(path) != 0;
}

std::FILE* OpenSharedLockStream(const char* path) {
    // _SH_DENYNO shares reading and writing; the C runtime never adds delete sharing.
    return _fsopen(path, "w", _SH_DENYNO);
}

}  // namespace platform
