// The host library's face towards a setup host program (setuphost.exe), beside the host
// services the extension uses (corvane.h): how a run is to go (for real or as a dry run,
// with progress reports), and the record of what the last run did, from which a host
// tells its user the outcome. Plain C, so that any host can call it.
#pragma once

#include "host/corvane.h"

#if defined(_WIN32)
#define CORVANE_STDCALL __stdcall
#else
#define CORVANE_STDCALL
#endif

extern "C" {

// Reports the files of `cabinet` done so far out of `total`, after each file.
typedef void (*CorvaneProgress)(const char* cabinet, unsigned done, unsigned total);

// MoveFileExA's shape: the module's own renames (it sets the content subdirectory aside
// with them) are sent through one of these in a dry run.
typedef int(CORVANE_STDCALL* CorvaneMove)(const char* from, const char* to, unsigned long flags);

// 1: a dry run from now on (every operation that would change the disk is checked and
// logged as what it would do, and nothing is changed); 0: for real (the default).
CORVANE_API void CorvaneSetDryRun(int dryRun);
// Null: no reports (the default).
CORVANE_API void CorvaneSetProgress(CorvaneProgress progress);
// What stands in for a module's own MoveFileExA in a dry run (the setup host points the
// module's import at it): the move is checked as the system would check it, logged as
// what it would do and remembered, so that later moves of the run see it done; nothing
// is moved.
CORVANE_API CorvaneMove CorvaneDryMove();

// What the last script run did, one event a step that matters to its outcome, in order.
// In a dry run, what it would have done.
enum CorvaneEventKind {
    CORVANE_RUN_OPENED = 1,  // subject: the script file; detail: what is wrong with it, or ""
    CORVANE_VERSION_READ,    // subject: the file; detail: its version "a.b.c.d", or "" for none
    CORVANE_UNPACKED,        // subject: the cabinet; count: its files; size: their bytes
    CORVANE_NOT_UNPACKED,    // subject: the cabinet; detail: why; flag: 1 when nothing of it was
                             // left in the content, 0 when not everything could be put back
    CORVANE_FILE_DELETED,    // subject: the file; flag: 1 deleted, 0 not
    CORVANE_FILES_DELETED,   // subject: folder and pattern; count: deleted; size: not deleted
    CORVANE_FILE_COPIED,     // subject: the copy's destination; flag: 1 copied, 0 not (the old
                             // file kept); detail: why not
    CORVANE_TREE_REMOVED,    // subject: the folder; flag: 1 gone (or never there), 0 not all of it;
                             // count: 0 when there was nothing to remove
    CORVANE_MOVED,           // subject: from; detail: to (the module's renames in a dry run)
    CORVANE_DECISION,        // subject: the tag the module logged; detail: its value
    CORVANE_RUN_CLOSED,      // count: the status (0 success, 1 failure); size: milliseconds
    CORVANE_LEFTOVER         // subject: what a stopped setup left; flag: 1 settled (then removed),
                             // 0 kept; count: a CorvaneSettled, what was found; size: the targets
                             // a rollback put back; detail: why it is kept
};

// What a stopped setup's staging folder held (the count of a CORVANE_LEFTOVER event).
enum CorvaneSettled {
    CORVANE_STAGING_REMOVED = 0,     // no commit of it had begun: only staged files, removed
    CORVANE_COMMIT_ROLLED_BACK = 1,  // an unfinished commit: rolled back (kept: it could not be)
    CORVANE_COMMIT_FINISHED = 2,     // a complete commit: the old files it replaced removed
    CORVANE_COMMIT_NOT_TRUSTED = 3   // kept: its journal is not this folder's commit, left alone
};

// Why a step failed, beside the text in its detail: for a host to switch on.
enum CorvaneReason {
    CORVANE_REASON_NONE = 0,       // it did not fail
    CORVANE_REASON_SYSTEM = 1,     // the system refused it: the event's error is the system's code
    CORVANE_REASON_DAMAGED = 2,    // a cabinet damaged, or no cabinet at all
    CORVANE_REASON_REFUSED = 3,    // a cabinet holding a name that may not be written
    CORVANE_REASON_UNSETTLED = 4,  // a stopped setup's commit in the folder could not be settled
    CORVANE_REASON_BUSY = 5,       // another setup works in the folder now
    CORVANE_REASON_SCRIPT = 6      // the script file cannot be used
};

typedef struct CorvaneEvent {
    int kind;                 // a CorvaneEventKind
    const char* subject;      // never null
    const char* detail;       // never null
    unsigned long long count;
    unsigned long long size;
    int flag;
    int reason;               // a CorvaneReason
    unsigned long error;      // the system's error code of a CORVANE_REASON_SYSTEM failure, else 0
} CorvaneEvent;

// The log file a script file names (its LogFile, or the script's path with ".log") in
// `path`, a buffer of `size` bytes; 0, with `path` empty, when it does not fit.
CORVANE_API int CorvaneLogFileOf(const char* script, char* path, unsigned size);

// The events of the last script run of this process, from its _InitSkript on (also after
// its _ExitSkript), in `*events`; returns how many. Valid until the next run opens.
CORVANE_API unsigned CorvaneRunRecord(const CorvaneEvent** events);

}  // extern "C"
