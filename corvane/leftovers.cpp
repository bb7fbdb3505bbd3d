#include "leftovers.h"

#include <windows.h>

#include <cwchar>
#include <functional>
#include <iterator>
#include <map>
#include <vector>

#include "cabinet_names.h"
#include "commit_journal.h"
#include "file_system.h"
#include "log_phrases.h"
#include "run_log.h"
#include "run_mode.h"
#include "run_record.h"
#include "stage_area.h"

namespace {

constexpr std::size_t kJournalNameLength = std::size(kJournalName) - 1;

// A staging folder without an owner file is one a stopped setup left (an earlier build's,
// or one stopped before it took the folder): so only where every entry is one the host
// makes. A folder of the user's that merely has such a name stays as it is.
bool MadeLikeAStage(const std::wstring& stage) {
    for (const WIN32_FIND_DATAW& entry : FolderEntries(stage, L"*"))
        if (!IsStageEntry(entry.cFileName)) return false;
    return true;
}

// Removes everything below `folder` but the file `keep` (a folder a rollback moved back
// may hold folders of its own), never following a link.
void ClearBelow(const std::wstring& folder, const std::wstring& keep) {
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder, L"*")) {
        std::wstring path = folder + entry.cFileName;
        bool directory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        bool link = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (directory && !link) {
            ClearBelow(path + L"\\", keep);
            Fs().removeDirectory(LongPath(path).c_str());
        } else if (!directory && path != keep) {
            DeleteEvenReadOnly(path);
        }
    }
}

// What settling one staging folder came to.
struct Settling {
    bool ours = true;  // false: nothing to settle or say (a folder of someone else's that
                       // merely has such a name, or one gone since it was listed)
    FolderState state = FolderState::Settled;
    CorvaneSettled what = CORVANE_STAGING_REMOVED;
    unsigned long long undone = 0;  // targets a rollback put back
    Failure why;                    // why it is kept (or, settled, what could not be removed)
};

// Rolls back the commits whose journals the owned staging folder `stage` holds, the last
// one's first, each journal removed once its commit is undone. False, with `settling`
// saying why, when one could not be read, trusted or undone.
bool RollBackJournals(const std::wstring& stage, Settling& settling) {
    std::map<unsigned long, std::wstring, std::greater<unsigned long>> journals;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(stage, std::wstring(kJournalName) + L"*"))
        journals[std::wcstoul(entry.cFileName + kJournalNameLength, nullptr, 16)] = stage + entry.cFileName;
    for (const auto& [number, path] : journals) {
        CommitJournal journal;
        CommitJournal::Reading reading = CommitJournal::Read(path, journal);
        if (reading == CommitJournal::Reading::Unreadable) {
            settling.what = CORVANE_COMMIT_ROLLED_BACK;
            settling.why = SystemFailure(GetLastError(), "its journal cannot be read: ");
            return false;
        }
        if (reading == CommitJournal::Reading::Whole) {
            CommitJournal::RollBackReport report;
            bool undone = journal.RollBack(stage.substr(0, stage.size() - 1), report);
            settling.undone += report.undone;
            if (!undone) {
                settling.why = report.why;
                settling.what = report.trusted ? CORVANE_COMMIT_ROLLED_BACK : CORVANE_COMMIT_NOT_TRUSTED;
                return false;
            }
            settling.what = CORVANE_COMMIT_ROLLED_BACK;
        }
        // Undone, or never begun: the journal goes first, so that what it named is only
        // ever removed once nothing is left to undo.
        if (!Fs().remove(LongPath(path).c_str())) {
            settling.what = CORVANE_COMMIT_ROLLED_BACK;
            settling.why = SystemFailure(GetLastError(), "its journal cannot be removed: ");
            return false;
        }
    }
    return true;
}

// With no journal left, old files set aside ("<hex>o") are of a commit that was complete:
// removing them finishes it.
bool HoldsSetAsideFiles(const std::wstring& stage) {
    for (const WIN32_FIND_DATAW& entry : FolderEntries(stage, L"*o"))
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !FolderEntries(stage + entry.cFileName + L"\\", L"*").empty())
            return true;
    return false;
}

// Settles the staging folder `stage` (ends in a backslash) that this process does not own:
// taken first, so that no live process's folder is touched and no two processes settle
// one folder; then its commits are rolled back (or a complete one finished) and it goes.
Settling SettleStage(const std::wstring& stage) {
    Settling settling;
    if (!Exists(stage + kOwnerName) && !MadeLikeAStage(stage)) {
        settling.ours = false;
        return settling;
    }
    FsHandle owner(TakeOwnership(stage));
    if (!owner.Valid()) {
        DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) {  // gone since it was listed: its setup ended, and removed it
            settling.ours = false;
            return settling;
        }
        settling.state = error == ERROR_SHARING_VIOLATION ? FolderState::Held : FolderState::Unsettled;
        settling.why = SystemFailure(error, "it cannot be taken over: ");
        return settling;
    }
    if (!RollBackJournals(stage, settling)) {
        settling.state = FolderState::Unsettled;
        return settling;
    }
    if (settling.what == CORVANE_STAGING_REMOVED && HoldsSetAsideFiles(stage)) settling.what = CORVANE_COMMIT_FINISHED;
    ClearBelow(stage, stage + kOwnerName);
    owner.Close();
    Fs().remove(LongPath(stage + kOwnerName).c_str());
    if (!Fs().removeDirectory(LongPath(stage).c_str()))
        settling.why = SystemFailure(GetLastError(), "what is left of it could not be removed: ");
    return settling;
}

// The log's entry and the record's event for one settled or kept leftover.
void Report(const std::wstring& path, const Settling& settling) {
    std::string outcome;
    if (settling.state == FolderState::Unsettled)
        outcome = (settling.what == CORVANE_COMMIT_NOT_TRUSTED ? log_phrase::kLeftoverNotTrusted : log_phrase::kLeftoverKept) +
                  settling.why.text + (settling.what == CORVANE_COMMIT_NOT_TRUSTED ? log_phrase::kLeftAlone : log_phrase::kTriedAgain);
    else
        outcome = std::string(settling.what == CORVANE_COMMIT_ROLLED_BACK ? Said().leftoverRolledBack
                              : settling.what == CORVANE_COMMIT_FINISHED  ? Said().leftoverFinished
                                                                          : Said().leftoverRemoved) +
                  (settling.why ? " (" + settling.why.text + ")" : "");
    bool settled = settling.state == FolderState::Settled;
    LogEntry(log_phrase::kClearLeftovers, Narrow(path) + outcome);
    RecordEvent(CORVANE_LEFTOVER, Narrow(path), settling.why.text, settling.what, settling.undone, settled,
                settled ? Reason() : settling.why.reason);
}

// An earlier build made the marker's copy beside it ("NAME.~ck<hex>"): one nobody holds
// open is a copy its setup never finished.
void RemoveEarlierCopy(const std::wstring& path) {
    if (DeleteBlocker(path) == 0 && DeleteEvenReadOnly(path)) Report(path, Settling());
}

}  // namespace

FolderState SettleFolder(const std::wstring& folder) {
    FolderState state = FolderState::Settled;
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder, std::wstring(L"*") + kStagePrefix + L"*")) {
        std::wstring path = folder + entry.cFileName;
        WorkName kind = WorkNameOf(Narrow(entry.cFileName, CP_UTF8));
        bool directory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;  // no folder of ours is a link
        if (kind == WorkName::Copy && !directory) RemoveEarlierCopy(path);
        if (kind != WorkName::Stage || !directory || OwnStage(path + L"\\")) continue;
        Settling settling = SettleStage(path + L"\\");
        if (!settling.ours) continue;
        if (settling.state != FolderState::Held) Report(path, settling);
        if (settling.state == FolderState::Unsettled) state = FolderState::Unsettled;
        else if (settling.state == FolderState::Held && state == FolderState::Settled) state = FolderState::Held;
    }
    return state;
}

Failure SettleOnce(const std::wstring& folder) {
    if (OwnStage(StageFolderOf(folder))) return {};
    switch (SettleFolder(folder)) {
        case FolderState::Settled: return {};
        case FolderState::Held: return {log_phrase::kHeldThere, {CORVANE_REASON_BUSY}};
        case FolderState::Unsettled: break;
    }
    return {log_phrase::kUnsettledThere, {CORVANE_REASON_UNSETTLED}};
}
