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
        if (!lockStream && named) lockStream = platform::OpenSharedLockStream(lockPath);
        return 1;
    }
    if (lockStream) {
        std::fclose(lockStream);
        if (named) platform::DeleteFileAt(lockPath);
        lockStream = nullptr;
    }
    return 1;
}
