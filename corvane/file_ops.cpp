// File services on the real file system: lock test, deletion, tree removal, copying.
// None of them acts on an empty path, and tree removal never follows a link.
#include <windows.h>

#include <cstring>
#include <string>

#include "host/corvane.h"

namespace {

bool Empty(const char* path) {
    return !path || !*path;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) return dir + name;
    return dir + "\\" + name;
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void ClearReadOnly(const char* path, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool RunningUnderWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// A directory link or junction is removed as an entry; its target is left alone. Wine
// (8.0) resolves a link in RemoveDirectory and removes the target when that is empty,
// so there the link is left in place rather than risk anything outside the tree.
bool RemoveLink(const char* path) {
    if (RunningUnderWine()) return false;
    return RemoveDirectoryA(path) != 0;
}

// "C:", "C:\", "\" and "\\server\share" name whole volumes: never removed as a tree.
bool IsVolumeRoot(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
    if (p == "\\" || p == "/" || (p.size() == 2 && p[1] == ':')) return true;
    if (p.size() > 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/'))
        return p.find_first_of("\\/", p.find_first_of("\\/", 2) + 1) == std::string::npos;
    return false;
}

// Deletes one file, read-only or not; never a directory.
bool DeleteOneFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    ClearReadOnly(path, attributes);
    return DeleteFileA(path) != 0;
}

bool RemoveTree(const std::string& dir, bool removeSelf) {
    bool allGone = true;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(Join(dir, "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!std::strcmp(entry.cFileName, ".") || !std::strcmp(entry.cFileName, "..")) continue;
            std::string path = Join(dir, entry.cFileName);
            DWORD attributes = entry.dwFileAttributes;
            bool gone;
            if (IsLink(attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                gone = RemoveLink(path.c_str());
            else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                gone = RemoveTree(path, true);
            else
                gone = DeleteOneFile(path.c_str());
            allGone = allGone && gone;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    if (!removeSelf) return allGone;
    ClearReadOnly(dir.c_str(), GetFileAttributesA(dir.c_str()));
    return RemoveDirectoryA(dir.c_str()) && allGone;
}

// Creates every missing directory above `path`.
void CreateParents(const std::string& path) {
    for (std::size_t at = path.find_first_of("\\/", 3); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

}  // namespace

int FileLocked(const char* host, const char* path) {
    // Only the local machine ("") is served; any other host is refused as locked, the
    // safe answer for a caller that is about to write.
    if (!host || *host) return 1;
    if (Empty(path)) return 0;
    // Asking for delete access is refused by every open that does not share deleting,
    // which is how a lock holder keeps the file.
    HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 0;
    }
    DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? 1 : 0;
}

int SafeDeleteFile(const char* path) {
    if (Empty(path)) return 0;
    bool deleted = DeleteOneFile(path);
    Log("SafeDeleteFile()", (std::string(path) + (deleted ? ": deleted" : ": could not be deleted")).c_str());
    return deleted ? 1 : 0;
}

int RemoveFile(const char* dir, const char* pattern) {
    if (Empty(dir) || Empty(pattern) || std::strpbrk(pattern, "\\/:")) return 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(Join(dir, pattern).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int deleted = 0, failed = 0;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ++(DeleteOneFile(Join(dir, entry.cFileName).c_str()) ? deleted : failed);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    std::string outcome = Join(dir, pattern) + ": " + std::to_string(deleted) + " deleted";
    if (failed) outcome += ", " + std::to_string(failed) + " could not be deleted";
    if (deleted || failed) Log("RemoveFile()", outcome.c_str());
    return deleted > 0 && failed == 0 ? 1 : 0;
}

int RemoveDirTree(const char* dir, int removeSelf) {
    if (Empty(dir) || IsVolumeRoot(dir)) return 0;
    DWORD attributes = GetFileAttributesA(dir);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 1;  // nothing there: nothing to do
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    bool removed = IsLink(attributes) ? removeSelf && RemoveLink(dir) : RemoveTree(dir, removeSelf != 0);
    Log("RemoveDirTree()", (std::string(dir) + (removed ? ": removed" : ": not everything could be removed")).c_str());
    return removed ? 1 : 0;
}

int CopyCreateFile(const char* source, const char* destination) {
    if (Empty(source) || Empty(destination)) return 0;
    CreateParents(destination);
    ClearReadOnly(destination, GetFileAttributesA(destination));
    bool copied = CopyFileA(source, destination, FALSE) != 0;
    Log("CopyCreateFile()", (std::string(source) + " -> " + destination + (copied ? "" : ": failed")).c_str());
    return copied ? 1 : 0;
}
