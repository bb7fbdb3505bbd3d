// Helpers for the extension's unit tests: a content tree on real files and the calls the
// recording fake host saw.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extension/module.h"
#include "fakes/fake_host.h"
#include "fakes/scratch_dir.h"

// A destination root on real files with its content directory made.
class ContentTree {
public:
    ContentTree() {
        dir_.Write("shared\\velm\\kordalin\\.keep", "");
        std::filesystem::remove(dir_.Below("shared\\velm\\kordalin\\.keep"));
    }
    std::string Root() const { return dir_.Text(); }
    std::string Content() const { return Root() + "\\shared\\velm\\kordalin\\"; }
    std::string LockFile() const { return Content() + "VAlmanor.sem"; }
    std::string Marker() const { return Content() + "VAlmanor.dll"; }
    // Puts a package (or any file) into the content directory.
    void AddPackage(const std::string& name) const { dir_.Write("shared\\velm\\kordalin\\" + name); }
    bool HasFile(const std::string& relativeToContent) const {
        return std::filesystem::exists(dir_.Below("shared\\velm\\kordalin\\" + relativeToContent));
    }
    const ScratchDir& Dir() const { return dir_; }

private:
    ScratchDir dir_;
};

// The recorded calls to any of the host services in `names`, in the order they were made.
inline std::vector<std::string> CallsOf(std::initializer_list<const char*> names) {
    std::vector<std::string> found;
    for (const auto& call : Fake().calls)
        for (const char* name : names)
            if (call.rfind(std::string(name) + "(", 0) == 0) found.push_back(call);
    return found;
}

using Calls = std::vector<std::string>;
