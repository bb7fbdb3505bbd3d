// The few operating-system operations the extension uses itself. One implementation is
// the real Win32 API; the other lets the same sources run natively on POSIX, where
// backslashes in paths are taken as directory separators.
#pragma once

#include <cstdio>

namespace platform {

using ModuleHandle = void*;

// Handle of a module already loaded in the process, found by file name; null when none.
ModuleHandle LoadedModule(const char* fileName);

// Full path of the module's file (the executable's for a null handle) in `buffer`.
// Like GetModuleFileNameA: a path that does not fit is cut to size-1 bytes and
// terminated, and the result is then `size`; otherwise it is the path's length.
unsigned ModuleFileName(ModuleHandle module, char* buffer, unsigned size);

// A directory search with a wildcard pattern ("*" any run, "?" one character, letter
// case ignored) yielding each matching entry's name without its directory.
class DirectorySearch {
public:
    explicit DirectorySearch(const char* pattern);
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    // True while `name()` holds a match.
    bool Found() const { return found_; }
    const char* Name() const;
    // Moves to the next match; false when there is none.
    bool Next();
    // The system's error when the folder could not be searched or its listing broke off;
    // 0 while the search went well, also when nothing matched or the folder is missing.
    unsigned Error() const { return error_; }

private:
    struct State;
    State* state_;
    bool found_ = false;
    unsigned error_ = 0;
};

// The system's text for `error`, cut to `size` bytes, always terminated.
void ErrorText(unsigned error, char* text, unsigned size);

// Deletes one file; true when it was deleted.
bool DeleteFileAt(const char* path);

// True when `path` names a directory.
bool IsDirectory(const char* path);

enum class MoveResult { Moved, SourceMissing, TargetExists, Failed };

// Renames the file or directory `from` to `to` on the same volume; never replaces what
// is already at `to`.
MoveResult MovePath(const char* from, const char* to);

enum class LockOpen { Opened, HeldElsewhere, FolderMissing, Failed };

// Opens the lock file `path` for writing (created, or cut to zero length), shared so that
// others may still open it for reading and writing but not delete or rename it, into
// `stream`. HeldElsewhere, changing nothing, when another lock holder has it open: the
// test before the open and the open itself are two steps, and a second setup may have
// come in between. FolderMissing when the lock file's folder is not there; Failed, with
// the system's error in `error`, when it cannot be opened for another reason.
LockOpen OpenSharedLockStream(const char* path, std::FILE*& stream, unsigned& error);

}  // namespace platform
