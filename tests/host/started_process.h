// A helper program that a Windows test starts (a lock holder, an update to be stopped, a
// probe), waited for at the end of its scope. A start that fails is a test failure that
// names the command and the system's reason. Under Wine a new process now and then dies
// inside Wine's own start-up, before any code of the program runs, and CreateProcess then
// fails with ERROR_INTERNAL_ERROR (measured: 1 start in 4,000 of a program that loads
// the module, under wine64): such a start is tried again, twice at most, and said so.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "host_test_support.h"

class StartedProcess {
public:
    // The exit status of a process that never started.
    static constexpr DWORD kNotStarted = 0xFFFFFFFE;

    explicit StartedProcess(std::string command) {
        for (int attempt = 1;; ++attempt) {
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
                // Wine starts a Unix program (Z:\bin\ln) without a handle to wait on.
                if (!process_.hProcess) status_ = 0;
                return;
            }
            DWORD error = GetLastError();
            process_ = {};
            std::string failed = "cannot start " + command + ": " + Reason(error) + " (error " + std::to_string(error) + ")";
            if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
                ADD_FAILURE() << failed;
                return;
            }
            std::fprintf(stderr, "%s; trying again\n", failed.c_str());
        }
    }
    StartedProcess(StartedProcess&& other) noexcept : process_(std::exchange(other.process_, {})), status_(other.status_) {}
    StartedProcess& operator=(StartedProcess&& other) noexcept {
        std::swap(process_, other.process_);
        std::swap(status_, other.status_);
        return *this;
    }
    // A helper still running after a minute is ended: a test never hangs on one.
    ~StartedProcess() {
        if (Wait(60000) == STILL_ACTIVE) TerminateProcess(process_.hProcess, 1);
        Close();
    }

    bool Started() const { return process_.hProcess != nullptr || status_ != kNotStarted; }
    DWORD Id() const { return process_.dwProcessId; }
    // The exit status once the process has ended, STILL_ACTIVE when it runs on past `ms`.
    DWORD Wait(DWORD ms = INFINITE) {
        if (!process_.hProcess) return status_;
        if (WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &status_);
        Close();
        return status_;
    }

private:
    static std::string Reason(DWORD error) {
        char text[256] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                       nullptr);
        std::string reason = text;
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
        return reason.empty() ? "no text for it" : reason;
    }
    void Close() {
        if (!process_.hProcess) return;
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }

    PROCESS_INFORMATION process_{};
    DWORD status_ = kNotStarted;
};

// Waits up to `milliseconds` for `path` to appear; false when it does not.
inline bool WaitFor(const std::string& path, int milliseconds = 10000) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (Exists(path)) return true;
        Sleep(10);
    }
    return false;
}

// Makes `link` a directory link to `target`: under Wine a Unix symbolic link (Wine's
// own CreateSymbolicLink makes nothing), elsewhere a Windows one.
inline bool MakeDirectoryLink(const std::string& link, const std::string& target) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return CreateSymbolicLinkA(link.c_str(), target.c_str(), 1) != 0;
    auto toUnix = [&](const std::string& path) {
        std::wstring wide(path.begin(), path.end());
        char* name = unixName(wide.c_str());
        std::string result = name ? name : "";
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    };
    StartedProcess ln("Z:\\bin\\ln -s \"" + toUnix(target) + "\" \"" + toUnix(link) + "\"");
    return ln.Started() && WaitFor(link);
}
