// The staging and the commit of one cabinet's files. While a cabinet is read, its files
// are written into a staging folder of this process ("~ck<process id>" in the
// destination), one subfolder per target folder so that no folder collects more new
// names than its target does (Wine reads a whole folder to look up a new name). The
// commit then, file by file, moves the old target aside into the staging folder and the
// new file into place; when any step fails, every target already replaced is put back
// and every new file taken out again, so the content sees all of the cabinet or none of
// it. A staging folder left by a process that died (a killed setup) is cleared by the
// next extraction into the same destination; that run unpacks the package again.
#pragma once

#include <windows.h>

#include <map>
#include <set>
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
    // the target gets; INVALID_HANDLE_VALUE on failure (the reason in GetLastError).
    HANDLE Create(const std::wstring& target, DWORD attributes);

    struct Outcome {
        bool committed = false;
        std::wstring failedTarget;  // the file that could not be replaced
        std::string reason;         // why
        bool restored = true;       // false when a target could not be put back
    };
    // Puts every staged file in place, all or nothing.
    Outcome Commit();

private:
    struct File {
        std::wstring staged, target, backup;
        DWORD attributes;
        DWORD oldAttributes = INVALID_FILE_ATTRIBUTES;  // of the target moved aside
        bool placed = false;
    };
    struct Folder {
        std::wstring stage;                    // its staging subfolder, ends in a backslash
        std::map<std::wstring, DWORD> names;  // what the target folder holds, upper-cased
        bool exists = false;                   // the target folder is known to be there
        bool listed = false;                   // `names` holds what it holds
    };
    Folder& FolderOf(const std::wstring& targetFolder);
    bool MakeTargetFolder(const std::wstring& folder);
    bool ListTargetFolder(const std::wstring& folder, Folder& entry);
    bool Place(File& file, Outcome& outcome);
    void RollBack(std::size_t placedUpTo, Outcome& outcome);
    void Discard();

    std::wstring destination_;
    std::wstring folder_;  // ends in a backslash
    std::map<std::wstring, Folder> folders_;  // by target folder
    std::vector<std::wstring> madeFolders_;   // target folders this commit created
    std::vector<File> files_;
    std::size_t stageFolders_ = 0;
};

// Removes the staging folders this process made (at the end of a run, and when the host
// library is unloaded).
void RemoveCabinetStages();
