#include "cabinet_stage.h"

#include <cwchar>

#include "file_system.h"

namespace {

constexpr wchar_t kStagePrefix[] = L"~ck";
constexpr std::size_t kStagePrefixLength = sizeof kStagePrefix / sizeof kStagePrefix[0] - 1;

bool ProcessAlive(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

// Staged and set-aside names may lie deeper than MAX_PATH allows a plain path.
std::wstring Long(const std::wstring& path) {
    return path.size() < MAX_PATH ? path : L"\\\\?\\" + path;
}

std::wstring Hex(std::size_t number) {
    wchar_t text[20];
    std::swprintf(text, 20, L"%zx", number);
    return text;
}

std::wstring Upper(std::wstring name) {
    if (!name.empty()) CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

// Deletes a file, clearing its read-only attribute first when that is in the way.
bool RemoveFile(const std::wstring& path) {
    if (Fs().remove(Long(path).c_str())) return true;
    DWORD attributes = Fs().attributes(Long(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return false;
    Fs().setAttributes(Long(path).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return Fs().remove(Long(path).c_str()) != FALSE;
}

// Removes a staging folder and what it holds (files, and one level of subfolders).
void ClearFolder(const std::wstring& folder, int depth = 1) {
    WIN32_FIND_DATAW entry;
    FsSearch search((Long(folder) + L"*").c_str(), entry);
    for (bool more = search.Found(); more; more = search.Next(entry)) {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        bool directory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        bool link = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (!directory) RemoveFile(folder + name);
        else if (!link && depth > 0) ClearFolder(folder + name + L"\\", depth - 1);
    }
    Fs().removeDirectory(Long(folder).c_str());
}

// The staging folders this process made, by destination.
std::set<std::wstring>& MadeStages() {
    static std::set<std::wstring> made;
    return made;
}

void RemoveStaleFolders(const std::wstring& destination) {
    WIN32_FIND_DATAW entry;
    FsSearch search((destination + kStagePrefix + L"*").c_str(), entry);
    for (bool more = search.Found(); more; more = search.Next(entry)) {
        wchar_t* end = nullptr;
        const wchar_t* digits = entry.cFileName + kStagePrefixLength;
        unsigned long pid = std::wcstoul(digits, &end, 16);
        bool stageFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && end && *end == L'\0' &&
                           end != digits;
        if (stageFolder && pid != GetCurrentProcessId() && !ProcessAlive(pid))
            ClearFolder(destination + entry.cFileName + L"\\");
    }
}

std::wstring FolderPart(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace

CabinetStage::CabinetStage(const std::wstring& destination) : destination_(destination) {
    folder_ = destination + kStagePrefix + Hex(GetCurrentProcessId()) + L"\\";
    if (MadeStages().insert(folder_).second) RemoveStaleFolders(destination);
    Fs().makeDirectory(Long(folder_).c_str());
}

CabinetStage::~CabinetStage() {
    Discard();
}

CabinetStage::Folder& CabinetStage::FolderOf(const std::wstring& targetFolder) {
    Folder& folder = folders_[targetFolder];
    if (!folder.stage.empty()) return folder;
    folder.stage = folder_ + Hex(stageFolders_++) + L"\\";
    if (!Fs().makeDirectory(Long(folder.stage).c_str()) && GetLastError() == ERROR_PATH_NOT_FOUND) {
        Fs().makeDirectory(Long(folder_).c_str());  // removed with its tree since it was made
        Fs().makeDirectory(Long(folder.stage).c_str());
    }
    return folder;
}

HANDLE CabinetStage::Create(const std::wstring& target, DWORD attributes) {
    Folder& folder = FolderOf(FolderPart(target));
    File file{folder.stage + L"n" + Hex(files_.size()), target, L"", attributes};
    // Created with its final attributes, so that nothing needs setting after the move.
    HANDLE handle = Fs().create(Long(file.staged).c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS,
                                attributes | FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle != INVALID_HANDLE_VALUE) files_.push_back(file);
    return handle;
}

// Makes the target folder and every missing one above it, each looked at once.
bool CabinetStage::MakeTargetFolder(const std::wstring& folder) {
    for (std::size_t at = folder.find(L'\\', destination_.size()); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1)) {
        std::wstring level = folder.substr(0, at);
        Folder& known = folders_[level + L"\\"];
        if (known.exists) continue;
        if (Fs().makeDirectory(level.c_str())) {
            madeFolders_.push_back(level);
            known.exists = known.listed = true;  // new, so empty
            continue;
        }
        DWORD error = GetLastError();
        DWORD attributes = Fs().attributes(level.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(attributes == INVALID_FILE_ATTRIBUTES ? error : ERROR_ALREADY_EXISTS);
            return false;
        }
        known.exists = true;
    }
    return true;
}

// What the target folder holds, read once: a folder that gets many new files is then
// not searched again for each of them.
bool CabinetStage::ListTargetFolder(const std::wstring& folder, Folder& entry) {
    if (entry.listed) return true;
    WIN32_FIND_DATAW found;
    FsSearch search((folder + L"*").c_str(), found);
    if (!search.Found() && GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_NO_MORE_FILES)
        return false;
    for (bool more = search.Found(); more; more = search.Next(found))
        entry.names[Upper(found.cFileName)] = found.dwFileAttributes;
    entry.listed = true;
    return true;
}

bool CabinetStage::Place(File& file, Outcome& outcome) {
    std::wstring folderPath = FolderPart(file.target);
    auto fail = [&](DWORD error) {
        outcome.failedTarget = file.target;
        outcome.reason = ErrorText(error);
        return false;
    };
    if (!MakeTargetFolder(folderPath)) return fail(GetLastError());
    Folder& folder = folders_[folderPath];
    if (!ListTargetFolder(folderPath, folder)) return fail(GetLastError());
    std::wstring key = Upper(file.target.substr(folderPath.size()));
    auto old = folder.names.find(key);
    if (old != folder.names.end()) {
        if (old->second & FILE_ATTRIBUTE_DIRECTORY) {
            outcome.failedTarget = file.target;
            outcome.reason = "a folder of that name is in the way";
            return false;
        }
        std::wstring backup = FolderOf(folderPath).stage + L"b" + Hex(&file - files_.data());
        if (!Fs().move(file.target.c_str(), Long(backup).c_str(), 0)) return fail(GetLastError());
        file.backup = backup;
        file.oldAttributes = old->second;
    }
    if (!Fs().move(Long(file.staged).c_str(), file.target.c_str(), 0)) {
        DWORD error = GetLastError();
        if (!file.backup.empty() && !Fs().move(Long(file.backup).c_str(), file.target.c_str(), 0))
            outcome.restored = false;
        file.backup.clear();
        return fail(error);
    }
    file.placed = true;
    folder.names[key] = file.attributes;
    return true;
}

void CabinetStage::RollBack(std::size_t placedUpTo, Outcome& outcome) {
    for (std::size_t i = placedUpTo; i-- > 0;) {
        File& file = files_[i];
        if (file.placed) {
            if (!Fs().move(file.target.c_str(), Long(file.staged).c_str(), 0)) {
                outcome.restored = false;
                continue;  // the new file stays; its old one cannot go back over it
            }
            file.placed = false;
        }
        if (!file.backup.empty()) {
            if (Fs().move(Long(file.backup).c_str(), file.target.c_str(), 0)) file.backup.clear();
            else outcome.restored = false;
        }
    }
    for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder)
        Fs().removeDirectory(folder->c_str());
}

CabinetStage::Outcome CabinetStage::Commit() {
    Outcome outcome;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (!Place(files_[i], outcome)) {
            RollBack(i, outcome);
            Discard();
            return outcome;
        }
    }
    for (File& file : files_)
        if (!file.backup.empty()) RemoveFile(file.backup);
    outcome.committed = true;
    Discard();
    return outcome;
}

// Removes what was staged and not placed. A target's old file that could not be put
// back stays in its staging folder, where the log names it.
void CabinetStage::Discard() {
    for (const File& file : files_)
        if (!file.placed) RemoveFile(file.staged);
    for (const auto& folder : folders_)
        if (!folder.second.stage.empty()) Fs().removeDirectory(Long(folder.second.stage).c_str());
    files_.clear();
    folders_.clear();
    madeFolders_.clear();
}

void RemoveCabinetStages() {
    for (const std::wstring& folder : MadeStages()) Fs().removeDirectory(Long(folder).c_str());
    MadeStages().clear();
}
