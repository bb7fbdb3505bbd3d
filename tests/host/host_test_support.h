// Helpers for the tests of the real host library: scratch trees on real files.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fakes/scratch_dir.h"
#include "host/corvane.h"
#include "host/setup_host.h"

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The owner file of a staging folder ("~ck<hex>\\owner"): there while the run that made
// the folder is open, and nothing of the content.
inline bool IsStageOwner(const std::filesystem::path& path) {
    return path.filename() == "owner" && path.parent_path().filename().string().rfind("~ck", 0) == 0;
}

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Where the test programs and the cabinets made for them lie (set by CTest).
inline std::string FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A Unix path (as CTest passes it) as Wine names it; other paths stay.
inline std::string WinePath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// A script run of the host library open for the life of the object, logging into
// "run.log" of `dir`, so that a test can read what the host logged.
class OpenRun {
public:
    explicit OpenRun(const ScratchDir& dir) : log_(dir.Text() + "\\run.log") {
        dir.Write("run.inf", "[Setup]\n");
        char scriptDir[CORVANE_PATH_SIZE], componentDir[CORVANE_PATH_SIZE], text[CORVANE_TEXT_SIZE] = "";
        int flag = 0;
        _InitSkript((dir.Text() + "\\run.inf").c_str(), scriptDir, componentDir, text, "", &flag);
    }
    ~OpenRun() { _ExitSkript(nullptr, "", 0); }
    OpenRun(const OpenRun&) = delete;
    OpenRun& operator=(const OpenRun&) = delete;
    std::string LastLogLine() const {
        std::string log = ReadAll(log_);
        std::size_t end = log.find_last_not_of('\n');
        return log.substr(log.rfind('\n', end) + 1);
    }

private:
    std::string log_;
};

// The last event of `kind` in the record of the open run; a blank one when there is none.
inline CorvaneEvent LastEvent(int kind) {
    const CorvaneEvent* events = nullptr;
    CorvaneEvent last{};
    for (unsigned i = 0, count = CorvaneRunRecord(&events); i < count; ++i)
        if (events[i].kind == kind) last = events[i];
    return last;
}

inline std::string CabinetFixtures() { return WinePath(FromEnvironment("WSK_CABINETS")); }
inline std::string BinDir() { return WinePath(FromEnvironment("WSK_BIN")); }
