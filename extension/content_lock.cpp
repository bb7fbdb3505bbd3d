#include "content_lock.h"

#include <cstdio>

#include "content_names.h"
#include "host/corvane.h"
#include "platform/platform.h"

namespace {
std::FILE* lockStream = nullptr;  // the lock file this process holds open
}

int ContentSemaphore(const char* contentDir, int acquire) {
    char lockPath[CORVANE_PATH_SIZE] = "";
    // A lock path that does not fit is never opened or deleted in cut-off form; acquire
    // then behaves as after a failed open.
    bool named = BuildPath(lockPath, contentDir, content::kLockFile) != 0 && lockPath[0];
    if (acquire) {
        if (FileLocked("", lockPath)) return 0;
        // Another setup that took the lock since the test above is refused like one the
        // host saw; any other failure to open does not stop the update.
        if (!lockStream && named &&
            platform::OpenSharedLockStream(lockPath, lockStream) == platform::LockOpen::HeldElsewhere)
            return 0;
        return 1;
    }
    if (lockStream) {
        std::fclose(lockStream);
        if (named) platform::DeleteFileAt(lockPath);
        lockStream = nullptr;
    }
    return 1;
}
