// The run log: one line an entry, "YYYY-MM-DD hh:mm:ss.mmm [pid] tag value".
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/corvane.h"
#include "run_log.h"
#include "run_record.h"
#include "run_state.h"

namespace {

std::string OneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

// A byte far past any log text: locking it takes a turn without blocking readers.
constexpr DWORD kTurnOffsetHigh = 0x7FFFFFFF;

}  // namespace

bool LogFile::Append(const std::string& path, const std::string& line) {
    if (!handle_) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        handle_ = file;
    }
    // Appending is not atomic between processes everywhere (Wine writes at the size it
    // last saw), so concurrent runs take turns under a byte-range lock far past the text.
    OVERLAPPED turn{};
    turn.OffsetHigh = kTurnOffsetHigh;
    if (!LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn)) return false;
    DWORD written = 0;
    bool ok = SetFilePointer(handle_, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
              WriteFile(handle_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
              written == line.size();
    UnlockFileEx(handle_, 0, 1, 0, &turn);
    return ok;
}

void LogFile::Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

bool LogEntry(const std::string& tag, const std::string& value) {
    RunState& run = CurrentRun();
    if (!run.open || run.settings.logFile.empty()) return false;

    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                  now.wMilliseconds, static_cast<unsigned long>(GetCurrentProcessId()));
    return run.log.Append(run.settings.logFile, stamp + OneLine(tag) + " " + OneLine(value) + "\n");
}

int Log(const char* tag, const char* value) {
    if (CurrentRun().open) RecordEvent(CORVANE_DECISION, tag ? tag : "", value ? value : "");
    return LogEntry(tag ? tag : "", value ? value : "") ? 1 : 0;
}
