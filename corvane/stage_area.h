// The staging folders this process makes while it unpacks: "~ck<process id>" in a
// cabinet's destination, with one subfolder per target folder. A subfolder emptied by its
// commit serves the next cabinet of the run; at the end of a run (and when the host
// library is unloaded) the folders go, all but what an unfinished commit still needs.
#pragma once

#include <map>
#include <string>
#include <vector>

// What begins the mark of a host process's work files.
constexpr wchar_t kStagePrefix[] = L"~ck";

// "~ck<process id>": the mark of what this process keeps in a folder only while it works
// there, a staging folder or a copy under way ("NAME.~ck<process id>").
std::wstring ProcessMark();

// The staging folder of this process in `destination` (ends in a backslash), and ends in one.
std::wstring StageFolderOf(const std::wstring& destination);

// A staging folder this process made, and its subfolders that are empty again.
struct StageArea {
    std::vector<std::wstring> spare;  // empty subfolders, each ending in a backslash
    std::size_t named = 0;            // subfolders named so far
    std::size_t commits = 0;          // commits journaled so far, each under its own name
};

// The staging folders this process made, by their path (ending in a backslash).
std::map<std::wstring, StageArea>& MadeStages();

// Removes the staging folders this process made, as far as they are empty.
void RemoveCabinetStages();
