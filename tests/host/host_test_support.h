// Helpers for the tests of the real host library: scratch trees on real files.
#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "fakes/scratch_dir.h"

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
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

inline std::string CabinetFixtures() { return WinePath(FromEnvironment("WSK_CABINETS")); }
inline std::string BinDir() { return WinePath(FromEnvironment("WSK_BIN")); }
