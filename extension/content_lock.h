// The lock file that guards a content directory against a second setup.
#pragma once

#include "host/corvane.h"

enum class LockState {
    Taken,          // this process holds the lock file (or there is no content folder yet)
    HeldElsewhere,  // another setup holds it
    Unusable,       // the lock file cannot be opened: nobody can tell who else works here
    Unsettled,      // a stopped setup's commit there could not be settled: nothing may change
};

// The lock of `contentDir`: taken as ContentSemaphore(acquire != 0) takes it, with why
// it was refused; `why` holds the system's reason for Unusable.
LockState AcquireContentLock(const char* contentDir, char (&why)[CORVANE_TEXT_SIZE]);

// acquire != 0: 1 when the lock is taken; 0 when the host reports the lock file locked (or
// the folder unsettled), when another holder opened it in the meantime, or when it cannot
// be opened at all.
// acquire == 0: closes and deletes the held lock file, if any; always 1.
int ContentSemaphore(const char* contentDir, int acquire);

// Holds the lock for a scope: released on every way out when it was taken.
class ContentLock {
public:
    explicit ContentLock(const char* contentDir)
        : contentDir_(contentDir), state_(AcquireContentLock(contentDir, why_)) {}
    ~ContentLock() {
        if (state_ == LockState::Taken) ContentSemaphore(contentDir_, 0);
    }
    ContentLock(const ContentLock&) = delete;
    ContentLock& operator=(const ContentLock&) = delete;

    LockState State() const { return state_; }
    const char* Why() const { return why_; }

private:
    const char* contentDir_;
    char why_[CORVANE_TEXT_SIZE] = "";
    LockState state_;
};
