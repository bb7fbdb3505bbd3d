// The run log: one line an entry, "YYYY-MM-DD hh:mm:ss.mmm [pid] tag value".
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/corvane.h"
#include "run_state.h"

namespace {

std::string OneLine(const char* text) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

}  // namespace

bool LogFile::Append(const std::string& path, const std::string& line) {
    if (!handle_) {
        HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        handle_ = file;
    }
    DWORD written = 0;
    return WriteFile(handle_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

void LogFile::Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

int Log(const char* tag, const char* value) {
    RunState& run = CurrentRun();
    if (!run.open || run.settings.logFile.empty()) return 0;

    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                  now.wMilliseconds, static_cast<unsigned long>(GetCurrentProcessId()));
    return run.log.Append(run.settings.logFile, stamp + OneLine(tag) + " " + OneLine(value) + "\n") ? 1 : 0;
}
