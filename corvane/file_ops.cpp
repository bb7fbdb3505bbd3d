// File services on the real file system: lock test, deletion, tree removal, copying.
// None of them acts on an empty path, and tree removal never follows a link.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "file_system.h"
#include "host/corvane.h"
#include "leftovers.h"
#include "log_phrases.h"
#include "run_log.h"
#include "run_mode.h"
#include "run_record.h"
#include "stage_area.h"

namespace {

bool Empty(const char* path) {
    return !path || !*path;
}

std::wstring Join(const std::wstring& dir, const std::wstring& name) {
    if (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) return dir + name;
    return dir + L"\\" + name;
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void ClearReadOnly(const std::wstring& path, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        Fs().setAttributes(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool RunningUnderWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// A directory link or junction is removed as an entry; its target is left alone. Wine
// (8.0) resolves a link in RemoveDirectory and removes the target when that is empty,
// so there the link is left in place rather than risk anything outside the tree.
bool RemoveLink(const std::wstring& path) {
    if (RunningUnderWine()) return SetLastError(ERROR_NOT_SUPPORTED), false;
    return Fs().removeDirectory(LongPath(path).c_str()) != 0;
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
bool DeleteOneFile(const std::wstring& path) {
    DWORD attributes = Fs().attributes(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return SetLastError(ERROR_ACCESS_DENIED), false;
    return DeleteEvenReadOnly(path);
}

// Paths below the tree may be longer than a plain path allows (a tree renamed to a
// longer name keeps its deepest files), so each goes whole to the system. `error` gets
// the system's reason for the first entry that did not go.
bool RemoveTree(const std::wstring& dir, bool removeSelf, DWORD& error) {
    bool allGone = true;
    WIN32_FIND_DATAW entry;
    {
        FsSearch search(LongPath(Join(dir, L"*")).c_str(), entry);
        for (bool more = search.Found(); more; more = search.Next(entry)) {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = Join(dir, name);
            DWORD attributes = entry.dwFileAttributes;
            bool gone;
            if (IsLink(attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                gone = RemoveLink(path);
            else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                gone = RemoveTree(path, true, error);
            else
                gone = DeleteOneFile(path);
            if (!gone && !error) error = GetLastError();
            allGone = allGone && gone;
        }
    }
    if (!removeSelf) return allGone;
    std::wstring whole = LongPath(dir);
    ClearReadOnly(whole, Fs().attributes(whole.c_str()));
    bool gone = Fs().removeDirectory(whole.c_str()) != FALSE;
    if (!gone && !error) error = GetLastError();
    return gone && allGone;
}

// Copies `source` into `copy`, all of it, with the source's time.
Failure CopyWhole(const std::wstring& source, const std::wstring& copy) {
    FsHandle from(Fs().create(source.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN));
    if (!from.Valid()) return SystemFailure(GetLastError(), "cannot read the source: ");
    FsHandle to(Fs().create(copy.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN));
    if (!to.Valid()) return SystemFailure(GetLastError(), "cannot create the copy: ");
    static char buffer[1 << 16];
    for (;;) {
        DWORD got = 0, put = 0;
        if (!Fs().read(from.Get(), buffer, sizeof buffer, &got))
            return SystemFailure(GetLastError(), "cannot read the source: ");
        if (got == 0) break;
        if (!Fs().write(to.Get(), buffer, got, &put)) return SystemFailure(GetLastError());
        if (put != got) return SystemFailure(ERROR_DISK_FULL);
    }
    // On the disk before it replaces the old file: a copy named in place but never flushed
    // could read as no version at all after a power cut.
    if (!Fs().flush(to.Get())) return SystemFailure(GetLastError());
    FILETIME stamp;
    if (!Fs().times(from.Get(), &stamp) || !Fs().setTimes(to.Get(), &stamp))
        return SystemFailure(GetLastError(), "cannot give the copy the source's time: ");
    if (!to.Close()) return SystemFailure(GetLastError());
    return {};
}

// Copies `source` over `target` through this process's staging folder in the target's
// folder, which is settled first (so whether a file was there, `over`, is known only then:
// settling may put one back).
Failure CopyThroughStage(const std::wstring& source, const std::wstring& target, bool& over) {
    std::wstring folder = target.substr(0, target.find_last_of(L"\\/") + 1);
    if (Failure unsettled = SettleOnce(folder)) return unsettled;
    DWORD attributes = Fs().attributes(LongPath(target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {"a folder of that name is in the way", SystemReason(ERROR_ALREADY_EXISTS)};
    over = attributes != INVALID_FILE_ATTRIBUTES;
    StageArea* stage = OpenStage(folder);
    if (!stage) return SystemFailure(GetLastError(), log_phrase::kCannotStage);
    std::wstring copy = LongPath(StageFolderOf(folder) + Numbered(kCopyName, stage->copies++));
    Failure failure = CopyWhole(source, copy);
    if (!failure) {
        ClearReadOnly(target, attributes);
        if (!Fs().move(copy.c_str(), LongPath(target).c_str(), MOVEFILE_REPLACE_EXISTING))
            failure = SystemFailure(GetLastError(), "cannot replace it: ");
    }
    if (failure) Fs().remove(copy.c_str());
    return failure;
}

// True when an open of `path` for deleting meets a sharing violation: someone holds it.
bool HeldOpen(const std::wstring& path) {
    DWORD error = DeleteBlocker(path);
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

int FileLocked(const char* host, const char* path) {
    // Only the local machine ("") is served; any other host is refused as locked, the
    // safe answer for a caller that is about to write.
    if (!host || *host) return 1;
    if (Empty(path)) return 0;
    // A lock held needs no more: its holder works in the folder, and nobody settles beside it.
    std::wstring file = Widen(path);
    if (HeldOpen(file)) return 1;
    // Asked before anyone works in the folder: what a stopped setup left there is settled
    // first. A commit that cannot be settled holds the folder until it is: nothing may
    // change there, and no run there can succeed.
    switch (SettleFolder(file.substr(0, file.find_last_of(L"\\/") + 1))) {
        case FolderState::Held: return 1;
        case FolderState::Unsettled: return CORVANE_UNSETTLED;
        case FolderState::Settled: break;
    }
    // Asking for delete access is refused by every open that does not share deleting,
    // which is how a lock holder keeps the file.
    return HeldOpen(file) ? 1 : 0;
}

int SafeDeleteFile(const char* path) {
    if (Empty(path)) return 0;
    bool deleted = DeleteOneFile(Widen(path));
    Reason reason = deleted ? Reason() : SystemReason(GetLastError());
    LogEntry(log_phrase::kSafeDeleteFile, std::string(path) + (deleted ? Said().deleted : log_phrase::kNotDeleted));
    RecordEvent(CORVANE_FILE_DELETED, path, "", 0, 0, deleted, reason);
    return deleted ? 1 : 0;
}

int RemoveFile(const char* dir, const char* pattern) {
    if (Empty(dir) || Empty(pattern) || std::strpbrk(pattern, "\\/:")) return 0;
    std::wstring folder = Widen(dir);
    if (SettleOnce(Join(folder, L""))) return 0;
    WIN32_FIND_DATAW entry;
    int deleted = 0, failed = 0;
    {
        FsSearch search(Join(folder, Widen(pattern)).c_str(), entry);
        if (!search.Found()) return 0;
        for (bool more = true; more; more = search.Next(entry)) {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            ++(DeleteOneFile(Join(folder, entry.cFileName)) ? deleted : failed);
        }
    }
    std::string joined = Narrow(Join(folder, Widen(pattern)));
    std::string outcome = joined + ": " + std::to_string(deleted) + Said().countDeleted;
    if (failed) outcome += ", " + std::to_string(failed) + log_phrase::kCountNotDeleted;
    if (deleted || failed) LogEntry(log_phrase::kRemoveFile, outcome);
    RecordEvent(CORVANE_FILES_DELETED, joined, "", static_cast<unsigned>(deleted), static_cast<unsigned>(failed));
    return deleted > 0 && failed == 0 ? 1 : 0;
}

int RemoveDirTree(const char* dir, int removeSelf) {
    if (Empty(dir) || IsVolumeRoot(dir)) return 0;
    std::wstring folder = Widen(dir);
    DWORD attributes = Fs().attributes(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {  // nothing there: nothing to do
        RecordEvent(CORVANE_TREE_REMOVED, dir, "", 0, 0, 1);
        return 1;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    DWORD error = 0;
    bool removed = IsLink(attributes) ? removeSelf && RemoveLink(folder) : RemoveTree(folder, removeSelf != 0, error);
    LogEntry(log_phrase::kRemoveDirTree, std::string(dir) + (removed ? Said().removed : log_phrase::kNotAllRemoved));
    RecordEvent(CORVANE_TREE_REMOVED, dir, "", 1, 0, removed, removed ? Reason() : SystemReason(error));
    return removed ? 1 : 0;
}

// The copy is made in this process's staging folder beside the destination, flushed, and
// replaces the destination in one move only when it is whole: a full disk leaves the old
// file as it was.
int CopyCreateFile(const char* source, const char* destination) {
    if (Empty(source) || Empty(destination)) return 0;
    std::wstring target = Widen(destination);
    MakeFolders(target, 3);
    bool over = false;
    Failure failure = CopyThroughStage(Widen(source), target, over);
    std::string outcome = std::string(source) + " -> " + destination;
    if (failure) outcome += Said().copyFailed + failure.text + Said().oldFileKept;
    else outcome += over ? Said().copiedOver : Said().copied;
    LogEntry(log_phrase::kCopyCreateFile, outcome);
    RecordEvent(CORVANE_FILE_COPIED, destination, failure.text, 0, 0, !failure, failure.reason);
    return failure ? 0 : 1;
}
