// InstallCab on real cabinets: gcab's (made before the run) extract byte for byte, and
// hostile or damaged ones fail as a whole without writing outside the destination.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "cab_writer.h"
#include "corvane/file_system.h"
#include "corvane/log_phrases.h"
#include "fault_fs.h"
#include "host/corvane.h"
#include "host_test_support.h"
#include "started_process.h"

namespace fs = std::filesystem;

namespace {

// Every file below `root` by relative path, with its bytes.
std::map<fs::path, std::string> Tree(const fs::path& root) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && !IsStageOwner(entry.path())) files[fs::relative(entry.path(), root)] = ReadAll(entry.path().string());
    return files;
}

// The paths whose presence or bytes differ between two trees; empty when they are equal.
std::string Differences(const std::map<fs::path, std::string>& got,
                        const std::map<fs::path, std::string>& expected) {
    std::string report;
    for (const auto& [path, bytes] : expected) {
        auto found = got.find(path);
        if (found == got.end()) report += " missing:" + path.string();
        else if (found->second != bytes) report += " differs:" + path.string();
    }
    for (const auto& entry : got)
        if (!expected.count(entry.first)) report += " extra:" + entry.first.string();
    return report;
}

std::string Cabinet(const char* name) { return CabinetFixtures() + "\\" + name; }
fs::path Source(const char* name) { return fs::path(CabinetFixtures()) / "src" / name; }

class InstallCabTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FromEnvironment("WSK_CABINETS").empty()) GTEST_SKIP() << "WSK_CABINETS is not set";
        destination = (dir.Path() / "dest").string();
    }
    // The scratch folder holds only the destination: nothing was written beside it.
    void ExpectNothingOutsideDestination() {
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            EXPECT_EQ(entry.path().filename(), "dest") << entry.path();
    }
    ScratchDir dir;
    std::string destination;
};

}  // namespace

// MSZIP and stored cabinets, flat, nested (with a UTF-8 name) and of many files, extract
// to exactly their sources, file times included.
TEST_F(InstallCabTest, GcabCabinetsExtractByteForByte) {
    struct Case { const char* cabinet; const char* source; } cases[] = {
        {"flat.cab", "flat"}, {"stored.cab", "flat"}, {"nested.cab", "nested"}, {"many.cab", "many"}};
    for (const auto& c : cases) {
        ScratchDir target;
        ASSERT_EQ(InstallCab(Cabinet(c.cabinet).c_str(), target.Text().c_str(), 1, 0), 1) << c.cabinet;
        EXPECT_EQ(Differences(Tree(target.Path()), Tree(Source(c.source))), "") << c.cabinet;
    }
}

// File times come from the cabinet, not from the moment of extraction.
TEST_F(InstallCabTest, FileTimesAreKept) {
    ASSERT_EQ(InstallCab(Cabinet("nested.cab").c_str(), destination.c_str(), 1, 0), 1);
    auto expected = fs::last_write_time(Source("nested") / "dir" / "sub" / "deep.txt");
    auto got = fs::last_write_time(fs::path(destination) / "dir" / "sub" / "deep.txt");
    EXPECT_LE(std::chrono::abs(got - expected), std::chrono::seconds(2));
}

// An existing longer file is replaced whole, and a read-only one too.
TEST_F(InstallCabTest, ReplacesExistingLongerAndReadOnlyFiles) {
    dir.Write("dest\\a.txt", std::string(500000, 'L'));
    dir.Write("dest\\empty.txt", "was not empty");
    SetFileAttributesA((destination + "\\empty.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(InstallCab(Cabinet("flat.cab").c_str(), destination.c_str(), 1, 0), 1);
    EXPECT_EQ(Differences(Tree(destination), Tree(Source("flat"))), "");
}

// Names that climb out, name a drive, a share or the root fail the whole cabinet: not
// even its harmless first file is written, and nothing appears outside.
TEST_F(InstallCabTest, EscapingNamesFailTheWholeCabinet) {
    const char* escapes[] = {"..\\evil.txt", "sub\\..\\..\\evil.txt", "../evil.txt", "sub/../../evil.txt",
                             "C:\\evil.txt", "C:evil.txt", "\\\\server\\share\\evil.txt", "\\evil.txt",
                             "/evil.txt", "...\\evil.txt"};
    for (const char* name : escapes) {
        std::string cab = (dir.Path() / "dest-evil.cab").string();
        CabWriter().Add("good.txt", "fine").Add(name, "evil").Write(cab);
        EXPECT_EQ(InstallCab(cab.c_str(), destination.c_str(), 1, 0), 0) << name;
        DeleteFileA(cab.c_str());
        EXPECT_FALSE(Exists(destination + "\\good.txt")) << name;
        EXPECT_FALSE(Exists("C:\\evil.txt")) << name;
        ExpectNothingOutsideDestination();
    }
}

// A name Windows takes for a device, in any folder, fails the whole cabinet before
// anything is written.
TEST_F(InstallCabTest, DeviceNamesFailTheWholeCabinet) {
    for (const char* name : {"Kordex/con.html", "nul", "sub/COM1.txt", "LPT9", "conout$"}) {
        std::string cab = (dir.Path() / "dest-device.cab").string();
        CabWriter().Add("good.txt", "fine").Add(name, "device").Write(cab);
        EXPECT_EQ(InstallCab(cab.c_str(), destination.c_str(), 1, 0), 0) << name;
        DeleteFileA(cab.c_str());
        EXPECT_FALSE(Exists(destination + "\\good.txt")) << name;
        ExpectNothingOutsideDestination();
    }
}

// A hand-made cabinet with plain names works; the log counts its files in good English.
TEST_F(InstallCabTest, HandMadeCabinetsWithSafeNames) {
    OpenRun run(dir);
    std::string cab = (dir.Path() / "made.cab").string();
    CabWriter().Add("Kordex/page.html", "<p>x</p>").Add("top.txt", "").Write(cab);
    ASSERT_EQ(InstallCab(cab.c_str(), destination.c_str(), 1, 0), 1);
    EXPECT_EQ(ReadAll(destination + "\\Kordex\\page.html"), "<p>x</p>");
    std::string two = std::string(": 2") + log_phrase::kFiles + log_phrase::kDone.unpackedInto;
    EXPECT_NE(run.LastLogLine().find(two), std::string::npos) << run.LastLogLine();
    CabWriter().Add("one.txt", "1").Write(cab);
    ASSERT_EQ(InstallCab(cab.c_str(), destination.c_str(), 1, 0), 1);
    std::string one = std::string(": 1") + log_phrase::kFile + log_phrase::kDone.unpackedInto;
    EXPECT_NE(run.LastLogLine().find(one), std::string::npos) << run.LastLogLine();
}

// A refused cabinet says what is wrong with it, and writes nothing: a name that escapes,
// a device, a character Windows does not allow, the form of the host's own work files
// (which would be swept as what a stopped setup left), a path too long, or no file at all.
TEST_F(InstallCabTest, EachRefusalSaysWhatIsWrong) {
    OpenRun run(dir);
    std::string cab = (dir.Path() / "refused.cab").string();
    const struct { const char* name; std::string logged; } cases[] = {
        {"Kordex/../../x.txt", "the name 'Kordex/../../x.txt' would be written outside "},
        {"Kordex/nul.html", "the name 'Kordex/nul.html' is a device on Windows; nothing written"},
        {"Kordex/\xE2\xC5?\xD4.html", "holds a character Windows does not allow in a file name ('?'); nothing written"},
        {"Kordex/page.", "has a part ending in a dot or blank; nothing written"},
        {"~ck99/page.txt", "the name '~ck99/page.txt' has the form of the host's own work files"},
        {"notes.txt.~ck99", "the name 'notes.txt.~ck99' has the form of the host's own work files"},
        {"", std::string(log_phrase::kDone.failedWith) + log_phrase::kHoldsNoFile + log_phrase::kDone.nothingReplaced},
    };
    for (const auto& c : cases) {
        CabWriter writer;
        if (*c.name) writer.Add("good.txt", "fine").Add(c.name, "bad");
        writer.Write(cab);
        EXPECT_EQ(InstallCab(cab.c_str(), destination.c_str(), 1, 0), 0) << c.name;
        EXPECT_NE(run.LastLogLine().find(c.logged), std::string::npos) << run.LastLogLine();
        EXPECT_EQ(LastEvent(CORVANE_NOT_UNPACKED).reason, *c.name ? CORVANE_REASON_REFUSED : CORVANE_REASON_DAMAGED);
        EXPECT_FALSE(Exists(destination + "\\good.txt")) << c.name;
    }
    std::string deep = "Kordex/" + std::string(MAX_PATH - destination.size() - 8, 'p');
    CabWriter().Add(deep, "too long").Write(cab);
    EXPECT_EQ(InstallCab(cab.c_str(), destination.c_str(), 1, 0), 0);
    EXPECT_NE(run.LastLogLine().find(log_phrase::kTooLong), std::string::npos) << run.LastLogLine();
}

// Truncated, bit-flipped, not a cabinet, a directory, missing, or empty arguments: 0,
// the process lives, no half-written file is left, and the record tells damage from a
// cabinet the system would not open.
TEST_F(InstallCabTest, DamagedOrMissingCabinetsFail) {
    const struct { const char* name; int reason; DWORD error; } cases[] = {
        {"truncated.cab", CORVANE_REASON_DAMAGED, 0}, {"flipped.cab", CORVANE_REASON_DAMAGED, 0},
        {"notacab.cab", CORVANE_REASON_DAMAGED, 0}, {"directory.cab", CORVANE_REASON_SYSTEM, ERROR_ACCESS_DENIED},
        {"absent.cab", CORVANE_REASON_SYSTEM, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& [name, reason, error] : cases) {
        EXPECT_EQ(InstallCab(Cabinet(name).c_str(), destination.c_str(), 1, 0), 0) << name;
        EXPECT_EQ(LastEvent(CORVANE_NOT_UNPACKED).reason, reason) << name;
        EXPECT_EQ(LastEvent(CORVANE_NOT_UNPACKED).error, static_cast<unsigned long>(error)) << name;
        if (Exists(destination)) {
            for (const auto& [path, bytes] : Tree(destination)) {
                auto source = Source("nested") / path;
                EXPECT_TRUE(bytes == ReadAll(source.string())) << name << ": " << path;
                EXPECT_EQ(path.filename().string().rfind("~ck", 0), std::string::npos) << path;
            }
        }
        ExpectNothingOutsideDestination();
    }
    EXPECT_EQ(InstallCab("", destination.c_str(), 1, 0), 0);
    EXPECT_EQ(InstallCab(Cabinet("flat.cab").c_str(), "", 1, 0), 0);
    EXPECT_EQ(InstallCab(nullptr, nullptr, 1, 0), 0);
}

// Staging left by a killed extraction (its process is gone) is cleared by the next one;
// folders that only look alike stay.
TEST_F(InstallCabTest, StagingOfADeadProcessIsCleared) {
    dir.Write("dest\\~ck7ffffff0\\0", "half written");
    dir.Write("dest\\~ckname\\keep.txt", "not staging");
    std::optional<OpenRun> run(std::in_place, dir);
    ASSERT_EQ(InstallCab(Cabinet("flat.cab").c_str(), destination.c_str(), 1, 0), 1);
    EXPECT_FALSE(Exists(destination + "\\~ck7ffffff0"));
    EXPECT_TRUE(Exists(destination + "\\~ckname\\keep.txt"));
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lx", GetCurrentProcessId());
    std::string own = destination + "\\~ck" + hex;
    EXPECT_TRUE(Exists(own));  // kept for the next package of this run
    run.reset();
    EXPECT_FALSE(Exists(own));  // and gone when the run ends
    // One that goes as it is being taken over (its setup ended meanwhile) leaves nothing to
    // settle, and is no hindrance, whatever the failed open of its owner file said.
    for (DWORD reported : {DWORD(0), DWORD(ERROR_FILE_NOT_FOUND), DWORD(ERROR_ACCESS_DENIED)}) {
        dir.Write("dest\\~ck7ffffff5\\owner", "");
        run.emplace(dir);
        {
            FaultyFs faults;
            std::string gone = destination + "\\~ck7ffffff5";
            faults.FolderGoneBeforeOpen(std::wstring(gone.begin(), gone.end()), reported);
            EXPECT_EQ(InstallCab(Cabinet("flat.cab").c_str(), destination.c_str(), 1, 0), 1)
                << "the open said " << reported << ": " << run->LastLogLine();
        }
        run.reset();
    }
    // A folder of this process's name that holds anything was never this process's: the
    // unpacking fails rather than staging (and clearing) files in it.
    dir.Write("dest\\~ck" + std::string(hex) + "\\keep.txt", "the user's");
    dir.Write("dest\\~ck" + std::string(hex) + "\\0\\a.txt", "the user's");
    run.emplace(dir);
    EXPECT_EQ(InstallCab(Cabinet("flat.cab").c_str(), destination.c_str(), 1, 0), 0);
    EXPECT_EQ(ReadAll(own + "\\0\\a.txt"), "the user's");
    EXPECT_EQ(ReadAll(own + "\\keep.txt"), "the user's");
}

// A commit's journal is read from the disk, where whoever may write in the destination
// could have put one, or swapped a folder for a link: a journal naming anything outside the
// destination, or outside its staging folder, or a path through a link on either side, is
// not acted on (its folder stays, and holds the place: the folder reads as unsettled); one
// of an earlier build, with full paths inside the destination, is rolled back.
TEST_F(InstallCabTest, AJournalIsActedOnOnlyWithinItsDestination) {
    struct Case { const char* scenario; const char* version; std::string target, backup; bool rolledBack; };
    std::string victim = dir.Text() + "\\outside\\victim.txt";
    const Case cases[] = {
        {"a full path outside", "1", victim, "b\\victim.txt", false},
        {"an old file set aside outside", "1", "page.html", "..\\..\\outside\\victim.txt", false},
        {"a name climbing out", "2", "..\\outside\\victim.txt", "b\\victim.txt", false},
        {"an old file set aside outside by dots Windows drops", "2", "page.html", "...\\...\\outside\\victim.txt", false},
        {"a target through a folder swapped for a link", "2", "lnk\\victim.txt", "b\\victim.txt", false},
        {"an old file set aside through a link in the stage", "2", "page.html", "lnk\\victim.txt", false},
        {"a full path inside, of an earlier build", "1", "page.html", "b\\page.html", true},
    };
    int number = 0;
    for (const Case& c : cases) {
        // A destination of its own for each case: a link under Wine cannot be removed alone.
        std::string name = "dest" + std::to_string(++number), root = dir.Text() + "\\" + name;
        std::string page = root + "\\page.html", stage = root + "\\~ck7ffffff2";
        std::string target = c.target == "page.html" && *c.version == '1' ? page : c.target;
        dir.Write("outside\\victim.txt", "precious");
        dir.Write(name + "\\page.html", "new");
        dir.Write(name + "\\~ck7ffffff2\\owner", "");
        dir.Write(name + "\\~ck7ffffff2\\b\\page.html", "old");
        ASSERT_TRUE(MakeDirectoryLink(root + "\\lnk", dir.Text() + "\\outside"));
        if (c.backup.rfind("lnk", 0) == 0) {
            ASSERT_TRUE(MakeDirectoryLink(stage + "\\lnk", dir.Text() + "\\outside"));
        }
        unsigned long long identity = 0;
        ASSERT_TRUE(CorvaneRealFileSystem().identity(std::wstring(stage.begin(), stage.end()).c_str(), &identity));
        dir.Write(name + "\\~ck7ffffff2\\journal0", std::string("KORDALIN-COMMIT-JOURNAL ") + c.version + "\nF\t" +
                                                      target + "\t0\\victim.txt\t" + c.backup + "\nS\t" +
                                                      std::to_string(identity) + "\nEND\n");
        EXPECT_EQ(FileLocked("", page.c_str()), c.rolledBack ? 0 : CORVANE_UNSETTLED) << c.scenario;
        EXPECT_EQ(ReadAll(victim), "precious") << c.scenario;
        EXPECT_EQ(ReadAll(page), c.rolledBack ? "old" : "new") << c.scenario;
        EXPECT_EQ(Exists(stage), !c.rolledBack) << c.scenario;
    }
}
