// Every file-system operation of an update, counted one by one: each entry of the host's
// file-system table, and the extension's own renames (its import of MoveFileExA). At the
// chosen step the update stops dead (the process is terminated, nothing cleaned up), or
// that one operation fails as the system fails it and the update goes on.
#pragma once

#include <windows.h>

#include <string>
#include <type_traits>
#include <vector>

#include "corvane/file_system.h"
#include "setuphost/import_patch.h"

enum class StepMode { Count, Kill, Fail };

// The exit status of a process stopped by StepMode::Kill.
constexpr UINT kStoppedDead = 77;

class EverySteps {
public:
    // Counts from 1 the operations of `extension` (a loaded WSKORDALIN.DLL) and of the host
    // library from now on; at step `at` stops or fails as `mode` says.
    EverySteps(HMODULE extension, StepMode mode, long at = 0) : extension_(extension) {
        State() = {mode, at, 0, {}};
        FileSystem& table = CorvaneFileSystem();
        table = {Counted<&FileSystem::create>::Call,   Counted<&FileSystem::read>::Call,
                 Counted<&FileSystem::write>::Call,    Counted<&FileSystem::seek>::Call,
                 Counted<&FileSystem::close>::Call,    Counted<&FileSystem::move>::Call,
                 Counted<&FileSystem::rename>::Call,   Counted<&FileSystem::remove>::Call,
                 Counted<&FileSystem::makeDirectory>::Call, Counted<&FileSystem::removeDirectory>::Call,
                 Counted<&FileSystem::attributes>::Call, Counted<&FileSystem::setAttributes>::Call,
                 Counted<&FileSystem::times>::Call,    Counted<&FileSystem::setTimes>::Call,
                 Counted<&FileSystem::findFirst>::Call, Counted<&FileSystem::findNext>::Call,
                 Counted<&FileSystem::findClose>::Call};
        RealMove() = reinterpret_cast<MoveFunction>(
            PatchImport(extension_, "kernel32.dll", "MoveFileExA", reinterpret_cast<void*>(&ExtensionMove)));
    }
    ~EverySteps() {
        CorvaneFileSystem() = CorvaneRealFileSystem();
        if (RealMove()) PatchImport(extension_, "kernel32.dll", "MoveFileExA", reinterpret_cast<void*>(RealMove()));
    }
    EverySteps(const EverySteps&) = delete;
    EverySteps& operator=(const EverySteps&) = delete;

    // The operations counted so far.
    long Steps() const { return State().steps; }
    // The step at which the extension renamed a directory to `name`, or 0.
    long StepOfMoveTo(const std::string& name) const {
        for (const auto& [step, target] : State().moves)
            if (target.size() >= name.size() && target.compare(target.size() - name.size(), name.size(), name) == 0)
                return step;
        return 0;
    }

private:
    using MoveFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    struct Stepping {
        StepMode mode;
        long at;
        long steps;
        std::vector<std::pair<long, std::string>> moves;  // the extension's renames: step, target
    };
    static Stepping& State() {
        static Stepping state;
        return state;
    }
    static MoveFunction& RealMove() {
        static MoveFunction real = nullptr;
        return real;
    }

    // Counts one step; true when it is to fail. Two threads may count (the commit renames
    // two files at a time).
    static bool StepFails() {
        Stepping& s = State();
        long step = InterlockedIncrement(&s.steps);
        if (step != s.at || s.mode == StepMode::Count) return false;
        if (s.mode == StepMode::Kill) TerminateProcess(GetCurrentProcess(), kStoppedDead);
        SetLastError(ERROR_ACCESS_DENIED);
        return true;
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

    static BOOL WINAPI ExtensionMove(LPCSTR from, LPCSTR to, DWORD flags) {
        State().moves.push_back({State().steps + 1, to ? to : ""});
        return StepFails() ? FALSE : RealMove()(from, to, flags);
    }

    HMODULE extension_;
};
