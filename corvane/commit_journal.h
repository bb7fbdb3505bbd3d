// The journal of one cabinet's commit. It is written into the cabinet's staging folder
// and flushed before the first file of the commit moves, and names everything the commit
// will change: each file going into a folder that is there (where it is staged and where
// the old file in its way is set aside), each folder arriving whole (where it is staged,
// and its identity, which the move keeps), and each folder made above them. It is deleted
// once the commit is complete, or undone whole. A journal found afterwards belongs to a
// commit that a stopped setup did not finish, or could not undo: reading it, whoever comes
// next rolls that commit back, and nothing it names is deleted before that.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "run_record.h"

struct CommitJournal {
    // Targets are named within the destination (the folder that holds the staging folder),
    // and where a file or folder is staged, or an old file set aside, within the staging
    // folder, which another setup renames while it rolls the commit back. So a journal
    // names nothing outside the destination, whoever wrote it.
    struct File {
        std::wstring target, staged, backup;  // within the destination; within the staging folder (twice)
    };
    struct Folder {
        std::wstring target, staged;  // within the destination; within the staging folder
        unsigned long long identity = 0;
    };
    std::vector<File> files;
    std::vector<Folder> folders;
    std::vector<std::wstring> made;  // folders made for the commit (within the destination), from the top down
    unsigned long long stage = 0;    // the identity of the staging folder that holds it
    bool fullPaths = false;          // read from an older journal, whose targets are full paths

    // Writes the journal to `path` and flushes it: 0, or the system's error, with nothing
    // left, when it could not be written whole.
    DWORD Write(const std::wstring& path) const;
    // Reads a journal. One cut short (or with anything but its lines) was never whole, as
    // it is flushed before its commit begins: that commit never began. Unreadable: the
    // system's reason in GetLastError.
    enum class Reading { Whole, CutShort, Unreadable };
    static Reading Read(const std::wstring& path, CommitJournal& journal);

    struct RollBackReport {
        bool trusted = true;     // false: the journal is not this folder's commit, and nothing was touched
        Failure why;             // what could not be undone (the system's reason), or why the journal
                                 // is not trusted (CORVANE_REASON_UNSETTLED)
        std::size_t undone = 0;  // the targets this pass moved back
    };
    // Undoes what of the commit reached the content by reversing its moves: each new file
    // goes back where it was staged, each old file set aside goes back to its place, each
    // folder that arrived whole goes back to its stage if it is still the one that arrived,
    // and the folders made go when they are empty. Each step is taken only where the disk
    // shows it is due, and none deletes anything, so a rollback stopped anywhere and done
    // again, any number of times, ends in the same tree. The journal is trusted only in
    // the staging folder it was written in (a tree copied or moved since names paths and
    // folders that are not these) and only where each path it names stays below the
    // destination, or below its staging folder, with no link or other reparse point on
    // the way: a journal is read from the disk, where whoever may write in the destination
    // could have put one, or swapped a folder for a link to anywhere. An untrusted journal
    // is left alone. True when nothing is left to undo.
    bool RollBack(const std::wstring& stageFolder, RollBackReport& report) const;
};
