// An update stopped at each of its file-system operations in turn, on a tree with old
// content, a base package, a package adding files to folders that exist, one replacing
// files, and an older marker: stopped dead (a process terminated at that step), and
// then with that one operation failing while the update goes on. After every stop:
//  - the marker names the new version only when every package's files are in place;
//  - a run whose base package is damaged leaves the content subdirectory as the stopped
//    update left it, and where the stop came before the base package was in place whole,
//    that is the old content, whole;
//  - a normal run leaves the tree of a clean run: every name, size, byte, read-only
//    attribute and time, and nothing of staging or a set-aside tree anywhere.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "cab_writer.h"
#include "host/corvane.h"
#include "host_test_support.h"
#include "started_process.h"
#include "step_fs.h"

namespace {

// What a tree holds, entry by entry: folders by name, files with bytes, attributes, time.
struct Entry {
    bool folder = false;
    std::string bytes;
    DWORD attributes = 0;
    unsigned long long time = 0;
    bool operator==(const Entry& other) const {
        return folder == other.folder && bytes == other.bytes && attributes == other.attributes && time == other.time;
    }
};
using Snapshot = std::map<std::string, Entry>;

// Runs `visit(relative name, find data)` for every entry below `root`, folders first.
template <typename Visit>
void Walk(const std::string& root, const std::string& below, Visit visit) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((root + "\\" + below + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        visit(below + name, entry);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Walk(root, below + name + "\\", visit);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

Snapshot Take(const std::string& root) {
    Snapshot snapshot;
    Walk(root, "", [&](const std::string& name, const WIN32_FIND_DATAA& found) {
        Entry& entry = snapshot[name];
        entry.folder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (entry.folder) return;
        entry.bytes = ReadAll(root + "\\" + name);
        entry.attributes = found.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        entry.time = (static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                     found.ftLastWriteTime.dwLowDateTime;
    });
    return snapshot;
}

// The entries below `prefix` (a folder name and a backslash), named from there.
Snapshot Below(const Snapshot& snapshot, const std::string& prefix) {
    Snapshot part;
    for (const auto& [name, entry] : snapshot)
        if (name.compare(0, prefix.size(), prefix) == 0) part[name.substr(prefix.size())] = entry;
    return part;
}

std::string Differences(const Snapshot& got, const Snapshot& expected) {
    std::string report;
    for (const auto& [name, entry] : expected) {
        auto found = got.find(name);
        if (found == got.end()) report += " missing:" + name;
        else if (!(found->second == entry)) report += " differs:" + name;
    }
    for (const auto& entry : got)
        if (!expected.count(entry.first)) report += " extra:" + entry.first;
    return report;
}

void CopyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    Walk(from, "", [&](const std::string& name, const WIN32_FIND_DATAA& found) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) CreateDirectoryA((to + "\\" + name).c_str(), nullptr);
        else CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
    });
}

void DeleteTree(const std::string& root) {
    Walk(root, "", [&](const std::string& name, const WIN32_FIND_DATAA& found) {
        SetFileAttributesA((root + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((root + "\\" + name).c_str());
    });
    std::map<std::string, bool> folders;  // deepest first: reverse order of their names
    Walk(root, "", [&](const std::string& name, const WIN32_FIND_DATAA&) { folders[name] = true; });
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        RemoveDirectoryA((root + "\\" + folder->first).c_str());
    RemoveDirectoryA(root.c_str());
}

using PostCopy = int(WINAPI*)(DWORD, ScriptArgs*, const char*);

const char kContent[] = "shared\\velm\\kordalin\\";
const std::string kKordex = std::string(kContent) + "Kordex\\";

class EveryStep : public ::testing::Test {
protected:
    void SetUp() override {
        if (FromEnvironment("WSK_BIN").empty()) GTEST_SKIP() << "WSK_BIN is not set";
        module = LoadLibraryExA((BinDir() + "\\WSKORDALIN.DLL").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        ASSERT_NE(module, nullptr);
        postCopy = reinterpret_cast<PostCopy>(reinterpret_cast<void*>(GetProcAddress(module, "POSTCOPY")));
        MakeTemplate(dir.Text() + "\\template");
        CopyTree(dir.Text() + "\\template", Root("clean"));
        EverySteps counted(module, StepMode::Count);
        ASSERT_EQ(Update("clean"), 1);
        steps = counted.Steps();
        baseInPlace = counted.StepOfMoveTo("Kordex.del");
        clean = Take(Root("clean"));
        oldSubdirectory = Below(Take(dir.Text() + "\\template"), kKordex);
        ASSERT_GT(baseInPlace, 0);
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }

    // Old content (a page, a read-only page, a file beside the subdirectory), an older
    // marker, the installed module, the three packages and a script naming the tree.
    void MakeTemplate(const std::string& root) {
        std::string content = root + "\\" + kContent;
        dir.Write("template\\" + kKordex + "old\\page.html", "old page");
        dir.Write("template\\" + kKordex + "index.html", "old index");
        SetFileAttributesA((root + "\\" + kKordex + "index.html").c_str(), FILE_ATTRIBUTE_READONLY);
        dir.Write("template\\" + std::string(kContent) + "kordalin.txt", "old notes");
        CopyFileA((BinDir() + "\\version_5_1_0_9.dll").c_str(), (content + "VAlmanor.dll").c_str(), FALSE);
        // The installed module only lends its version: a small DLL of the same one.
        CopyFileA((BinDir() + "\\version_5_1_1_0.dll").c_str(), (root + "\\WsKordalin.dll").c_str(), FALSE);
        CabWriter()
            .Add("Kordex/index.html", "base index")
            .Add("Kordex/articles/a.html", "article a")
            .Add("Kordex/styles/readonly.css", "p{}", 0x21)
            .Add("kordalin.txt", "base notes")
            .Write(content + "QMT_Kordalin_000.cab");
        CabWriter().Add("Kordex/articles/b.html", "article b").Write(content + "QMT_Kordalin_001.cab");
        CabWriter()
            .Add("Kordex/index.html", "index 2")
            .Add("kordalin.txt", "notes 2")
            .Write(content + "QMT_Kordalin_002.cab");
    }
    std::string Root(const std::string& name) const { return dir.Text() + "\\" + name; }

    // The script beside the tree `name` that names it as component and destination root.
    std::string ScriptFor(const std::string& name) {
        dir.Write(name + ".inf", "[Setup]\nComponentDir=" + Root(name) + "\nDestinationRoot=" + Root(name) + "\n");
        return Root(name) + ".inf";
    }

    // POSTCOPY on the tree `name`.
    int Update(const std::string& name) {
        std::string script = ScriptFor(name);
        ScriptArgs args{""};
        return postCopy(0, &args, script.c_str());
    }

    // Starts the update of a fresh copy of the tree `name`, to be stopped dead at `step`.
    StartedProcess StartStopped(long step, const std::string& name) {
        DeleteTree(Root(name));
        CopyTree(dir.Text() + "\\template", Root(name));
        return StartedProcess("\"" + BinDir() + "\\stopped_update.exe\" \"" + BinDir() + "\\WSKORDALIN.DLL\" \"" +
                     ScriptFor(name) + "\" " + std::to_string(step));
    }

    // The checks after a stop at `step` of the tree `name`.
    void ExpectSoundAfterStop(long step, const std::string& name) {
        std::string at = "step " + std::to_string(step);
        Snapshot stopped = Take(Root(name));
        if (stopped[std::string(kContent) + "VAlmanor.dll"].bytes == clean[std::string(kContent) + "VAlmanor.dll"].bytes) {
            EXPECT_EQ(Differences(WithoutWorkFiles(stopped), clean), "") << at << ": the marker is new, the content not";
        }

        if (stopped.count(std::string(kContent) + "QMT_Kordalin_000.cab")) {
            Snapshot expected = stopped.count(std::string(kContent) + "Kordex.old")
                                    ? Below(stopped, std::string(kContent) + "Kordex.old\\")
                                    : Below(stopped, kKordex);
            if (step <= baseInPlace) {
                EXPECT_EQ(Differences(expected, oldSubdirectory), "") << at;
            }
            CopyTree(Root(name), Root("damaged"));
            std::string base = Root("damaged") + "\\" + kContent + "QMT_Kordalin_000.cab";
            std::string bytes = ReadAll(base);
            HANDLE file = CreateFileA(base.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size() / 2), &written, nullptr);
            CloseHandle(file);
            EXPECT_EQ(Update("damaged"), 0) << at;
            Snapshot after = Take(Root("damaged"));
            EXPECT_EQ(Differences(Below(after, kKordex), expected), "") << at << ": a damaged base package changed the content";
            EXPECT_FALSE(after.count(std::string(kContent) + "Kordex.old")) << at;
            DeleteTree(Root("damaged"));
        }
        EXPECT_EQ(Update(name), 1) << at;
        EXPECT_EQ(Differences(Take(Root(name)), clean), "") << at << ": the next run did not end as a clean run";
    }

    // What is not content: the lock, the host's work files, the tree to delete.
    static Snapshot WithoutWorkFiles(Snapshot snapshot) {
        for (auto entry = snapshot.begin(); entry != snapshot.end();) {
            const std::string& name = entry->first;
            bool work = name.find("~ck") != std::string::npos || name.find("VAlmanor.sem") != std::string::npos ||
                        name.find("Kordex.del") != std::string::npos;
            entry = work ? snapshot.erase(entry) : std::next(entry);
        }
        return snapshot;
    }

    ScratchDir dir;
    HMODULE module = nullptr;
    PostCopy postCopy = nullptr;
    long steps = 0, baseInPlace = 0;
    Snapshot clean, oldSubdirectory;
};

}  // namespace

// Stopped dead at every step: a process killed there, nothing cleaned up. The update to
// be stopped at the next step runs while the tree of this one is checked.
TEST_F(EveryStep, KilledAtEachStep) {
    auto name = [](long step) { return "killed" + std::to_string(step % 2); };
    long step = 1;
    for (StartedProcess running = StartStopped(step, name(step)); running.Wait() == kStoppedDead; ++step) {
        StartedProcess next = StartStopped(step + 1, name(step + 1));
        ExpectSoundAfterStop(step, name(step));
        running = std::move(next);
    }
    EXPECT_EQ(step, steps + 1) << "the update ran a different number of steps from the clean one, or failed to start";
    std::printf("killed at each of %ld steps (the base package in place at step %ld)\n", step - 1, baseInPlace);
}

// One operation failing at every step, the update going on: it must end all or nothing.
TEST_F(EveryStep, FailingAtEachStep) {
    long step = 1;
    for (;; ++step) {
        DeleteTree(Root("failed"));
        CopyTree(dir.Text() + "\\template", Root("failed"));
        bool reached;
        {
            EverySteps failing(module, StepMode::Fail, step);
            Update("failed");
            reached = failing.Steps() >= step;
        }
        if (!reached) break;
        ExpectSoundAfterStop(step, "failed");
    }
    std::printf("failed at each of %ld steps\n", step - 1);
}
