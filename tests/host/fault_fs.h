// The failing-on-the-Nth-call fake of the host's file-system table: for one test it
// replaces single entries of the table inside Corvane.dll, counts the calls and makes
// the chosen one fail as the disk would, and puts the real entries back at the end.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

#include "corvane/file_system.h"
#include "corvane/stage_area.h"

class FaultyFs {
public:
    FaultyFs() {
        state() = State{};
        FileSystem& table = CorvaneFileSystem();
        table = CorvaneRealFileSystem();
        table.write = Write;
        table.move = Move;
        table.rename = Rename;
        table.remove = Remove;
        table.flush = Flush;
        table.create = Create;
    }
    ~FaultyFs() { CorvaneFileSystem() = CorvaneRealFileSystem(); }
    FaultyFs(const FaultyFs&) = delete;
    FaultyFs& operator=(const FaultyFs&) = delete;

    // The Nth write from now (1 is the next) writes only half of its bytes, as a write at
    // the end of a full disk does under Wine; with `error`, it fails outright instead.
    void ShortWriteAt(int n, DWORD error = 0) { state().shortWrite = n, state().writeError = error; }
    // Every write fails with "disk full" once `bytes` more have been written.
    void DiskFullAfter(unsigned long long bytes) { state().budget = bytes, state().budgeted = true; }
    // The Nth move from now fails with `error`; with `andAfter`, every later one too.
    void FailMoveAt(int n, DWORD error = ERROR_SHARING_VIOLATION, bool andAfter = false) {
        state().failMove = n, state().moveError = error, state().failLaterMoves = andAfter;
    }
    // Every file deletion from now fails, as when another program holds the file.
    void FailRemoves() { state().failRemoves = true; }
    // Every flush from now fails with `error`, as a disk that cannot write fails it.
    void FailFlushes(DWORD error) { state().flushError = error; }
    // The folder `folder` (a full path), with its owner file, goes just before the next
    // open of anything in it, as another setup's staging folder goes when that setup ends;
    // with `reported`, during that open, which fails with it (Wine reports a folder unlinked
    // during an open as a missing file, Windows one pending deletion as access denied).
    void FolderGoneBeforeOpen(const std::wstring& folder, DWORD reported = 0) {
        state().vanishing = folder, state().vanishingError = reported;
    }
    int Moves() const { return state().moves; }
    int Writes() const { return state().writes; }

private:
    struct State {
        int writes = 0, shortWrite = 0;
        DWORD writeError = 0;
        unsigned long long budget = 0;
        bool budgeted = false;
        LONG moves = 0;  // counted from two threads when the commit renames two at a time
        int failMove = 0;
        DWORD moveError = 0, flushError = 0;
        bool failLaterMoves = false, failRemoves = false;
        std::wstring vanishing;
        DWORD vanishingError = 0;
    };
    static State& state() {
        static State current;
        return current;
    }
    static BOOL Write(HANDLE file, const void* buffer, DWORD size, DWORD* done) {
        State& s = state();
        ++s.writes;
        if (s.writes == s.shortWrite && s.writeError) {
            *done = 0;
            SetLastError(s.writeError);
            return FALSE;
        }
        DWORD allowed = size;
        if (s.writes == s.shortWrite) allowed = size / 2;
        if (s.budgeted && allowed > s.budget) allowed = static_cast<DWORD>(s.budget);
        BOOL ok = CorvaneRealFileSystem().write(file, buffer, allowed, done);
        if (s.budgeted) s.budget -= *done;
        // Wine reports a write at the end of a full disk as a success with fewer bytes
        // written, leaving no error code: whoever reads one then reads "success".
        if (ok && *done < size) SetLastError(ERROR_SUCCESS);
        return ok;
    }
    // A move by path and a rename through a handle both count as moves.
    static bool MoveFails() {
        State& s = state();
        LONG move = InterlockedIncrement(&s.moves);
        if (!s.failMove || !(move == s.failMove || (s.failLaterMoves && move > s.failMove))) return false;
        SetLastError(s.moveError);
        return true;
    }
    static BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) {
        return MoveFails() ? FALSE : CorvaneRealFileSystem().move(from, to, flags);
    }
    static BOOL Rename(HANDLE file, const wchar_t* to) {
        return MoveFails() ? FALSE : CorvaneRealFileSystem().rename(file, to);
    }
    static BOOL Flush(HANDLE file) {
        if (!state().flushError) return CorvaneRealFileSystem().flush(file);
        SetLastError(state().flushError);
        return FALSE;
    }
    static HANDLE Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
        std::wstring& folder = state().vanishing;
        if (!folder.empty() && std::wcsstr(path, (folder + L"\\").c_str())) {
            CorvaneRealFileSystem().remove((folder + L"\\" + kOwnerName).c_str());
            CorvaneRealFileSystem().removeDirectory(folder.c_str());
            folder.clear();
            if (state().vanishingError) return SetLastError(state().vanishingError), INVALID_HANDLE_VALUE;
        }
        return CorvaneRealFileSystem().create(path, access, share, disposition, flags);
    }
    static BOOL Remove(const wchar_t* path) {
        if (!state().failRemoves) return CorvaneRealFileSystem().remove(path);
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
};
