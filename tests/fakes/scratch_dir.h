// A scratch directory for one test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

class ScratchDir {
public:
    ScratchDir() {
        static int counter = 0;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("wsk-test-" + std::to_string(Pid()) + "-" + std::to_string(++counter));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // The directory as the extension names it: backslashes, as on Windows.
    std::string Text() const { return HostPath(path_.string()); }

    // `relative` (with backslashes) as a path of this system.
    std::filesystem::path Below(const std::string& relative) const {
        return path_ / LocalPath(relative);
    }

    // Creates `relative` (and its folders) holding `content`.
    void Write(const std::string& relative, const std::string& content = "x") const {
        auto file = Below(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

    static std::string HostPath(std::string path) {
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }
    static std::string LocalPath(std::string path) {
#if !defined(_WIN32)
        for (char& c : path)
            if (c == '\\') c = '/';
#endif
        return path;
    }

private:
    static long Pid();
    std::filesystem::path path_;
};

#if defined(_WIN32)
#include <process.h>
inline long ScratchDir::Pid() { return _getpid(); }
#else
#include <unistd.h>
inline long ScratchDir::Pid() { return getpid(); }
#endif
