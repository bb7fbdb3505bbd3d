// The staging folder of cabinet extractions: files are written there under plain
// numbered names and moved over their targets only when the whole cabinet was read.
// One folder per destination and process ("~ck<process id>"), made once and kept while
// the process works there, so that a destination holding thousands of packages is not
// searched again for every package. A folder left by a process that died (a killed setup)
// is cleared by the next extraction into the same destination.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CabinetStage {
public:
    // `destination` is a full path ending in a backslash.
    explicit CabinetStage(const std::wstring& destination);
    ~CabinetStage();
    CabinetStage(const CabinetStage&) = delete;
    CabinetStage& operator=(const CabinetStage&) = delete;

    // Creates a new empty staged file for `target`; INVALID_HANDLE_VALUE on failure.
    HANDLE Create(const std::wstring& target);
    // Records the staged file opened last as complete, with the attributes it gets.
    void Complete(DWORD attributes);
    // Moves every complete file over its target; false when any could not be moved.
    bool Commit();

private:
    struct File {
        std::wstring staged, target;
        DWORD attributes;
    };
    void Discard();

    std::wstring folder_;  // ends in a backslash
    std::vector<File> files_;
};

// Removes the staging folders this process made (at the end of a run, and when the host
// library is unloaded).
void RemoveCabinetStages();
