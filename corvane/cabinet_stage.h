// The staging and the commit of one cabinet's files. While a cabinet is read, its files
// are written into a staging folder of this process (stage_area.h), under their own names
// in one subfolder per target folder, so that no folder collects more new names than its
// target does (Wine reads a whole folder to look up a new name), and each is flushed to
// the disk before it can be named in the content. The commit first writes its journal
// (commit_journal.h), then takes the target folders in turn: one that does not exist yet
// receives its whole subfolder in one move; into one that exists, each new file is moved,
// and an old file in its way is first set aside into the staging folder. When any step
// fails, every step done is undone in reverse, so the content sees all of the cabinet or
// none of it. The journal goes once the commit is complete (and only then the old files
// set aside), or once it is undone whole; a commit stopped in the middle, or whose undo
// failed, is rolled back from its journal by the next host operation there (leftovers.h).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "flush_queue.h"
#include "run_record.h"

struct CommitJournal;
struct StageArea;

class CabinetStage {
public:
    // `destination` is a full path ending in a backslash. The staging folder there is
    // made, or taken over from this process's earlier cabinets.
    explicit CabinetStage(const std::wstring& destination);
    ~CabinetStage();
    CabinetStage(const CabinetStage&) = delete;
    CabinetStage& operator=(const CabinetStage&) = delete;

    // 0 when the staging folder is this process's; else the system's error that kept it
    // from being made or owned (nothing can be staged then).
    DWORD Unusable() const { return unusable_; }

    // Creates the staged file for `target` (below the destination) with the attributes
    // the target gets; INVALID_HANDLE_VALUE on failure (the reason in GetLastError). A
    // name staged before in the same folder is replaced, as the later file would be.
    HANDLE Create(const std::wstring& target, DWORD attributes);
    // Takes over the file created last, written whole (`name` is its stored name): it is
    // flushed off this thread, then closed, unless the commit is to rename it through its
    // handle (it goes into a folder that is there already, where a rename by path would
    // cost an open and a close besides).
    void Written(HANDLE file, const std::string& name);

    struct Outcome {
        bool committed = false;
        std::wstring failedTarget;  // the file or folder that could not be put in place, if any
        Failure why;
        bool restored = true;       // false when a step could not be undone
    };
    // Once every staged file is on the disk, puts them all in place, all or nothing.
    Outcome Commit();

private:
    struct File {
        std::wstring name, target;
        bool placed = false;  // in the content now (moved alone or with its folder)
        bool keep = false;    // its handle is to be kept for the commit
        DWORD aheadError = 0; // why its rename ahead failed (RenameAheadIntoExistingFolders)
        HANDLE handle = INVALID_HANDLE_VALUE;
    };
    struct Folder {
        std::wstring stage;                     // its staging subfolder, ends in a backslash
        std::map<std::wstring, std::size_t> staged;  // upper-cased name -> index in files_
        bool exists = false;                    // the target folder is known to be there
        bool backups = false;                   // its backup folder is made
        bool probed = false;                    // `exists` was asked of the disk at staging
        bool movedWhole = false;                // the commit made `stage` the target folder
        bool arrivesWhole = false;              // the plan: not there, so `stage` becomes it
        DWORD planned = 0;                      // its attributes when the plan was made
    };
    Folder& FolderOf(const std::wstring& targetFolder);
    bool WriteJournal(Outcome& outcome);
    void PlanFoldersAbove(const std::wstring& path, std::set<std::wstring>& there, CommitJournal& journal);
    bool EndJournal();
    bool StageUnknown(Outcome& outcome);
    bool MakeFoldersAbove(const std::wstring& folder, Outcome& outcome);
    bool CommitFolder(const std::wstring& path, Folder& folder, Outcome& outcome);
    bool PlaceFile(Folder& folder, File& file, Outcome& outcome);
    bool NotePlaced(File& file, const std::wstring& staged);
    void RenameAheadIntoExistingFolders();
    bool Fail(const std::wstring& target, DWORD error, Outcome& outcome, const std::string& about = "");
    bool InTheWay(const std::wstring& target, const char* what, Outcome& outcome);
    bool MoveStaged(File& file, const std::wstring& staged, const std::wstring& to);
    void Discard(bool keepStaged = false);

    std::wstring destination_;
    std::wstring folder_;                    // ends in a backslash
    StageArea* area_;                        // the staging folder's record; null when unusable
    DWORD unusable_ = 0;
    std::wstring journal_;                   // the journal of the commit under way
    std::map<std::wstring, Folder> folders_;  // by target folder, ends in a backslash
    std::vector<std::wstring> order_;         // target folders with staged files, as they came
    std::vector<File> files_;
    std::vector<std::function<bool()>> undo_;  // the steps of the commit, undone in reverse
    std::vector<std::wstring> backups_;        // old files set aside, deleted after a commit
    std::size_t keptOpen_ = 0;
    FlushQueue flushes_;  // the staged files being flushed
};

