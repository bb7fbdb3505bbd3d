#include "cabinet_stage.h"

#include <cwchar>
#include <set>

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

void ClearFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + entry.cFileName).c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void ClearReadOnly(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// The staging folders this process made, by destination.
std::set<std::wstring>& MadeStages() {
    static std::set<std::wstring> made;
    return made;
}

void RemoveStaleFolders(const std::wstring& destination) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((destination + kStagePrefix + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        wchar_t* end = nullptr;
        const wchar_t* digits = entry.cFileName + kStagePrefixLength;
        unsigned long pid = std::wcstoul(digits, &end, 16);
        bool stageFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && end && *end == L'\0' &&
                           end != digits;
        if (stageFolder && pid != GetCurrentProcessId() && !ProcessAlive(pid))
            ClearFolder(destination + entry.cFileName + L"\\");
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

}  // namespace

CabinetStage::CabinetStage(const std::wstring& destination) {
    wchar_t name[32];
    std::swprintf(name, 32, L"%ls%lx\\", kStagePrefix, GetCurrentProcessId());
    folder_ = destination + name;
    if (MadeStages().insert(folder_).second) {
        RemoveStaleFolders(destination);
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
}

CabinetStage::~CabinetStage() {
    Discard();
}

HANDLE CabinetStage::Create(const std::wstring& target) {
    wchar_t name[16];
    std::swprintf(name, 16, L"%zx", files_.size());
    std::wstring staged = folder_ + name;
    if (staged.size() >= MAX_PATH) return INVALID_HANDLE_VALUE;
    auto open = [&] {
        return CreateFileW(staged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    };
    HANDLE file = open();
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
        CreateDirectoryW(folder_.c_str(), nullptr);  // removed with its tree since it was made
        file = open();
    }
    if (file != INVALID_HANDLE_VALUE) files_.push_back({staged, target, 0});
    return file;
}

void CabinetStage::Complete(DWORD attributes) {
    if (!files_.empty()) files_.back().attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool CabinetStage::Commit() {
    bool allMoved = true;
    for (const File& file : files_) {
        if (!file.attributes) continue;  // never completed
        ClearReadOnly(file.target);
        if (MoveFileExW(file.staged.c_str(), file.target.c_str(), MOVEFILE_REPLACE_EXISTING))
            SetFileAttributesW(file.target.c_str(), file.attributes);
        else
            allMoved = false;
    }
    Discard();
    return allMoved;
}

void CabinetStage::Discard() {
    for (const File& file : files_) DeleteFileW(file.staged.c_str());
    files_.clear();
}

void RemoveCabinetStages() {
    for (const std::wstring& folder : MadeStages()) RemoveDirectoryW(folder.c_str());
    MadeStages().clear();
}
