#include "stage_area.h"

#include <windows.h>

#include <cwchar>

namespace {

// How often the making of a staging folder is tried while another process settles the
// empty folder of the same name (it was left by a process that had this id before).
constexpr int kOwnAttempts = 50;
// How often a folder whose owner file could not be opened is looked for, 20 ms apart,
// before it counts as there: the time a setup needs to finish removing its folder.
constexpr int kGoneLooks = 10;

std::map<std::wstring, StageArea>& MadeStages() {
    static std::map<std::wstring, StageArea> made;
    return made;
}

bool IsHex(const std::wstring& text) {
    return !text.empty() && text.find_first_not_of(L"0123456789abcdefABCDEF") == std::wstring::npos;
}

// A folder of this process's name that was there already is taken only when it holds
// nothing (or its owner file alone, which a setup settling it is about to remove): what is
// in one belongs to a process that had this id before, settled or kept by now, or to the
// user, never to this process.
bool EmptyButOwner(const std::wstring& folder) {
    for (const WIN32_FIND_DATAW& entry : FolderEntries(folder, L"*"))
        if (std::wcscmp(entry.cFileName, kOwnerName)) return false;
    return true;
}

// Whether `folder`, whose owner file could not be opened, is gone: its setup ended and
// removed it. The open's error alone does not tell: the folder may go during the open
// (Wine then reports the owner file missing) or be pending deletion (Windows reports
// access denied), and is gone a moment later.
bool GoneDuringOpen(const std::wstring& folder) {
    for (int look = 1;; ++look) {
        if (!Exists(WithoutSlash(folder))) return true;
        if (look == kGoneLooks) return false;
        Sleep(20);
    }
}

}  // namespace

std::wstring Numbered(const wchar_t* name, std::size_t number) {
    wchar_t hex[20];
    std::swprintf(hex, 20, L"%zx", number);
    return name + std::wstring(hex);
}

std::wstring SetAsideFolderOf(const std::wstring& subfolder) {
    return subfolder.substr(0, subfolder.size() - 1) + L"o\\";
}

bool IsStageEntry(const std::wstring& name) {
    auto numbered = [&name](const wchar_t* prefix) {
        std::size_t length = std::wcslen(prefix);
        return name.compare(0, length, prefix) == 0 && IsHex(name.substr(length));
    };
    return name == kOwnerName || numbered(kJournalName) || numbered(kCopyName) || IsHex(name) ||
           (name.size() > 1 && name.back() == L'o' && IsHex(name.substr(0, name.size() - 1)));
}

std::wstring StageFolderOf(const std::wstring& destination) {
    wchar_t pid[12];
    std::swprintf(pid, 12, L"%lx", static_cast<unsigned long>(GetCurrentProcessId()));
    return destination + kStagePrefix + pid + L"\\";
}

HANDLE TakeOwnership(const std::wstring& folder) {
    HANDLE owner = Fs().create(LongPath(folder + kOwnerName).c_str(), GENERIC_READ, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (owner != INVALID_HANDLE_VALUE) return owner;
    DWORD error = GetLastError();
    SetLastError(error != ERROR_SHARING_VIOLATION && GoneDuringOpen(folder) ? ERROR_PATH_NOT_FOUND : error);
    return owner;
}

StageArea* OwnStage(const std::wstring& folder) {
    auto made = MadeStages().find(folder);
    return made == MadeStages().end() ? nullptr : &made->second;
}

StageArea* OpenStage(const std::wstring& destination) {
    std::wstring folder = StageFolderOf(destination);
    if (StageArea* own = OwnStage(folder)) return own;
    for (int attempt = 1;; ++attempt) {
        if (!Fs().makeDirectory(LongPath(folder).c_str())) {
            if (GetLastError() != ERROR_ALREADY_EXISTS) return nullptr;
            if (!EmptyButOwner(folder)) return SetLastError(ERROR_ALREADY_EXISTS), nullptr;
        }
        HANDLE owner = TakeOwnership(folder);
        if (owner != INVALID_HANDLE_VALUE) {
            StageArea& area = MadeStages()[folder];
            area.owner.Reset(owner);
            return &area;
        }
        DWORD error = GetLastError();
        // Another setup settles the folder this name had (gone between the two calls, or
        // owned by that setup until it is removed): it is empty, and goes in a moment.
        if ((error != ERROR_PATH_NOT_FOUND && error != ERROR_SHARING_VIOLATION) || attempt == kOwnAttempts) {
            SetLastError(error);
            return nullptr;
        }
        Sleep(20);
    }
}

void RemoveCabinetStages() {
    for (auto& [top, area] : MadeStages()) {
        for (const std::wstring& spare : area.spare) Fs().removeDirectory(LongPath(spare).c_str());
        area.owner.Close();
        // Once its owner file is gone, an empty folder may be taken for a stopped setup's,
        // which is what it is if this process stops before it goes.
        Fs().remove(LongPath(top + kOwnerName).c_str());
        Fs().removeDirectory(LongPath(top).c_str());
    }
    MadeStages().clear();
}
