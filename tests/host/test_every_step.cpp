// An update stopped at each of its file-system operations in turn, on a tree with old
// content (a file beside the content subdirectory too), a base package, a package adding
// files to folders that exist, one replacing files (beside the subdirectory too), two more
// that write the same file, and an older marker: stopped dead (a process terminated at
// that step), cut off as by a power cut there (the process terminated, and every file's
// data past its last flush lost), and with that one operation failing while the update
// goes on. After every stop, and after every run that follows it:
//  - the marker names the new version only over exactly the new content; otherwise the
//    content is the old version's with the packages before the first one still waiting
//    applied in order (that one's too, when only its deletion was missing);
//  - a run whose base package is damaged leaves the content subdirectory as the stopped
//    update left it, and where the stop came before the base package was in place whole,
//    that is the old content, whole;
//  - after a kill, a run that itself fails (a file held open by a viewer; a full disk)
//    keeps all of this true;
//  - a normal run leaves the tree of a clean run: every name, size, byte, read-only
//    attribute and time, and nothing of staging or a set-aside tree anywhere;
//  - what setuphost would say of each run is true of the tree it left.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "cab_writer.h"
#include "fault_fs.h"
#include "host/corvane.h"
#include "host/setup_host.h"
#include "host_test_support.h"
#include "setuphost/run_outcome.h"
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
const std::string kMarker = std::string(kContent) + "VAlmanor.dll";
constexpr int kPackages = 5;

std::string Package(int number) { return std::string(kContent) + "QMT_Kordalin_00" + std::to_string(number) + ".cab"; }

// What gets in the way of a run that follows a stop; or an older setup of the family
// (its module one version behind the marker the template has) runs instead.
enum class Hindrance { None, HeldFile, FullDisk, OlderSetup };

// A file held open by a viewer: reading, sharing reading and writing, not deleting.
class Viewer {
public:
    explicit Viewer(const std::string& path)
        : file_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr)) {}
    ~Viewer() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

private:
    HANDLE file_;
};

class EveryStep : public ::testing::Test {
protected:
    void SetUp() override {
        if (FromEnvironment("WSK_BIN").empty()) GTEST_SKIP() << "WSK_BIN is not set";
        stride = std::max(1L, std::atol(FromEnvironment("WSK_STOP_STRIDE").c_str()));
        module = LoadLibraryExA((BinDir() + "\\WSKORDALIN.DLL").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        ASSERT_NE(module, nullptr);
        postCopy = reinterpret_cast<PostCopy>(reinterpret_cast<void*>(GetProcAddress(module, "POSTCOPY")));
        MakeTemplate(Root("template"));
        old = Take(Root("template"));
        oldSubdirectory = Below(old, kKordex);
        // The content with the packages up to each one applied in order, and no package.
        applied.push_back(Content(old));
        for (int last = 0; last < kPackages; ++last) {
            CopyTree(Root("template"), Root("applied"));
            for (int later = last + 1; later < kPackages; ++later) DeleteFileA((Root("applied") + "\\" + Package(later)).c_str());
            ASSERT_EQ(Update("applied", "applying up to " + std::to_string(last)), 1);
            applied.push_back(Content(Take(Root("applied"))));
            DeleteTree(Root("applied"));
        }
        CopyTree(Root("template"), Root("clean"));
        EverySteps counted(module, StepMode::Count);
        ASSERT_EQ(Update("clean", "clean run"), 1);
        steps = counted.Steps();
        baseInPlace = counted.StepOfRemove(L"journal0");  // the base package's commit is complete
        for (int number = 0; number < kPackages; ++number) {
            std::wstring journal = L"journal" + std::to_wstring(number);
            commitBegins.push_back(counted.StepOfCreate(journal));
            commitEnds.push_back(counted.StepOfRemove(journal));
        }
        clean = Take(Root("clean"));
        ASSERT_GT(baseInPlace, 0);
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }

    // Old content (a page, a read-only page, a file beside the subdirectory), an older
    // marker, the installed module, the packages and a script naming the tree.
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
        // Two packages with the same page: the later one's must win, whatever fails.
        CabWriter().Add("Kordex/articles/shared.html", "shared 3").Add("Kordex/articles/c.html", "article c")
            .Write(content + "QMT_Kordalin_003.cab");
        CabWriter().Add("Kordex/articles/shared.html", "shared 4").Write(content + "QMT_Kordalin_004.cab");
    }
    std::string Root(const std::string& name) const { return dir.Text() + "\\" + name; }

    // The script beside the tree `name` that names it as component and destination root.
    std::string ScriptFor(const std::string& name) {
        dir.Write(name + ".inf", "[Setup]\nComponentDir=" + Root(name) + "\nDestinationRoot=" + Root(name) + "\n");
        return Root(name) + ".inf";
    }

    // POSTCOPY on the tree `name`, with `hindrance` in its way; what setuphost would say
    // of it is checked against the tree it left, and that tree is checked as after a stop.
    int Update(const std::string& name, const std::string& at, Hindrance hindrance = Hindrance::None) {
        std::string script = ScriptFor(name);
        Snapshot before = Take(Root(name));
        ScriptArgs args{""};
        int result;
        if (hindrance == Hindrance::HeldFile) {
            Viewer viewer(Root(name) + "\\" + kContent + "kordalin.txt");
            result = postCopy(0, &args, script.c_str());
        } else if (hindrance == Hindrance::FullDisk) {
            FaultyFs disk;
            disk.DiskFullAfter(0);
            result = postCopy(0, &args, script.c_str());
        } else {
            if (hindrance == Hindrance::OlderSetup)
                CopyFileA((BinDir() + "\\version_5_1_0_9.dll").c_str(), (Root(name) + "\\WsKordalin.dll").c_str(), FALSE);
            result = postCopy(0, &args, script.c_str());
        }
        if (clean.empty()) return result;
        Snapshot after = Take(Root(name));
        ExpectTrueOf(Sentence(), before, after, at);
        // An older setup deletes the packages as not needed, whatever the content holds:
        // its caller compares the content with what the settling alone left.
        if (hindrance != Hindrance::OlderSetup) ExpectConsistent(after, at);
        return result;
    }

    static std::string Sentence() {
        RunSummary summary;
        const CorvaneEvent* events = nullptr;
        for (unsigned i = 0, count = CorvaneRunRecord(&events); i < count; ++i) summary.Read(events[i]);
        return summary.Describe("POSTCOPY", false);
    }

    // The content as the user has it: the subdirectory (or, where none is in its place,
    // the old one set aside, which goes back) and the file beside it.
    static Snapshot Content(const Snapshot& tree) {
        bool setAside = !tree.count(kKordex.substr(0, kKordex.size() - 1));
        Snapshot content = Below(tree, setAside ? std::string(kContent) + "Kordex.old\\" : kKordex);
        auto notes = tree.find(std::string(kContent) + "kordalin.txt");
        if (notes != tree.end()) content["kordalin.txt"] = notes->second;
        return content;
    }

    // The marker names the new version only over the new content, all of it; otherwise
    // the content is the old version's with the packages before the first one waiting
    // applied in order, that one too where only its deletion was missing.
    void ExpectConsistent(const Snapshot& tree, const std::string& at) {
        if (tree.count(kMarker) && tree.at(kMarker).bytes == clean.at(kMarker).bytes) {
            EXPECT_EQ(Differences(WithoutWorkFiles(tree), clean), "") << at << ": the marker is new, the content not";
            return;
        }
        int waiting = 0;
        while (waiting < kPackages && !tree.count(Package(waiting))) ++waiting;
        Snapshot content = Content(tree);
        bool before = Differences(content, applied[waiting]) == "";  // applied[n]: packages before n
        bool with = waiting < kPackages && Differences(content, applied[waiting + 1]) == "";
        EXPECT_TRUE(before || with) << at << ": the content is not the old with the packages before "
                                    << waiting << " applied:" << Differences(content, applied[waiting]);
    }

    // What the sentence claims of the tree the run left: the version recorded, the
    // packages that stay, the content as it was before the run.
    void ExpectTrueOf(const std::string& sentence, const Snapshot& before, const Snapshot& tree, const std::string& at) {
        std::string context = at + ": \"" + sentence + "\"";
        bool markerNew = tree.count(kMarker) && tree.at(kMarker).bytes == clean.at(kMarker).bytes;
        std::size_t packagesLeft = 0;
        for (int n = 0; n < kPackages; ++n) packagesLeft += tree.count(Package(n));
        auto says = [&sentence](const char* text) { return sentence.find(text) != std::string::npos; };
        if (says("could not be settled")) {  // a stopped setup's commit in the way: the run changed nothing
            EXPECT_FALSE(markerNew && !(before.count(kMarker) && before.at(kMarker).bytes == clean.at(kMarker).bytes))
                << context;
            EXPECT_EQ(Differences(WithoutWorkFiles(tree), WithoutWorkFiles(before)), "") << context;
        } else if (says("content updated to 5.1.1.0") || says("content recorded at 5.1.1.0") || says("content already at 5.1.1.0")) {
            EXPECT_TRUE(markerNew) << context;
            EXPECT_EQ(packagesLeft, 0u) << context;
        } else if (says("content already at 5.1.0.9")) {  // an older setup's run
            EXPECT_FALSE(markerNew) << context;
            EXPECT_EQ(packagesLeft, 0u) << context;
        } else if (says("update failed: ")) {
            EXPECT_FALSE(markerNew) << context;
            std::size_t keeps = sentence.find("which keeps ");
            if (keeps != std::string::npos) {
                EXPECT_EQ(packagesLeft, 1 + std::stoul(sentence.substr(keeps + 12))) << context;
            } else if (!says("could not be recorded")) {
                EXPECT_EQ(packagesLeft, 1u) << context;
            }
            if (says("the content is left as it was")) {
                EXPECT_EQ(Differences(Content(tree), Content(before)), "") << context;
            }
        } else if (says("nothing changed") || says("nothing unpacked")) {
            EXPECT_EQ(Differences(WithoutWorkFiles(tree), WithoutWorkFiles(before)), "") << context;
        } else {
            ADD_FAILURE() << context << ": not an ending the test knows";
        }
    }

    // What is not content: the lock, the host's work files, the trees to delete (an old
    // tree beside the subdirectory its base package replaced goes with the next run).
    static Snapshot WithoutWorkFiles(Snapshot snapshot) {
        for (auto entry = snapshot.begin(); entry != snapshot.end();) {
            const std::string& name = entry->first;
            bool work = name.find("~ck") != std::string::npos || name.find("VAlmanor.sem") != std::string::npos ||
                        name.find("Kordex.del") != std::string::npos || name.find("Kordex.old") != std::string::npos;
            entry = work ? snapshot.erase(entry) : std::next(entry);
        }
        return snapshot;
    }

    // Starts the update of a fresh copy of the tree `name`, to be stopped dead (or cut off)
    // at `step`.
    StartedProcess StartStopped(long step, const std::string& name, bool cut = false) {
        DeleteTree(Root(name));
        CopyTree(Root("template"), Root(name));
        return StartOn(step, name, cut);
    }
    // Starts the update of the tree `name` as it is, to be stopped dead (or cut off) at `step`.
    StartedProcess StartOn(long step, const std::string& name, bool cut = false) {
        return StartedProcess("\"" + BinDir() + "\\stopped_update.exe\" \"" + BinDir() + "\\WSKORDALIN.DLL\" \"" +
                              ScriptFor(name) + "\" " + std::to_string(step) + (cut ? " cut" : ""));
    }

    // The staging folder a stopped update left in the tree `name` ("~ck<hex>"), or "".
    std::string StageLeft(const std::string& name) {
        std::string found;
        Walk(Root(name) + "\\" + kContent, "", [&](const std::string& entry, const WIN32_FIND_DATAA&) {
            if (found.empty() && entry.rfind("~ck", 0) == 0 && entry.find('\\') == std::string::npos) found = entry;
        });
        return found;
    }

    // The step in the middle of the commit of package `number` of a clean run, and the last
    // one before it is complete (every file moved, its journal still there).
    long MidCommit(int number) const { return (commitBegins[number] + commitEnds[number]) / 2; }
    long LateInCommit(int number) const { return commitEnds[number] - 1; }

    // The steps the run after a stop at `first` takes until it opens the lock file: the host
    // settles what the stop left before it answers the lock test, which comes first.
    long SettlingSteps(long first, bool cut) {
        if (StartStopped(first, "probe", cut).Wait() != kStoppedDead) return 0;
        EverySteps counted(module, StepMode::Count);
        Update("probe", "counting the run after a stop at step " + std::to_string(first));
        return counted.StepOfCreate(L"VAlmanor.sem");
    }

    // Nothing of the old content lost, whatever packages are left: the content is the old
    // with the first few packages applied, or the whole new content under the new marker.
    void ExpectWhole(const Snapshot& tree, const std::string& at) {
        Snapshot content = Content(tree);
        if (tree.count(kMarker) && tree.at(kMarker).bytes == clean.at(kMarker).bytes) {
            EXPECT_EQ(Differences(content, Content(clean)), "") << at << ": the marker is new, the content not";
            return;
        }
        bool whole = false;
        for (const Snapshot& some : applied) whole = whole || Differences(content, some) == "";
        EXPECT_TRUE(whole) << at << ": the content is not the old with some packages applied:"
                           << Differences(content, applied[0]);
    }

    // The newer setup installed again after an older one: its module and its packages.
    void InstallNewerAgain(const std::string& name) {
        std::string from = Root("template") + "\\", to = Root(name) + "\\";
        CopyFileA((from + "WsKordalin.dll").c_str(), (to + "WsKordalin.dll").c_str(), FALSE);
        for (int n = 0; n < kPackages; ++n) CopyFileA((from + Package(n)).c_str(), (to + Package(n)).c_str(), FALSE);
    }

    // An update stopped at `first`, then the run that settles it stopped at `second`; then
    // either the tree as the next run settles it, whole (old, or with the packages before the
    // first one waiting applied), or an older setup's run, which settles it and leaves it
    // whole (deleting the packages as not needed); then a normal run (after the older one,
    // with the newer setup installed again) ends as a clean one. False where a stop did not
    // come.
    bool StopTwice(long first, long second, bool cut, bool olderNext) {
        std::string at = "first stop " + std::to_string(first) + ", second stop " + std::to_string(second);
        if (StartStopped(first, "nested", cut).Wait() != kStoppedDead) return false;
        if (StartOn(second, "nested", cut).Wait() != kStoppedDead) return false;
        if (olderNext) {
            at += ", an older setup next";
            EXPECT_EQ(Update("nested", at, Hindrance::OlderSetup), 1) << at;
            ExpectWhole(Take(Root("nested")), at);
            InstallNewerAgain("nested");
        } else {
            FileLocked("", (Root("nested") + "\\" + kContent + "VAlmanor.sem").c_str());
            ExpectConsistent(Take(Root("nested")), at + ", settled");
        }
        EXPECT_EQ(Update("nested", at + ", next run"), 1) << at;
        EXPECT_EQ(Differences(Take(Root("nested")), clean), "") << at << ": the next run did not end as a clean run";
        return true;
    }

    // An update stopped at `first`, and the run that settles it stopped at each of its steps
    // in turn (or each Nth), up to a few steps past its lock (the content's own recovery
    // follows it), each followed by the next run of this setup and, apart, of an older one.
    // Returns the second stops made.
    long StopAgainWhileSettling(long first, bool cut) {
        const long kPastSettling = 12;
        long last = SettlingSteps(first, cut) + kPastSettling, stops = 0;
        for (long second = FirstStop(cut); second <= last; second += stride) {
            if (!StopTwice(first, second, cut, false) || !StopTwice(first, second, cut, true)) break;
            ++stops;
        }
        return stops;
    }

    // A stop inside the commit of package 2 (it replaces files, sets old ones aside), with
    // every file moved, so that every step of its rollback is stopped again; and a spread of
    // first stops, each with the steps that settle it. Returns the stops made, and prints them.
    long StopTwiceAtASpread(bool cut) {
        std::vector<long> firsts = {LateInCommit(2), LateInCommit(0), MidCommit(2), MidCommit(4)};
        for (long first = 7; first < steps; first += steps / 6) firsts.push_back(first);
        long stops = 0;
        for (long first : firsts) stops += StopAgainWhileSettling(first, cut);
        std::printf("%s at %zu first stops, then again at %s of the run settling each (%ld second stops, each "
                    "followed by this setup's next run and, apart, by an older setup's)\n",
                    cut ? "power cut" : "killed", firsts.size(), stride == 1 ? "each step" : Spread(cut).c_str(), stops);
        return stops;
    }

    // The checks after a stop at `step` of the tree `name`: the tree as the next host
    // operation settles it; a run with a damaged base package; with `hindered`, a run
    // that meets a held file and one that meets a full disk; then a normal run.
    void ExpectSoundAfterStop(long step, const std::string& name, bool hindered) {
        std::string at = "step " + std::to_string(step);
        std::string lock = Root(name) + "\\" + kContent + "VAlmanor.sem";
        FileLocked("", lock.c_str());  // settles what the stop left, as the next run does first
        Snapshot stopped = Take(Root(name));
        ExpectConsistent(stopped, at + ", settled");

        std::string base = Root(name) + "\\" + Package(0);
        if (Exists(base)) {
            // Before the base package's commit was complete, the old subdirectory is the one
            // set aside; after, it is in place.
            bool setAside = step <= baseInPlace && stopped.count(std::string(kContent) + "Kordex.old");
            Snapshot expected = setAside ? Below(stopped, std::string(kContent) + "Kordex.old\\") : Below(stopped, kKordex);
            if (step <= baseInPlace) {
                EXPECT_EQ(Differences(expected, oldSubdirectory), "") << at;
            }
            std::string bytes = ReadAll(base);
            dir.Write(name + "\\" + Package(0), bytes.substr(0, bytes.size() / 2));
            EXPECT_EQ(Update(name, at + ", damaged base package"), 0) << at;
            Snapshot after = Take(Root(name));
            EXPECT_EQ(Differences(Below(after, kKordex), expected), "") << at << ": a damaged base package changed the content";
            EXPECT_FALSE(after.count(std::string(kContent) + "Kordex.old")) << at;
            dir.Write(name + "\\" + Package(0), bytes);
        }
        if (hindered) {
            Update(name, at + ", a file held open", Hindrance::HeldFile);
            Update(name, at + ", a full disk", Hindrance::FullDisk);
        }
        EXPECT_EQ(Update(name, at + ", next run"), 1) << at;
        EXPECT_EQ(Differences(Take(Root(name)), clean), "") << at << ": the next run did not end as a clean run";
    }

    // Stops the update at each step in turn (or one in `stride`), killed or cut off, and says
    // how many: the update to be stopped at the next step runs while the tree of this one is
    // checked. The run must end only past the last of the clean run's `points`.
    long StopAtEachStep(bool cut, bool hindered, long points) {
        auto name = [this](long step) { return "stopped" + std::to_string(step / stride % 2); };
        long step = FirstStop(cut), stops = 0;
        for (StartedProcess running = StartStopped(step, name(step), cut); running.Wait() == kStoppedDead;
             step += stride, ++stops) {
            StartedProcess next = StartStopped(step + stride, name(step + stride), cut);
            ExpectSoundAfterStop(step, name(step), hindered);
            running = std::move(next);
        }
        EXPECT_GT(step, points) << "the update ran fewer steps than the clean one, or failed to start";
        EXPECT_LE(step, points + stride) << "the update ran more steps than the clean one";
        std::printf("%s at %s %ld %s%s", cut ? "power cut" : "killed",
                    stride == 1 ? "each of" : (std::to_string(stops) + " of").c_str(), points,
                    cut ? "points (before each step, and after the last)" : "steps",
                    stride == 1 ? "" : (", " + Spread(cut)).c_str());
        return stops;
    }

    // Under an emulator a stop at every step takes too long: WSK_STOP_STRIDE=N stops at one
    // step in N only, the cut one step later than the kill, so that with N = 2 the two
    // together still stop at every step once.
    long FirstStop(bool cut) const { return cut && stride > 1 ? 2 : 1; }
    std::string Spread(bool cut) const {
        return "one step in " + std::to_string(stride) + " from step " + std::to_string(FirstStop(cut)) +
               " (WSK_STOP_STRIDE)";
    }

    ScratchDir dir;
    HMODULE module = nullptr;
    PostCopy postCopy = nullptr;
    long steps = 0, baseInPlace = 0, stride = 1;
    std::vector<long> commitBegins, commitEnds;  // of each package's commit in a clean run: its journal made, removed
    Snapshot clean, old, oldSubdirectory;  // after a clean run; before it; its subdirectory before
    std::vector<Snapshot> applied;         // the content with the packages before each applied
};

}  // namespace

// Stopped dead at every step: a process killed there, nothing cleaned up; then runs that
// meet a damaged package, a held file and a full disk, and a normal run.
TEST_F(EveryStep, KilledAtEachStep) {
    StopAtEachStep(false, true, steps);
    std::printf(" (the base package in place at step %ld)\n", baseInPlace);
}

// Cut off at every step as by a power cut: what was not flushed is lost, names are not.
TEST_F(EveryStep, PowerCutAtEachStep) {
    StopAtEachStep(true, false, steps + 1);
    std::printf("\n");
}

// One operation failing at every step, the update going on: it must end all or nothing.
TEST_F(EveryStep, FailingAtEachStep) {
    long step = 1;
    for (;; ++step) {
        DeleteTree(Root("failed"));
        CopyTree(Root("template"), Root("failed"));
        bool reached;
        {
            EverySteps failing(module, StepMode::Fail, step);
            Update("failed", "failing step " + std::to_string(step));
            reached = failing.Steps() >= step;
        }
        if (!reached) break;
        ExpectSoundAfterStop(step, "failed", false);
    }
    std::printf("failed at each of %ld steps\n", step - 1);
}

// Killed, then the run that settles the stop killed too at each of its steps: recovery is
// held to the rule it enforces.
TEST_F(EveryStep, KilledAgainWhileSettling) {
    EXPECT_GT(StopTwiceAtASpread(false), 0);
}

// Cut off, then the run that settles the cut cut off too at each of its steps.
TEST_F(EveryStep, PowerCutAgainWhileSettling) {
    EXPECT_GT(StopTwiceAtASpread(true), 0);
}

// A stopped setup's staging folder whose process id a live process has now (the system
// hands ids out again at once, and from the same place after a restart): the next update
// settles it first, never beside it, and a later run, once that process has ended, finds
// nothing to roll back over the newer content.
TEST_F(EveryStep, KilledWithItsProcessIdTakenAgain) {
    ASSERT_EQ(StartStopped(LateInCommit(2), "reused").Wait(), kStoppedDead);
    std::string content = Root("reused") + "\\" + kContent, stage = StageLeft("reused");
    ASSERT_FALSE(stage.empty());
    std::string held = dir.Text() + "\\alive.txt";
    dir.Write("alive.txt", "");
    StartedProcess alive("\"" + BinDir() + "\\lock_holder.exe\" \"" + held + "\"");
    ASSERT_TRUE(WaitFor(held + ".held"));
    char name[16];
    std::snprintf(name, sizeof name, "~ck%lx", static_cast<unsigned long>(alive.Id()));
    ASSERT_TRUE(MoveFileA((content + stage).c_str(), (content + name).c_str()));
    EXPECT_EQ(Update("reused", "a stopped setup's folder under a live process's id"), 1);
    EXPECT_NE(Sentence().find("rolled back first"), std::string::npos) << Sentence();
    EXPECT_EQ(Differences(Take(Root("reused")), clean), "") << "the update went on beside a stopped setup's commit";
    dir.Write("alive.txt.release", "");
    EXPECT_EQ(alive.Wait(10000), 0u);
    EXPECT_EQ(Update("reused", "once that process has ended"), 1);
    EXPECT_EQ(Differences(Take(Root("reused")), clean), "") << "a later run changed the newer content";
}

// Two setups started at once over one stopped setup's commit: it is settled once, and
// neither works beside it; each ends with result 1, and the tree as a clean run's.
TEST_F(EveryStep, KilledThenTwoSetupsAtOnce) {
    for (int round = 1; round <= 5; ++round) {
        ASSERT_EQ(StartStopped(LateInCommit(2), "twice").Wait(), kStoppedDead);
        StartedProcess first = StartOn(1000000, "twice"), second = StartOn(1000000, "twice");
        EXPECT_EQ(first.Wait(), 0u) << "round " << round;
        EXPECT_EQ(second.Wait(), 0u) << "round " << round;
        EXPECT_EQ(Differences(Take(Root("twice")), clean), "") << "round " << round;
    }
}
