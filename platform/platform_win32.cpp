// The platform operations on Win32: each is the system call itself.
#include "platform.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace platform {

namespace {
constexpr DWORD kHolderMarkOffsetHigh = 0x7FFFFFFF;
}

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

namespace {
// What a search that found nothing says: no match, or no such folder.
bool NothingThere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}
}  // namespace

DirectorySearch::DirectorySearch(const char* pattern) : state_(new State) {
    state_->handle = FindFirstFileA(pattern, &state_->data);
    found_ = state_->handle != INVALID_HANDLE_VALUE;
    if (!found_ && !NothingThere(GetLastError())) error_ = GetLastError();
}

DirectorySearch::~DirectorySearch() {
    if (state_->handle != INVALID_HANDLE_VALUE) FindClose(state_->handle);
    delete state_;
}

const char* DirectorySearch::Name() const {
    return state_->data.cFileName;
}

bool DirectorySearch::Next() {
    if (!found_) return false;
    found_ = FindNextFileA(state_->handle, &state_->data) != 0;
    if (!found_ && GetLastError() != ERROR_NO_MORE_FILES) error_ = GetLastError();
    return found_;
}

void ErrorText(unsigned error, char* text, unsigned size) {
    if (size == 0) return;
    text[0] = '\0';
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  size, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.'))
        text[--length] = '\0';
    if (length == 0) std::snprintf(text, size, "error %u", error);
}

bool DeleteFileAt(const char* path) {
    return DeleteFileA(path) != 0;
}

bool IsDirectory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A rename only (no copy across volumes), which for a directory is one step: the tree is
// either under its old name or under its new one.
MoveResult MovePath(const char* from, const char* to) {
    if (MoveFileExA(from, to, 0)) return MoveResult::Moved;
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return MoveResult::SourceMissing;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS: return MoveResult::TargetExists;
        default: return MoveResult::Failed;
    }
}

LockOpen OpenSharedLockStream(const char* path, std::FILE*& stream, unsigned& error) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION) return LockOpen::HeldElsewhere;
        return error == ERROR_PATH_NOT_FOUND ? LockOpen::FolderMissing : LockOpen::Failed;
    }
    // A byte-range lock far past any content tells holders apart without narrowing the
    // sharing or blocking reads and writes; it is taken before the file is cut, so another
    // holder's file is left as it is.
    OVERLAPPED region{};
    region.OffsetHigh = kHolderMarkOffsetHigh;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &region)) {
        CloseHandle(file);
        return LockOpen::HeldElsewhere;
    }
    int descriptor = SetEndOfFile(file) ? _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY) : -1;
    if (descriptor == -1) {
        error = GetLastError();
        CloseHandle(file);
        return LockOpen::Failed;
    }
    stream = _fdopen(descriptor, "w");
    if (!stream) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        _close(descriptor);
        return LockOpen::Failed;
    }
    return LockOpen::Opened;
}

}  // namespace platform
