// Failures injected where they happen, through the host's file-system table: a short or
// failed write while a cabinet is read, a move that fails in the middle of its commit
// (and while it is undone), a full disk while the marker is copied. Each time the content
// keeps all of its old files, and the log names the file and the reason truthfully.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "cab_writer.h"
#include "fault_fs.h"
#include "corvane/log_phrases.h"
#include "host/corvane.h"
#include "host_test_support.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> Files(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && !IsStageOwner(entry.path())) files[fs::relative(entry.path(), root).string()] = ReadAll(entry.path().string());
    return files;
}

// A destination holding an old copy of each file of flat.cab (a read-only one among
// them), inside an open script run whose log the test reads.
class CommitFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FromEnvironment("WSK_CABINETS").empty()) GTEST_SKIP() << "WSK_CABINETS is not set";
        destination = dir.Text() + "\\dest";
        for (const char* name : {"a.txt", "b.bin", "empty.txt"}) dir.Write(std::string("dest\\") + name, "old " + std::string(name));
        SetFileAttributesA((destination + "\\empty.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        before = Files(dir.Below("dest"));
        run.emplace(dir);
    }
    void TearDown() override { run.reset(); }
    int Install(const char* cabinet = "flat.cab") {
        return InstallCab((CabinetFixtures() + "\\" + cabinet).c_str(), destination.c_str(), 1, 0);
    }
    std::string LastLogLine() { return run->LastLogLine(); }
    // The old files, all of them, as they were, read-only one included; no leftovers
    // (the staging folder stays for the run, with empty subfolders at most).
    void ExpectOldContent(const std::string& scenario) {
        EXPECT_EQ(Files(dir.Below("dest")), before) << scenario;
        EXPECT_TRUE(GetFileAttributesA((destination + "\\empty.txt").c_str()) & FILE_ATTRIBUTE_READONLY) << scenario;
        for (const auto& entry : fs::directory_iterator(dir.Below("dest")))
            if (entry.is_directory()) {
                EXPECT_TRUE(Files(entry.path()).empty()) << scenario << ": " << entry.path();
            }
    }
    ScratchDir dir;
    std::optional<OpenRun> run;
    std::string destination;
    std::map<std::string, std::string> before;
};

}  // namespace

// A write cut short or refused, at the first file or in the middle of the big one, a disk
// that fills, or flushes that fail: the cabinet fails, nothing is replaced, the log names
// the file.
TEST_F(CommitFaultTest, ShortOrFailedWritesReplaceNothing) {
    struct Case { const char* scenario; int shortWrite; DWORD error; unsigned long long budget; const char* logged; } cases[] = {
        {"every flush failing", 0, ERROR_DISK_FULL, 0, "cannot write a.txt: the disk is full"},
        {"first write short", 1, 0, 0, "cannot write a.txt: the disk is full"},
        {"a middle write short", 3, 0, 0, "cannot write b.bin: the disk is full"},
        {"a write refused", 3, ERROR_DISK_FULL, 0, "cannot write b.bin: the disk is full"},
        {"disk full after 100 KB", 0, 0, 100000, "cannot write b.bin: the disk is full"},
    };
    for (const auto& c : cases) {
        FaultyFs faults;
        if (c.shortWrite) faults.ShortWriteAt(c.shortWrite, c.error);
        else if (c.error) faults.FailFlushes(c.error);  // found by the commit, whichever thread flushed
        if (c.budget) faults.DiskFullAfter(c.budget);
        EXPECT_EQ(Install(), 0) << c.scenario;
        EXPECT_EQ(faults.Moves(), 0) << c.scenario << ": nothing may be committed";
        ExpectOldContent(c.scenario);
        EXPECT_NE(LastLogLine().find(c.logged), std::string::npos) << c.scenario << ": " << LastLogLine();
        EXPECT_NE(LastLogLine().find(log_phrase::kDone.nothingReplaced), std::string::npos) << c.scenario;
        EXPECT_EQ(LastEvent(CORVANE_NOT_UNPACKED).error, static_cast<unsigned long>(ERROR_DISK_FULL)) << c.scenario;
    }
}

// A move that fails at any step of the commit (setting an old file aside, or putting a
// new one in place): every target replaced before it is put back.
TEST_F(CommitFaultTest, AFailedMoveAnywhereInTheCommitPutsEverythingBack) {
    // Every file of flat.cab is already there, so each takes three moves: the one that
    // finds the old file in the way, setting it aside, and the one into place.
    const int movesOfACommit = 9;
    for (int n = 1; n <= movesOfACommit; ++n) {
        FaultyFs faults;
        faults.FailMoveAt(n);
        EXPECT_EQ(Install(), 0) << "move " << n;
        ExpectOldContent("move " + std::to_string(n));
        std::string held = std::string(": another program has it open") + log_phrase::kDone.nothingReplaced;
        EXPECT_NE(LastLogLine().find(held), std::string::npos) << "move " << n << ": " << LastLogLine();
        CorvaneEvent failed = LastEvent(CORVANE_NOT_UNPACKED);  // the reason as a code too
        EXPECT_EQ(failed.reason, CORVANE_REASON_SYSTEM) << "move " << n;
        EXPECT_EQ(failed.error, static_cast<unsigned long>(ERROR_SHARING_VIOLATION)) << "move " << n;
    }
    FaultyFs none;
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(none.Moves(), movesOfACommit);
    EXPECT_EQ(ReadAll(destination + "\\a.txt"), "first file\r\n");
}

// New files only (an empty destination): a failed move takes out what was placed.
TEST_F(CommitFaultTest, AFailedCommitOfNewFilesLeavesNone) {
    std::string empty = dir.Text() + "\\fresh";
    for (int n = 1; n <= 4; ++n) {
        FaultyFs faults;
        faults.FailMoveAt(n);
        EXPECT_EQ(InstallCab((CabinetFixtures() + "\\nested.cab").c_str(), empty.c_str(), 1, 0), 0) << n;
        EXPECT_TRUE(Files(dir.Below("fresh")).empty()) << "move " << n;
        EXPECT_FALSE(Exists(empty + "\\dir")) << "move " << n << ": a folder made for the cabinet stayed";
    }
}

// Many files into a folder that is there, half of them replacing old ones: the commit
// renames two at a time, and a move that fails in that batch or after it still leaves
// the old content. (300 renames ahead, 150 of which find an old file in the way; then
// those 150 set their old file aside and move in.)
TEST_F(CommitFaultTest, AFailedMoveAmongManyPutsEverythingBack) {
    for (int i = 0; i < 300; i += 2) dir.Write("dest\\f" + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i) + ".txt", "old");
    before = Files(dir.Below("dest"));
    for (int n : {1, 300, 301, 600}) {
        FaultyFs faults;
        faults.FailMoveAt(n);
        EXPECT_EQ(Install("many.cab"), 0) << "move " << n;
        ExpectOldContent("move " + std::to_string(n));
    }
    FaultyFs none;
    EXPECT_EQ(Install("many.cab"), 1);
    EXPECT_EQ(none.Moves(), 600);
    EXPECT_EQ(ReadAll(destination + "\\f000.txt"), "file 000\n");
    EXPECT_EQ(ReadAll(destination + "\\f299.txt"), "file 299\n");
}

// Staged files of a failed cabinet that cannot be deleted (another program holds them)
// never reach the content with a later cabinet, whose new folder is moved in whole.
TEST_F(CommitFaultTest, LeftoversOfAFailedCabinetStayOutOfTheNext) {
    {
        FaultyFs faults;
        faults.ShortWriteAt(2);  // in b.bin, with a.txt staged whole
        faults.FailRemoves();
        EXPECT_EQ(Install(), 0);
    }
    std::string cab = dir.Text() + "\\fresh.cab";
    CabWriter().Add("fresh/new.txt", "new").Write(cab);
    ASSERT_EQ(InstallCab(cab.c_str(), destination.c_str(), 1, 0), 1);
    EXPECT_EQ(Files(dir.Below("dest\\fresh")).size(), 1u) << "leftovers moved in with fresh\\new.txt";
    EXPECT_EQ(ReadAll(destination + "\\fresh\\new.txt"), "new");
}

// When putting back fails too, the log says so instead of "nothing replaced". (Moves 1
// to 3 find the three old files in the way, 4 and 5 replace a.txt; from 6 on every move
// fails, so a.txt cannot be put back.)
TEST_F(CommitFaultTest, AFailedRollBackIsNotReportedAsClean) {
    FaultyFs faults;
    faults.FailMoveAt(6, ERROR_ACCESS_DENIED, true);
    EXPECT_EQ(Install(), 0);
    EXPECT_NE(LastLogLine().find(log_phrase::kNotAllPutBack), std::string::npos) << LastLogLine();
    EXPECT_EQ(LastLogLine().find(log_phrase::kDone.nothingReplaced), std::string::npos) << LastLogLine();
}

// The marker is replaced only by a whole copy: a short write or a failed move leaves the
// old one as it was, and no temporary copy beside it.
TEST_F(CommitFaultTest, MarkerCopyIsWholeOrNotAtAll) {
    std::string source = dir.Text() + "\\module.dll", marker = dir.Text() + "\\dest\\VAlmanor.dll";
    dir.Write("module.dll", std::string(300000, 'N'));
    dir.Write("dest\\VAlmanor.dll", "old marker");
    for (int mode = 0; mode < 3; ++mode) {
        FaultyFs faults;
        if (mode == 0) faults.ShortWriteAt(2);
        if (mode == 1) faults.DiskFullAfter(20000);
        if (mode == 2) faults.FailMoveAt(1, ERROR_ACCESS_DENIED);
        EXPECT_EQ(CopyCreateFile(source.c_str(), marker.c_str()), 0) << mode;
        EXPECT_EQ(ReadAll(marker), "old marker") << mode;
        EXPECT_NE(LastLogLine().find(log_phrase::kDone.oldFileKept), std::string::npos) << LastLogLine();
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(dir.Below("dest"))) files += entry.is_regular_file();
        EXPECT_EQ(files, before.size() + 1) << mode << ": a temporary copy stayed";
    }
    EXPECT_EQ(CopyCreateFile(source.c_str(), marker.c_str()), 1);
    EXPECT_EQ(ReadAll(marker), std::string(300000, 'N'));
}

// The disk fills while the commit's journal is written (the last write of a cabinet, cut
// short or refused): nothing is replaced, and the log gives the system's reason, not what
// the removal of the half-written journal left in the error code.
TEST_F(CommitFaultTest, AJournalThatCannotBeWrittenSaysWhy) {
    int writes = 0;
    {
        FaultyFs counting;
        ASSERT_EQ(InstallCab((CabinetFixtures() + "\\flat.cab").c_str(), (dir.Text() + "\\fresh").c_str(), 1, 0), 1);
        writes = counting.Writes();
    }
    for (DWORD error : {DWORD(0), DWORD(ERROR_DISK_FULL)}) {
        FaultyFs faults;
        faults.ShortWriteAt(writes, error);
        EXPECT_EQ(Install(), 0) << error;
        EXPECT_EQ(faults.Moves(), 0) << error;
        ExpectOldContent("the journal's write failing with " + std::to_string(error));
        std::string why = std::string("cannot write the commit's journal: the disk is full") + log_phrase::kDone.nothingReplaced;
        EXPECT_NE(LastLogLine().find(why), std::string::npos) << LastLogLine();
        EXPECT_EQ(LastEvent(CORVANE_NOT_UNPACKED).error, static_cast<unsigned long>(ERROR_DISK_FULL));
    }
}
