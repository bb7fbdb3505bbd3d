// The host library's one seam to the file system: every file operation of cabinet
// extraction, the commit of a cabinet, copying, deleting and the lock test goes through
// this table. The real table calls Win32; a test replaces single entries to make the Nth
// write short, the Nth move fail or the disk full, and so tests each failure where it
// happens. Paths are wide and whole (no "\\?\" prefixes).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "host/corvane.h"

struct FileSystem {
    HANDLE (*create)(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
    BOOL (*read)(HANDLE file, void* buffer, DWORD size, DWORD* done);
    BOOL (*write)(HANDLE file, const void* buffer, DWORD size, DWORD* done);
    DWORD (*seek)(HANDLE file, LONG distance, DWORD method);  // INVALID_SET_FILE_POINTER on failure
    BOOL (*close)(HANDLE file);
    BOOL (*move)(const wchar_t* from, const wchar_t* to, DWORD flags);
    // Gives an open file (opened with DELETE access) the full path `to`; fails, with
    // ERROR_ALREADY_EXISTS, when something is there. One call where a move by path
    // opens, renames and closes.
    BOOL (*rename)(HANDLE file, const wchar_t* to);
    BOOL (*remove)(const wchar_t* path);
    BOOL (*makeDirectory)(const wchar_t* path);
    BOOL (*removeDirectory)(const wchar_t* path);
    DWORD (*attributes)(const wchar_t* path);  // INVALID_FILE_ATTRIBUTES when missing
    BOOL (*setAttributes)(const wchar_t* path, DWORD attributes);
    BOOL (*times)(HANDLE file, FILETIME* lastWrite);
    BOOL (*setTimes)(HANDLE file, const FILETIME* lastWrite);
    HANDLE (*findFirst)(const wchar_t* pattern, WIN32_FIND_DATAW* entry);
    BOOL (*findNext)(HANDLE search, WIN32_FIND_DATAW* entry);
    BOOL (*findClose)(HANDLE search);
    // Puts what was written through `file` on the disk: data not flushed may be lost in a
    // power cut, while names, renames and deletions keep their order.
    BOOL (*flush)(HANDLE file);
    // The identity of the folder `path` (its volume and index), which moves keep.
    BOOL (*identity)(const wchar_t* path, unsigned long long* id);
};

// The table in use, exported so that tests in another module can change its entries;
// they put the real entries (CorvaneRealFileSystem) back when done.
CORVANE_API FileSystem& CorvaneFileSystem();
CORVANE_API const FileSystem& CorvaneRealFileSystem();
inline FileSystem& Fs() { return CorvaneFileSystem(); }

// Closes a handle of the table when it goes out of scope.
class FsHandle {
public:
    explicit FsHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~FsHandle() { Close(); }
    FsHandle(const FsHandle&) = delete;
    FsHandle& operator=(const FsHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle) {
        Close();
        handle_ = handle;
    }
    // Closes now; false when the close failed (a write the system could not finish).
    bool Close() {
        if (!Valid()) return true;
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return Fs().close(handle) != FALSE;
    }

private:
    HANDLE handle_;
};

// A handle opened outside the table (a process, the table's own entries), closed when it
// goes out of scope.
using SystemHandle = std::unique_ptr<void, decltype(&CloseHandle)>;

// Ends a directory search of the table when it goes out of scope.
class FsSearch {
public:
    FsSearch(const wchar_t* pattern, WIN32_FIND_DATAW& entry) : search_(Fs().findFirst(pattern, &entry)) {}
    ~FsSearch() {
        if (Found()) Fs().findClose(search_);
    }
    FsSearch(const FsSearch&) = delete;
    FsSearch& operator=(const FsSearch&) = delete;
    bool Found() const { return search_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAW& entry) { return Fs().findNext(search_, &entry) != FALSE; }

private:
    HANDLE search_;
};

// ANSI (or UTF-8) text as a wide string; empty when it does not convert.
std::wstring Widen(const char* text, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP);

// The name as the file system compares it (one-to-one upper case).
std::wstring UpperName(const std::wstring& name);

// A Win32 error as a setup engineer reads it ("the disk is full", ...).
std::string ErrorText(DWORD error);

// `path` with the "\\?\" prefix when it is too long for a plain path.
std::wstring LongPath(const std::wstring& path);

// Makes every missing folder of `path` up to its last separator, from index `from` on.
// A folder that is there costs one look, and the ones above it none.
void MakeFolders(const std::wstring& path, std::size_t from);

// Whether anything is at `path`.
bool Exists(const std::wstring& path);

// The folder `folder` (ends in a backslash) named without that backslash.
std::wstring WithoutSlash(const std::wstring& folder);

// The entries of the folder `folder` (ends in a backslash) that match `pattern`, but "."
// and "..": listed whole first, so that a caller may change the folder as it goes through.
std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& folder, const std::wstring& pattern);

// Deletes the file `path`, clearing its read-only attribute when that is in the way.
bool DeleteEvenReadOnly(const std::wstring& path);

// 0 when `path` could be deleted or renamed now (no open of it denies deleting), else
// the error an attempt meets (ERROR_SHARING_VIOLATION when another program holds it).
DWORD DeleteBlocker(const std::wstring& path);
