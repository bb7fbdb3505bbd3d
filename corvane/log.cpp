// The run log: one line an entry, "YYYY-MM-DD hh:mm:ss.mmm [pid] tag value", appended
// with a single write so that entries of concurrent runs never interleave.
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

int Log(const char* tag, const char* value) {
    const RunState& run = CurrentRun();
    if (!run.open || run.settings.logFile.empty()) return 0;

    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                  now.wMilliseconds, static_cast<unsigned long>(GetCurrentProcessId()));
    std::string line = stamp + OneLine(tag) + " " + OneLine(value) + "\n";

    HANDLE file = CreateFileA(run.settings.logFile.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 1 : 0;
}
