// The lock file that guards a content directory against a second setup.
#pragma once

// acquire != 0: 0 when the host reports the lock file locked, or when another holder
// opened it in the meantime; otherwise 1, holding the file open (created, or cut to zero
// length) unless the open failed for another reason.
// acquire == 0: closes and deletes the held lock file, if any; always 1.
int ContentSemaphore(const char* contentDir, int acquire);

// Holds the lock for a scope: released on every way out when the acquire succeeded.
class ContentLock {
public:
    explicit ContentLock(const char* contentDir)
        : contentDir_(contentDir), taken_(ContentSemaphore(contentDir, 1) != 0) {}
    ~ContentLock() {
        if (taken_) ContentSemaphore(contentDir_, 0);
    }
    ContentLock(const ContentLock&) = delete;
    ContentLock& operator=(const ContentLock&) = delete;

    bool Taken() const { return taken_; }

private:
    const char* contentDir_;
    bool taken_;
};
