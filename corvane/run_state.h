// The script run the host library has open: set by _InitSkript, cleared by _ExitSkript.
#pragma once

#include <string>

#include "script_settings.h"

// The run's log file, opened at the first entry and kept open until the run ends. Every
// entry is one write at the end of the file, taken in turns with concurrent runs, so
// entries never interleave or overwrite each other.
class LogFile {
public:
    LogFile() = default;
    ~LogFile() { Close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    bool Append(const std::string& path, const std::string& line);
    void Close();

private:
    void* handle_ = nullptr;
};

struct RunState {
    ScriptSettings settings;
    bool open = false;
    LogFile log;

    void Reset() {
        log.Close();
        settings = ScriptSettings{};
        open = false;
    }
};

// The script run of this process: one at a time, opened by _InitSkript.
RunState& CurrentRun();
