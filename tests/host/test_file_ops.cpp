// The host's file services on real files: the lock test against a second process,
// deleting, removing trees (never through a link), copying.
#include <gtest/gtest.h>

#include <string>

#include "corvane/file_system.h"
#include "host/corvane.h"
#include "host_test_support.h"
#include "started_process.h"

namespace {

// A second process that holds `file` open as a lock holder does, until Release().
class LockHolder {
public:
    explicit LockHolder(const std::string& file)
        : file_(file), process_("\"" + BinDir() + "\\lock_holder.exe\" \"" + file + "\"") {
        started_ = process_.Started() && WaitFor(file + ".held");
    }
    ~LockHolder() { Release(); }
    bool Started() const { return started_; }
    void Release() {
        CloseHandle(CreateFileA((file_ + ".release").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
        process_.Wait(10000);
    }

private:
    std::string file_;
    StartedProcess process_;
    bool started_ = false;
};

}  // namespace

// Missing and closed files are not locked; one held by another process is, and is free
// again once that process lets go.
TEST(FileLocked, SeesASecondProcessHoldingTheFile) {
    ScratchDir dir;
    std::string file = dir.Text() + "\\VAlmanor.sem";
    EXPECT_EQ(FileLocked("", file.c_str()), 0);
    dir.Write("VAlmanor.sem", "");
    EXPECT_EQ(FileLocked("", file.c_str()), 0);
    {
        LockHolder holder(file);
        ASSERT_TRUE(holder.Started());
        EXPECT_NE(FileLocked("", file.c_str()), 0);
        holder.Release();
    }
    EXPECT_EQ(FileLocked("", file.c_str()), 0);
    EXPECT_EQ(FileLocked("", ""), 0);
    EXPECT_NE(FileLocked("otherhost", file.c_str()), 0);  // only the local machine is served
}

// An open in this process that does not share deleting also counts as locked.
TEST(FileLocked, SeesAnOpenInThisProcess) {
    ScratchDir dir;
    std::string file = dir.Text() + "\\VAlmanor.sem";
    HANDLE held = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(FileLocked("", file.c_str()), 0);
    CloseHandle(held);
    EXPECT_EQ(FileLocked("", file.c_str()), 0);
}

// SafeDeleteFile deletes plain and read-only files, never a directory or nothing; the
// record gives the system's reason for each one it did not delete.
TEST(SafeDeleteFile, DeletesFilesOnly) {
    ScratchDir dir;
    dir.Write("plain.cab");
    dir.Write("readonly.cab");
    dir.Write("held.cab");
    SetFileAttributesA((dir.Text() + "\\readonly.cab").c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA((dir.Text() + "\\folder.cab").c_str(), nullptr);
    HANDLE held = CreateFileA((dir.Text() + "\\held.cab").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    const struct { const char* name; int result; DWORD error; } cases[] = {
        {"plain.cab", 1, 0}, {"readonly.cab", 1, 0}, {"folder.cab", 0, ERROR_ACCESS_DENIED},
        {"absent.cab", 0, ERROR_FILE_NOT_FOUND}, {"held.cab", 0, ERROR_SHARING_VIOLATION},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeDeleteFile((dir.Text() + "\\" + c.name).c_str()), c.result) << c.name;
        CorvaneEvent event = LastEvent(CORVANE_FILE_DELETED);
        EXPECT_EQ(event.reason, c.error ? CORVANE_REASON_SYSTEM : CORVANE_REASON_NONE) << c.name;
        EXPECT_EQ(event.error, static_cast<unsigned long>(c.error)) << c.name;
    }
    CloseHandle(held);
    EXPECT_EQ(SafeDeleteFile(""), 0);
    EXPECT_FALSE(Exists(dir.Text() + "\\plain.cab"));
    EXPECT_FALSE(Exists(dir.Text() + "\\readonly.cab"));
    EXPECT_TRUE(Exists(dir.Text() + "\\folder.cab"));
}

// RemoveFile deletes the matches in one directory, letter case ignored, and nothing else.
TEST(RemoveFile, DeletesMatchesInOneDirectory) {
    ScratchDir dir;
    for (const char* name : {"QMT_Kordalin_000.cab", "qmt_kordalin_001.CAB", "QMT_Other.cab",
                             "sub\\QMT_Kordalin_002.cab", "main.css"})
        dir.Write(name);
    EXPECT_EQ(RemoveFile(dir.Text().c_str(), "QMT_Kordalin*.cab"), 1);
    EXPECT_FALSE(Exists(dir.Text() + "\\QMT_Kordalin_000.cab"));
    EXPECT_FALSE(Exists(dir.Text() + "\\qmt_kordalin_001.CAB"));
    EXPECT_TRUE(Exists(dir.Text() + "\\QMT_Other.cab"));
    EXPECT_TRUE(Exists(dir.Text() + "\\sub\\QMT_Kordalin_002.cab"));
    EXPECT_EQ(RemoveFile(dir.Text().c_str(), "QMT_Kordalin*.cab"), 0);  // none left
    EXPECT_EQ(RemoveFile("", "main.css"), 0);
    EXPECT_EQ(RemoveFile(dir.Text().c_str(), "..\\main.css"), 0);
    EXPECT_EQ(RemoveFile(dir.Text().c_str(), "main.css"), 1);
}

// A whole tree goes, read-only files included; empty paths and volume roots never do.
TEST(RemoveDirTree, RemovesTheTreeButNeverARoot) {
    ScratchDir dir;
    dir.Write("kordalin\\Kordex\\a\\b.html");
    dir.Write("kordalin\\VAlmanor.dll");
    SetFileAttributesA((dir.Text() + "\\kordalin\\VAlmanor.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    dir.Write("keep.txt");
    EXPECT_EQ(RemoveDirTree((dir.Text() + "\\kordalin").c_str(), 1), 1);
    EXPECT_FALSE(Exists(dir.Text() + "\\kordalin"));
    EXPECT_TRUE(Exists(dir.Text() + "\\keep.txt"));
    EXPECT_EQ(RemoveDirTree((dir.Text() + "\\kordalin").c_str(), 1), 1);  // already gone
    EXPECT_EQ(RemoveDirTree((dir.Text() + "\\keep.txt").c_str(), 1), 0);  // not a directory
    dir.Write("held\\a\\open.html");
    HANDLE open = CreateFileA((dir.Text() + "\\held\\a\\open.html").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RemoveDirTree((dir.Text() + "\\held").c_str(), 1), 0);  // the record says why
    EXPECT_EQ(LastEvent(CORVANE_TREE_REMOVED).error, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    CloseHandle(open);
    for (const char* root : {"", "C:", "C:\\", "\\", "\\\\server\\share", "\\\\server\\share\\"})
        EXPECT_EQ(RemoveDirTree(root, 1), 0) << root;
}

// A directory link inside the tree is not followed: the folder it points to keeps its files.
TEST(RemoveDirTree, NeverDescendsThroughALink) {
    ScratchDir dir;
    dir.Write("outside\\precious.txt", "keep me");
    dir.Write("outside\\deeper\\also.txt", "keep me too");
    dir.Write("tree\\own.txt");
    CreateDirectoryA((dir.Text() + "\\empty-outside").c_str(), nullptr);
    ASSERT_TRUE(MakeDirectoryLink(dir.Text() + "\\tree\\link", dir.Text() + "\\outside"));
    ASSERT_TRUE(MakeDirectoryLink(dir.Text() + "\\tree\\empty", dir.Text() + "\\empty-outside"));
    RemoveDirTree((dir.Text() + "\\tree").c_str(), 1);
    EXPECT_TRUE(Exists(dir.Text() + "\\empty-outside"));
    EXPECT_EQ(ReadAll(dir.Text() + "\\outside\\precious.txt"), "keep me");
    EXPECT_EQ(ReadAll(dir.Text() + "\\outside\\deeper\\also.txt"), "keep me too");
    EXPECT_FALSE(Exists(dir.Text() + "\\tree\\own.txt"));
}

// CopyCreateFile makes missing folders and replaces an existing, read-only copy.
TEST(CopyCreateFile, CreatesFoldersAndReplaces) {
    ScratchDir dir;
    dir.Write("source.dll", "new module");
    std::string target = dir.Text() + "\\shared\\velm\\kordalin\\VAlmanor.dll";
    EXPECT_EQ(CopyCreateFile((dir.Text() + "\\source.dll").c_str(), target.c_str()), 1);
    EXPECT_EQ(ReadAll(target), "new module");
    dir.Write("source.dll", "newer");
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(CopyCreateFile((dir.Text() + "\\source.dll").c_str(), target.c_str()), 1);
    EXPECT_EQ(ReadAll(target), "newer");
    EXPECT_EQ(CopyCreateFile((dir.Text() + "\\absent.dll").c_str(), target.c_str()), 0);
    EXPECT_EQ(LastEvent(CORVANE_FILE_COPIED).error, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CopyCreateFile("", target.c_str()), 0);
}

// A copy into a folder where a setup was stopped inside a commit (its old marker set aside,
// the new one not yet in place) rolls that commit back first, then replaces what it put back.
TEST(CopyCreateFile, SettlesAStoppedCommitFirst) {
    ScratchDir dir;
    OpenRun run(dir);
    dir.Write("source.dll", "new module");
    std::string stage = dir.Text() + "\\content\\~ck7ffffff4", target = dir.Text() + "\\content\\VAlmanor.dll";
    dir.Write("content\\~ck7ffffff4\\owner", "");
    dir.Write("content\\~ck7ffffff4\\b\\VAlmanor.dll", "old module");
    unsigned long long identity = 0;
    ASSERT_TRUE(CorvaneRealFileSystem().identity(std::wstring(stage.begin(), stage.end()).c_str(), &identity));
    dir.Write("content\\~ck7ffffff4\\journal0", "KORDALIN-COMMIT-JOURNAL 2\nF\tVAlmanor.dll\t0\\VAlmanor.dll\tb\\VAlmanor.dll\nS\t" +
                                                    std::to_string(identity) + "\nEND\n");
    EXPECT_EQ(CopyCreateFile((dir.Text() + "\\source.dll").c_str(), target.c_str()), 1);
    EXPECT_EQ(ReadAll(target), "new module");
    EXPECT_FALSE(Exists(stage));
    CorvaneEvent settled = LastEvent(CORVANE_LEFTOVER);
    EXPECT_EQ(settled.count, static_cast<unsigned long long>(CORVANE_COMMIT_ROLLED_BACK));
    EXPECT_EQ(settled.size, 1u);  // the one target put back
    EXPECT_EQ(settled.flag, 1);
}
