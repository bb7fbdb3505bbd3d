// The real file-system table: each entry is the plain Win32 call.
#include "file_system.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

HANDLE Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}
BOOL Read(HANDLE file, void* buffer, DWORD size, DWORD* done) {
    return ReadFile(file, buffer, size, done, nullptr);
}
BOOL Write(HANDLE file, const void* buffer, DWORD size, DWORD* done) {
    return WriteFile(file, buffer, size, done, nullptr);
}
DWORD Seek(HANDLE file, LONG distance, DWORD method) {
    return SetFilePointer(file, distance, nullptr, method);
}
BOOL Close(HANDLE file) { return CloseHandle(file); }
BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) { return MoveFileExW(from, to, flags); }
BOOL Remove(const wchar_t* path) { return DeleteFileW(path); }
BOOL Rename(HANDLE file, const wchar_t* to) {
    // The rename takes the path in the system's own form: "\??\" before the DOS path.
    std::wstring path = std::wstring(L"\\??\\") + (std::wcsncmp(to, L"\\\\?\\", 4) == 0 ? to + 4 : to);
    std::size_t bytes = sizeof(FILE_RENAME_INFO) + path.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(bytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, path.c_str(), path.size() * sizeof(wchar_t));
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(bytes));
}
BOOL MakeFolder(const wchar_t* path) { return CreateDirectoryW(path, nullptr); }
BOOL RemoveFolder(const wchar_t* path) { return RemoveDirectoryW(path); }
DWORD Attributes(const wchar_t* path) { return GetFileAttributesW(path); }
BOOL SetAttributes(const wchar_t* path, DWORD attributes) { return SetFileAttributesW(path, attributes); }
BOOL Times(HANDLE file, FILETIME* lastWrite) { return GetFileTime(file, nullptr, nullptr, lastWrite); }
BOOL SetTimes(HANDLE file, const FILETIME* lastWrite) { return SetFileTime(file, nullptr, nullptr, lastWrite); }
HANDLE FindFirst(const wchar_t* pattern, WIN32_FIND_DATAW* entry) { return FindFirstFileW(pattern, entry); }
BOOL FindNext(HANDLE search, WIN32_FIND_DATAW* entry) { return FindNextFileW(search, entry); }
BOOL EndFind(HANDLE search) { return FindClose(search); }
BOOL Flush(HANDLE file) { return FlushFileBuffers(file); }
BOOL Identity(const wchar_t* path, unsigned long long* id) {
    HANDLE opened = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return FALSE;
    SystemHandle folder(opened, &CloseHandle);
    BY_HANDLE_FILE_INFORMATION info;
    BOOL known = GetFileInformationByHandle(folder.get(), &info);
    if (known)
        *id = (static_cast<unsigned long long>(info.dwVolumeSerialNumber) << 48) ^
              (static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow);
    return known;
}

// Plain functions rather than the API's own addresses: on 32-bit Windows those are
// __stdcall, which the table's entries are not.
const FileSystem kReal = {Create,       Read,       Write,         Seek,  Close,    Move,      Rename,   Remove,
                          MakeFolder,   RemoveFolder, Attributes,  SetAttributes, Times, SetTimes, FindFirst, FindNext,
                          EndFind,      Flush,      Identity};

}  // namespace

FileSystem& CorvaneFileSystem() {
    static FileSystem inUse = kReal;
    return inUse;
}

const FileSystem& CorvaneRealFileSystem() { return kReal; }

std::wstring Widen(const char* text, UINT codePage) {
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) return L"";
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length);
    wide.pop_back();
    return wide;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    int length = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return "";
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &narrow[0], length, nullptr, nullptr);
    narrow.pop_back();
    return narrow;
}

// Kernel32's mapping, not user32's CharUpperBuffW: loading user32 makes every Wine
// process join a window station and a desktop, some ten milliseconds for nothing.
std::wstring UpperName(const std::wstring& name) {
    std::wstring upper(name.size(), L'\0');
    int size = static_cast<int>(name.size());
    if (size && LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name.data(), size, &upper[0], size) != size)
        return name;
    return upper;
}

std::string ErrorText(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return "the disk is full";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return "another program has it open";
        case ERROR_ACCESS_DENIED: return "access denied";
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS: return "something of that name is in the way";
        default: break;
    }
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                   sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::wstring LongPath(const std::wstring& path) {
    return path.size() < MAX_PATH ? path : L"\\\\?\\" + path;
}

void MakeFolders(const std::wstring& path, std::size_t from) {
    std::size_t end = path.find_last_of(L"\\/");
    if (end == std::wstring::npos || end < from) return;
    std::wstring folder = path.substr(0, end);
    if (Fs().attributes(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;  // a file in the way fails later
    MakeFolders(folder, from);
    Fs().makeDirectory(folder.c_str());
}

std::wstring WithoutSlash(const std::wstring& folder) {
    return folder.substr(0, folder.size() - 1);
}

bool Exists(const std::wstring& path) {
    return Fs().attributes(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW entry;
    FsSearch search((LongPath(folder) + pattern).c_str(), entry);
    for (bool more = search.Found(); more; more = search.Next(entry))
        if (std::wcscmp(entry.cFileName, L".") && std::wcscmp(entry.cFileName, L"..")) entries.push_back(entry);
    return entries;
}

DWORD DeleteBlocker(const std::wstring& path) {
    FsHandle file(Fs().create(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    return file.Valid() ? 0 : GetLastError();
}

bool DeleteEvenReadOnly(const std::wstring& path) {
    std::wstring whole = LongPath(path);
    if (Fs().remove(whole.c_str())) return true;
    DWORD attributes = Fs().attributes(whole.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return false;
    Fs().setAttributes(whole.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return Fs().remove(whole.c_str()) != FALSE;
}
