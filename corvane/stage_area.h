// The staging folders this process works in: "~ck<process id>" in a destination, made
// when the first cabinet or copy there begins. The process owns each one through a handle
// on the folder's "owner" file, opened without sharing and kept open until the folder
// goes. The system closes that handle when the process ends, however it ends, and no
// other process inherits it: so whoever can open the file knows the folder's process is
// gone, whichever process has its id now (leftovers.h). Inside: one subfolder per target
// folder ("<hex>", old files set aside in "<hex>o"), each commit's journal
// ("journal<hex>") and copies under way ("copy<hex>"). A subfolder emptied by its commit
// serves the next cabinet of the run; at the end of a run (and when the host library is
// unloaded) the folders go, all but what an unfinished commit still needs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "file_system.h"

// What begins the name of a staging folder.
constexpr wchar_t kStagePrefix[] = L"~ck";

// The names inside a staging folder: the file whose open handle says that its process
// lives; each commit's journal and each copy under way, numbered ("journal<hex>",
// "copy<hex>"); one subfolder per target folder ("<hex>"), and beside each the folder its
// old files are set aside in ("<hex>o").
constexpr wchar_t kOwnerName[] = L"owner";
constexpr wchar_t kJournalName[] = L"journal";
constexpr wchar_t kCopyName[] = L"copy";
std::wstring Numbered(const wchar_t* name, std::size_t number);
std::wstring SetAsideFolderOf(const std::wstring& subfolder);  // both end in a backslash
// Whether `name` is one of those: what a folder made by the host holds.
bool IsStageEntry(const std::wstring& name);

// A staging folder this process made and owns, and its subfolders that are empty again.
struct StageArea {
    FsHandle owner;                   // held open, without sharing, while the folder is ours
    std::vector<std::wstring> spare;  // empty subfolders, each ending in a backslash
    std::size_t named = 0;            // subfolders named so far
    std::size_t commits = 0;          // commits journaled so far, each under its own name
    std::size_t copies = 0;           // copies made so far, each under its own name
};

// The staging folder of this process in `destination` (ends in a backslash), and ends in one.
std::wstring StageFolderOf(const std::wstring& destination);

// This process's staging folder in `destination`, made and owned now if it is not yet;
// null when it could not be (the system's error in GetLastError).
StageArea* OpenStage(const std::wstring& destination);

// The staging folder `folder` (ends in a backslash) when this process owns it, else null.
StageArea* OwnStage(const std::wstring& folder);

// Opens the owner file of the staging folder `folder` (ends in a backslash) without
// sharing, making it when it is missing: the handle is the folder's ownership. Fails with
// ERROR_SHARING_VIOLATION while another holder (a live process) has it, and with
// ERROR_PATH_NOT_FOUND when the folder went (also when it went during the open).
HANDLE TakeOwnership(const std::wstring& folder);

// Removes the staging folders this process made, as far as they are empty, and gives up
// their ownership.
void RemoveCabinetStages();
