// Directory listings of package names: whatever files lie in a content directory of
// whatever length, InstallContentPackages unpacks exactly the matching ones whose path
// fits, in byte order, deletes an old subdirectory only once a base package is in its
// place, and releases its list.
#include <algorithm>
#include <set>

#include "extension/content_packages.h"
#include "fakes/fake_host.h"
#include "fakes/scratch_dir.h"
#include "fuzz_support.h"

namespace {

// Turns the input into a padding length and a few file names both systems can hold.
std::vector<std::string> NamesOf(const std::string& input) {
    std::vector<std::string> names;
    std::size_t start = 1;
    while (start < input.size() && names.size() < 8) {
        std::size_t end = input.find('\n', start);
        std::string name = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // Neither separator can be part of a file name on Windows.
        name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return c == '/' || c == '\\'; }),
                   name.end());
        if (!name.empty() && name.size() < 200 && name != "." && name != "..") names.push_back(name);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    ScratchDir dir;
    // Up to 240 bytes of padding takes the content directory across the 260-byte bound.
    std::size_t padding = input.empty() ? 1 : 1 + static_cast<unsigned char>(input[0]) % 240;
    std::string sub(padding, 'p');
    std::string content = dir.Text() + "\\" + sub + "\\";
    std::filesystem::create_directories(dir.Below(sub));
    for (const std::string& name : NamesOf(input)) dir.Write(sub + "\\" + name, "");

    ResetFake();
    int result = InstallContentPackages(content.c_str(), "QMT_Kordalin*.cab");
    FUZZ_CHECK(result == 0 || result == -1, "one of two results");
    FUZZ_CHECK(Fake().listsAlive == 0, "the list is released");
    std::string previous;
    bool afterBase = false;  // the last call unpacked a base package
    for (const std::string& call : Fake().calls) {
        if (call.rfind("RemoveDirTree(", 0) == 0)
            FUZZ_CHECK(afterBase && call == "RemoveDirTree(" + content + "Kordex.del, 1)",
                       "only the old subdirectory set aside, once its base package is in place");
        afterBase = false;
        if (call.rfind("InstallCab(", 0) != 0) continue;
        std::string key = call.substr(11, call.find(", " + content + ", 1, 0)") - 11);
        FUZZ_CHECK(key.rfind(content, 0) == 0 && key.size() < 260, "a whole path inside the content directory");
        FUZZ_CHECK(previous.empty() || previous <= key, "ascending byte order");
        previous = key;
        afterBase = key.substr(content.size()).find("_000.") != std::string::npos;
    }
    return 0;
}
