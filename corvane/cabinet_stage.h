// The staging and the commit of one cabinet's files. While a cabinet is read, its files
// are written into a staging folder of this process ("~ck<process id>" in the
// destination), under their own names in one subfolder per target folder, so that no
// folder collects more new names than its target does (Wine reads a whole folder to look
// up a new name); a subfolder emptied by its commit serves the next cabinet of the run.
// The commit then takes the target folders in turn: one that does not
// exist yet receives its whole subfolder in one move; into one that exists, each new
// file is moved, and an old file in its way is first set aside into the staging folder. When
// any step fails, every step done is undone in reverse, so the content sees all of the
// cabinet or none of it. A staging folder left by a process that died (a killed setup),
// and a copy it left under way (CopyCreateFile), are cleared by the next host operation
// that writes or deletes in that folder; that run unpacks the package again.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class CabinetStage {
public:
    // `destination` is a full path ending in a backslash.
    explicit CabinetStage(const std::wstring& destination);
    ~CabinetStage();
    CabinetStage(const CabinetStage&) = delete;
    CabinetStage& operator=(const CabinetStage&) = delete;

    // Creates the staged file for `target` (below the destination) with the attributes
    // the target gets; INVALID_HANDLE_VALUE on failure (the reason in GetLastError). A
    // name staged before in the same folder is replaced, as the later file would be.
    HANDLE Create(const std::wstring& target, DWORD attributes);
    // Takes over the handle of the file created last, written whole, when the commit is
    // to rename it through that handle (it goes into a folder that is there already, where
    // a rename by path would cost an open and a close besides); false: close it yourself.
    bool KeepOpen(HANDLE file);

    struct Outcome {
        bool committed = false;
        std::wstring failedTarget;  // the file or folder that could not be put in place
        std::string reason;         // why
        bool restored = true;       // false when a step could not be undone
    };
    // Puts every staged file in place, all or nothing.
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
    };
    Folder& FolderOf(const std::wstring& targetFolder);
    bool MakeFoldersAbove(const std::wstring& folder, Outcome& outcome);
    bool CommitFolder(const std::wstring& path, Folder& folder, Outcome& outcome);
    bool PlaceFile(Folder& folder, File& file, Outcome& outcome);
    bool NotePlaced(File& file, const std::wstring& staged);
    void RenameAheadIntoExistingFolders();
    bool Fail(const std::wstring& target, const std::string& reason, Outcome& outcome);
    bool MoveStaged(File& file, const std::wstring& staged, const std::wstring& to);
    void Discard();

    std::wstring destination_;
    std::wstring folder_;                    // ends in a backslash
    std::map<std::wstring, Folder> folders_;  // by target folder, ends in a backslash
    std::vector<std::wstring> order_;         // target folders with staged files, as they came
    std::vector<File> files_;
    std::vector<std::function<bool()>> undo_;  // the steps of the commit, undone in reverse
    std::vector<std::wstring> backups_;        // old files set aside, deleted after a commit
    std::size_t keptOpen_ = 0;
};

// Removes the staging folders this process made (at the end of a run, and when the host
// library is unloaded).
void RemoveCabinetStages();

// "~ck<process id>": the mark of what this process keeps in a folder only while it works
// there, a staging folder or a copy under way ("NAME.~ck<process id>").
std::wstring ProcessMark();

// Removes from `folder` (ends in a backslash) what host processes that were stopped left
// there: staging folders and copies under way of processes that are gone, and this
// process's own from an earlier run (an id is used again once its process ended), but
// never a staging folder this run is using. Logged; nothing in a dry run.
void ClearLeftovers(const std::wstring& folder);
