#include "content_lock.h"

#include <cstdio>

#include "content_names.h"
#include "platform/platform.h"

namespace {

std::FILE* lockStream = nullptr;  // the lock file this process holds open

// The lock file of `contentDir` in `lockPath`; false when its path does not fit, which is
// then never used in cut-off form.
bool LockPathOf(char (&lockPath)[CORVANE_PATH_SIZE], const char* contentDir) {
    lockPath[0] = '\0';
    return BuildPath(lockPath, contentDir, content::kLockFile) != 0 && lockPath[0];
}

}  // namespace

LockState AcquireContentLock(const char* contentDir, char (&why)[CORVANE_TEXT_SIZE]) {
    char lockPath[CORVANE_PATH_SIZE];
    why[0] = '\0';
    // The update checks its paths before it takes the lock.
    bool named = LockPathOf(lockPath, contentDir);
    switch (FileLocked("", lockPath)) {
        case 0: break;
        case CORVANE_UNSETTLED: return LockState::Unsettled;
        default: return LockState::HeldElsewhere;
    }
    if (lockStream || !named) return LockState::Taken;
    unsigned error = 0;
    switch (platform::OpenSharedLockStream(lockPath, lockStream, error)) {
        case platform::LockOpen::Opened:
        case platform::LockOpen::FolderMissing:  // no content folder: no content, no package to guard
            return LockState::Taken;
        case platform::LockOpen::HeldElsewhere:  // another setup took it since the test above
            return LockState::HeldElsewhere;
        case platform::LockOpen::Failed:
            break;
    }
    platform::ErrorText(error, why, sizeof why);
    return LockState::Unusable;
}

int ContentSemaphore(const char* contentDir, int acquire) {
    if (acquire) {
        char why[CORVANE_TEXT_SIZE];
        return AcquireContentLock(contentDir, why) == LockState::Taken ? 1 : 0;
    }
    char lockPath[CORVANE_PATH_SIZE];
    bool named = LockPathOf(lockPath, contentDir);
    if (lockStream) {
        std::fclose(lockStream);
        if (named) platform::DeleteFileAt(lockPath);
        lockStream = nullptr;
    }
    return 1;
}
