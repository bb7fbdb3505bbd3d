// Every file-system operation of an update, counted one by one: each entry of the host's
// file-system table, and the extension's own (its imports of the platform's calls: the
// renames that set the content subdirectory aside, the directory search, the lock file's
// open and delete, and the attribute reads). At the chosen step the update stops dead
// (the process is terminated, nothing cleaned up), or meets a power cut there (the same,
// and what a journaling file system keeps of the files: every name, rename and deletion
// made so far, but each file's data only as far as it was last flushed, the rest zeros),
// or that one operation fails as the system fails it (access denied) and the update goes on.
#pragma once

#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "corvane/file_system.h"
#include "setuphost/import_patch.h"

enum class StepMode { Count, Kill, Cut, Fail };

// The exit status of a process stopped by StepMode::Kill or StepMode::Cut.
constexpr UINT kStoppedDead = 77;

class EverySteps {
public:
    // Counts from 1 the operations of `extension` (a loaded WSKORDALIN.DLL) and of the host
    // library from now on; at step `at` stops, cuts or fails as `mode` says.
    EverySteps(HMODULE extension, StepMode mode, long at = 0) : extension_(extension) {
        State().mode = mode, State().at = at, State().steps = 0;
        State().removes.clear(), State().creates.clear(), State().open.clear(), State().data.clear();
        FileSystem& table = CorvaneFileSystem();
        table = {Create,     Counted<&FileSystem::read>::Call,
                 Write,      Counted<&FileSystem::seek>::Call,
                 Close,      Move,
                 Rename,     Remove,
                 Counted<&FileSystem::makeDirectory>::Call, RemoveFolder,
                 Counted<&FileSystem::attributes>::Call, Counted<&FileSystem::setAttributes>::Call,
                 Counted<&FileSystem::times>::Call,    Counted<&FileSystem::setTimes>::Call,
                 Counted<&FileSystem::findFirst>::Call, Counted<&FileSystem::findNext>::Call,
                 Counted<&FileSystem::findClose>::Call, Flush,
                 Counted<&FileSystem::identity>::Call};
        for (Import& import : Imports())
            import.real = PatchImport(extension_, "kernel32.dll", import.name, import.counted);
    }
    ~EverySteps() {
        CorvaneFileSystem() = CorvaneRealFileSystem();
        for (Import& import : Imports())
            if (import.real) PatchImport(extension_, "kernel32.dll", import.name, import.real);
    }
    EverySteps(const EverySteps&) = delete;
    EverySteps& operator=(const EverySteps&) = delete;

    // The operations counted so far.
    long Steps() const { return State().steps; }
    // The step at which the host first deleted a file or folder whose path ends in `name`, or 0.
    long StepOfRemove(const std::wstring& name) const { return FirstEndingIn(State().removes, name); }
    // The step at which the host or the extension first created or opened a file whose path
    // ends in `name`, or 0.
    long StepOfCreate(const std::wstring& name) const { return FirstEndingIn(State().creates, name); }
    // The power cut itself: what was written and not flushed becomes zeros, then the
    // process ends as the machine would.
    static void CutPower() {
        std::lock_guard<std::mutex> hold(State().lock);
        for (const auto& [key, file] : State().data)
            if (file.flushed < file.written) Zero(file);
        TerminateProcess(GetCurrentProcess(), kStoppedDead);
    }

private:
    struct Written {
        std::wstring path;
        unsigned long long written = 0, flushed = 0;
        HANDLE open = INVALID_HANDLE_VALUE;  // a handle that writes it, while one is open
    };
    struct Stepping {
        StepMode mode = StepMode::Count;
        long at = 0;
        long steps = 0;
        std::vector<std::pair<long, std::wstring>> removes;  // the host's deletions: step, path
        std::vector<std::pair<long, std::wstring>> creates;  // the host's creates and opens: step, path
        std::mutex lock;                                     // the commit works from two threads
        std::map<HANDLE, std::wstring> open;                 // handle -> the file it writes
        std::map<std::wstring, Written> data;                // by upper-cased path
    };
    static Stepping& State() {
        static Stepping state;
        return state;
    }

    // Counts one step; true when it is to fail. Two threads may count (the commit renames
    // two files at a time).
    static bool StepFails() {
        Stepping& s = State();
        long step = InterlockedIncrement(&s.steps);
        if (step != s.at || s.mode == StepMode::Count) return false;
        if (s.mode == StepMode::Kill) TerminateProcess(GetCurrentProcess(), kStoppedDead);
        if (s.mode == StepMode::Cut) CutPower();
        SetLastError(ERROR_ACCESS_DENIED);
        return true;
    }

    static long FirstEndingIn(const std::vector<std::pair<long, std::wstring>>& steps, const std::wstring& name) {
        for (const auto& [step, full] : steps) {
            std::wstring path = full.substr(0, full.find_last_not_of(L'\\') + 1);
            if (path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0)
                return step;
        }
        return 0;
    }

    template <typename R>
    static R Failure() {
        if constexpr (std::is_same_v<R, HANDLE>) return INVALID_HANDLE_VALUE;
        else if constexpr (std::is_same_v<R, DWORD>) return 0xFFFFFFFF;  // INVALID_FILE_ATTRIBUTES, INVALID_SET_FILE_POINTER
        else return FALSE;
    }

    template <auto Entry>
    struct Counted;
    template <typename R, typename... A, R (*FileSystem::*Entry)(A...)>
    struct Counted<Entry> {
        static R Call(A... args) {
            if (!StepFails()) return (CorvaneRealFileSystem().*Entry)(args...);
            // A close that fails (of a file or a search) has still closed its handle.
            if constexpr (std::is_same_v<R (*)(A...), BOOL (*)(HANDLE)>) {
                (CorvaneRealFileSystem().*Entry)(args...);
                SetLastError(ERROR_ACCESS_DENIED);
            }
            return Failure<R>();
        }
    };

    // What a power cut keeps of each file: its data as far as it was flushed. Paths are
    // kept whole, without the long-path prefix, and compared in upper case.
    static std::wstring Whole(const wchar_t* path) {
        std::wstring whole = path;
        if (whole.compare(0, 4, L"\\\\?\\") == 0) whole.erase(0, 4);
        return whole;
    }
    static std::wstring Key(const std::wstring& path) {
        std::wstring key = Whole(path.c_str());
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
        return key;
    }
    static void Zero(const Written& file) {
        HANDLE out = file.open != INVALID_HANDLE_VALUE
                         ? file.open
                         : CreateFileW((L"\\\\?\\" + file.path).c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                       nullptr);
        if (out == INVALID_HANDLE_VALUE) return;  // deleted since: nothing of it is left to lose
        std::vector<char> zeros(static_cast<std::size_t>(file.written - file.flushed), 0);
        LONG high = static_cast<LONG>(file.flushed >> 32);
        DWORD done = 0;
        if (SetFilePointer(out, static_cast<LONG>(file.flushed), &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
            WriteFile(out, zeros.data(), static_cast<DWORD>(zeros.size()), &done, nullptr);
        if (out != file.open) CloseHandle(out);
    }
    // A file or folder renamed: what is tracked below it goes with it.
    static void Renamed(const std::wstring& from, const std::wstring& to) {
        std::wstring old = Key(from), now = Whole(to.c_str());
        std::map<std::wstring, Written> moved;
        for (auto entry = State().data.begin(); entry != State().data.end();) {
            const std::wstring& key = entry->first;
            bool below = key == old || (key.size() > old.size() && key.compare(0, old.size() + 1, old + L"\\") == 0);
            if (!below) {
                ++entry;
                continue;
            }
            Written file = entry->second;
            file.path = now + file.path.substr(old.size());
            moved[Key(file.path)] = file;
            entry = State().data.erase(entry);
        }
        for (auto& [key, file] : moved) State().data[key] = file;
    }

    static HANDLE Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
        State().creates.push_back({State().steps + 1, path});
        if (StepFails()) return INVALID_HANDLE_VALUE;
        HANDLE file = CorvaneRealFileSystem().create(path, access, share, disposition, flags);
        if (file != INVALID_HANDLE_VALUE && (access & GENERIC_WRITE)) {
            std::lock_guard<std::mutex> hold(State().lock);
            State().open[file] = path;
            Written& data = State().data[Key(path)];
            if (disposition == CREATE_ALWAYS || disposition == CREATE_NEW || data.path.empty()) data = Written{Whole(path)};
            data.open = file;
        }
        return file;
    }
    static BOOL Write(HANDLE file, const void* buffer, DWORD size, DWORD* done) {
        if (StepFails()) return FALSE;
        BOOL ok = CorvaneRealFileSystem().write(file, buffer, size, done);
        std::lock_guard<std::mutex> hold(State().lock);
        auto open = State().open.find(file);
        if (open != State().open.end()) State().data[Key(open->second)].written += *done;
        return ok;
    }
    static BOOL Flush(HANDLE file) {
        if (StepFails()) return FALSE;
        BOOL ok = CorvaneRealFileSystem().flush(file);
        std::lock_guard<std::mutex> hold(State().lock);
        auto open = State().open.find(file);
        if (ok && open != State().open.end()) {
            Written& data = State().data[Key(open->second)];
            data.flushed = data.written;
        }
        return ok;
    }
    static void Closed(HANDLE file) {
        std::lock_guard<std::mutex> hold(State().lock);
        auto open = State().open.find(file);
        if (open == State().open.end()) return;
        State().data[Key(open->second)].open = INVALID_HANDLE_VALUE;
        State().open.erase(open);
    }
    static BOOL Close(HANDLE file) {
        bool fails = StepFails();
        Closed(file);
        BOOL ok = CorvaneRealFileSystem().close(file);  // a close that fails has closed it all the same
        if (fails) SetLastError(ERROR_ACCESS_DENIED);
        return fails ? FALSE : ok;
    }
    static BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) {
        if (StepFails()) return FALSE;
        BOOL ok = CorvaneRealFileSystem().move(from, to, flags);
        std::lock_guard<std::mutex> hold(State().lock);
        if (ok) Renamed(from, to);
        return ok;
    }
    static BOOL Rename(HANDLE file, const wchar_t* to) {
        if (StepFails()) return FALSE;
        BOOL ok = CorvaneRealFileSystem().rename(file, to);
        std::lock_guard<std::mutex> hold(State().lock);
        auto open = State().open.find(file);
        if (ok && open != State().open.end()) {
            Renamed(open->second, to);
            open->second = to;
        }
        return ok;
    }
    static BOOL Remove(const wchar_t* path) {
        State().removes.push_back({State().steps + 1, path});
        if (StepFails()) return FALSE;
        BOOL ok = CorvaneRealFileSystem().remove(path);
        std::lock_guard<std::mutex> hold(State().lock);
        if (ok) State().data.erase(Key(path));
        return ok;
    }

    static BOOL RemoveFolder(const wchar_t* path) {
        State().removes.push_back({State().steps + 1, path});
        return StepFails() ? FALSE : CorvaneRealFileSystem().removeDirectory(path);
    }

    // The extension's imports that count as steps: the counting stand-in and the real one.
    struct Import {
        const char* name;
        void* counted;
        void* real;
    };
    enum { kMove, kFindFirst, kFindNext, kCreate, kDelete, kAttributes };
    static Import (&Imports())[6] {
        static Import imports[] = {{"MoveFileExA", reinterpret_cast<void*>(&ExtensionMove), nullptr},
                                   {"FindFirstFileA", reinterpret_cast<void*>(&FindFirst), nullptr},
                                   {"FindNextFileA", reinterpret_cast<void*>(&FindNext), nullptr},
                                   {"CreateFileA", reinterpret_cast<void*>(&ExtensionCreate), nullptr},
                                   {"DeleteFileA", reinterpret_cast<void*>(&Delete), nullptr},
                                   {"GetFileAttributesA", reinterpret_cast<void*>(&Attributes), nullptr}};
        return imports;
    }
    template <int Which, typename Function>
    static Function Real() {
        return reinterpret_cast<Function>(Imports()[Which].real);
    }
    static BOOL WINAPI ExtensionMove(LPCSTR from, LPCSTR to, DWORD flags) {
        return StepFails() ? FALSE : Real<kMove, decltype(&MoveFileExA)>()(from, to, flags);
    }
    static HANDLE WINAPI FindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA entry) {
        return StepFails() ? INVALID_HANDLE_VALUE : Real<kFindFirst, decltype(&FindFirstFileA)>()(pattern, entry);
    }
    static BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAA entry) {
        return StepFails() ? FALSE : Real<kFindNext, decltype(&FindNextFileA)>()(search, entry);
    }
    static HANDLE WINAPI ExtensionCreate(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                         DWORD disposition, DWORD flags, HANDLE model) {
        State().creates.push_back({State().steps + 1, std::wstring(path, path + std::strlen(path))});
        if (StepFails()) return INVALID_HANDLE_VALUE;
        return Real<kCreate, decltype(&CreateFileA)>()(path, access, share, security, disposition, flags, model);
    }
    static BOOL WINAPI Delete(LPCSTR path) { return StepFails() ? FALSE : Real<kDelete, decltype(&DeleteFileA)>()(path); }
    static DWORD WINAPI Attributes(LPCSTR path) {
        return StepFails() ? INVALID_FILE_ATTRIBUTES : Real<kAttributes, decltype(&GetFileAttributesA)>()(path);
    }

    HMODULE extension_;
};
