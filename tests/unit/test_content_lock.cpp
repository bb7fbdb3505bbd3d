// The content lock file: refused when the host sees it locked, taken over when nobody
// holds it, held once, released by closing and deleting it.
#include <fstream>

#include "extension/content_lock.h"
#include "unit_support.h"

namespace {

class LockTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFake(); }
    void TearDown() override { ContentSemaphore(tree.Content().c_str(), 0); }
    std::string LockContent() const {
        std::ifstream in(tree.Dir().Below("shared\\velm\\kordalin\\VAlmanor.sem"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void WriteLock(const std::string& content) const {
        std::ofstream(tree.Dir().Below("shared\\velm\\kordalin\\VAlmanor.sem"), std::ios::binary) << content;
    }
    ContentTree tree;
};

}  // namespace

// A lock file the host reports locked: refused, nothing created.
TEST_F(LockTest, RefusedWhenLocked) {
    Fake().lockedFiles.insert(tree.LockFile());
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 0);
    EXPECT_EQ(Fake().calls, (Calls{"BuildPath(" + tree.Content() + ", VAlmanor.sem)",
                                   "FileLocked(, " + tree.LockFile() + ")"}));
    EXPECT_FALSE(tree.HasFile("VAlmanor.sem"));
}

// A lock file left by an earlier run that nobody holds: taken, cut to zero, deleted at release.
TEST_F(LockTest, StaleLockFileIsTakenOver) {
    WriteLock("left from a crash");
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 1);
    EXPECT_EQ(LockContent(), "");
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 0), 1);
    EXPECT_FALSE(tree.HasFile("VAlmanor.sem"));
}

// Acquire while held: the host is still asked, and the held stream is not opened again.
TEST_F(LockTest, SecondAcquireKeepsTheHeldStream) {
    ASSERT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 1);
    WriteLock("written while held");
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 1);
    EXPECT_EQ(CallsNamed("FileLocked").size(), 2u);
    EXPECT_EQ(LockContent(), "written while held");  // a second open would have cut it
}

// No content folder yet: nothing to guard, so the lock counts as taken without a file;
// the release then deletes nothing.
TEST_F(LockTest, ReleaseAfterFailedOpenLeavesTheFile) {
    std::string missing = tree.Root() + "\\absent\\";
    EXPECT_EQ(ContentSemaphore(missing.c_str(), 1), 1);
    WriteLock("someone else's");
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 0), 1);
    EXPECT_EQ(LockContent(), "someone else's");
}

// A lock file that cannot be opened (a folder of its name here): refused with the
// system's reason, for a setup that holds it could not be told from one that does not.
TEST_F(LockTest, LockFileThatCannotBeOpenedRefusesTheLock) {
    std::filesystem::create_directory(tree.Dir().Below("shared\\velm\\kordalin\\VAlmanor.sem"));
    char why[CORVANE_TEXT_SIZE];
    EXPECT_EQ(AcquireContentLock(tree.Content().c_str(), why), LockState::Unusable);
    EXPECT_STRNE(why, "");
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 0);
}

// Release with nothing held returns 1 and deletes nothing.
TEST_F(LockTest, ReleaseWithoutLockDoesNothing) {
    WriteLock("x");
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 0), 1);
    EXPECT_TRUE(tree.HasFile("VAlmanor.sem"));
}

// A lock path that does not fit is never opened or deleted in cut-off form.
TEST_F(LockTest, OverlongLockPathIsNeverUsed) {
    std::string content = tree.Content() + std::string(260 - tree.Content().size() - 5, 'x') + "\\";
    EXPECT_EQ(ContentSemaphore(content.c_str(), 1), 1);
    EXPECT_EQ(CallsNamed("FileLocked"), (Calls{"FileLocked(, )"}));
    EXPECT_EQ(ContentSemaphore(content.c_str(), 0), 1);
}

#if defined(_WIN32)
#include <windows.h>

#include "host/started_process.h"

namespace {

// Exit status of is_locked.exe (beside this test program) for `file`.
DWORD SecondProcessSeesLocked(const std::string& file) {
    char self[MAX_PATH];
    std::string dir(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
    StartedProcess probe("\"" + dir.substr(0, dir.find_last_of('\\')) + "\\is_locked.exe\" \"" + file + "\"");
    return probe.Wait(20000);
}

}  // namespace

// The lock file as the platform holds it is seen as locked by the real host library in
// another process, and is free and gone after the release.
TEST_F(LockTest, SecondProcessSeesTheHeldLock) {
    ASSERT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 1);
    EXPECT_EQ(SecondProcessSeesLocked(tree.LockFile()), 1u);
    ContentSemaphore(tree.Content().c_str(), 0);
    EXPECT_FALSE(tree.HasFile("VAlmanor.sem"));
    WriteLock("");
    EXPECT_EQ(SecondProcessSeesLocked(tree.LockFile()), 0u);
}
#endif

#if defined(_WIN32)
#include <windows.h>
namespace {
// Another lock holder's open, which the host's test has not seen yet.
struct OtherHolder {
    explicit OtherHolder(const std::string& path)
        : handle(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr)) {
        OVERLAPPED region{};
        region.OffsetHigh = 0x7FFFFFFF;  // where lock holders mark their hold
        LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &region);
    }
    ~OtherHolder() { CloseHandle(handle); }
    HANDLE handle;
};
}  // namespace
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
namespace {
struct OtherHolder {
    explicit OtherHolder(const std::string& path) : fd(open(ScratchDir::LocalPath(path).c_str(), O_WRONLY | O_CREAT, 0644)) {
        flock(fd, LOCK_EX);
    }
    ~OtherHolder() { close(fd); }
    int fd;
};
}  // namespace
#endif

// A second setup that opened the lock file between the host's test and our open: refused,
// and its file is neither cut nor deleted.
TEST_F(LockTest, HolderThatCameInBetweenIsNotOverrun) {
    WriteLock("the other setup's");
    {
        OtherHolder other(tree.LockFile());
        EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 0);
        EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 0), 1);
        EXPECT_EQ(LockContent(), "the other setup's");
    }
    EXPECT_EQ(ContentSemaphore(tree.Content().c_str(), 1), 1);  // free again: taken over
}
