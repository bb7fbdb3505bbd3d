#include "dry_file_system.h"

#include <cwctype>
#include <map>
#include <mutex>
#include <vector>

namespace {

const FileSystem& Disk() { return CorvaneRealFileSystem(); }

// What the dry run made of one path: a file or folder (new, or one of the disk's moved
// here, `disk` naming it), or nothing any more.
struct Node {
    enum Kind { File, Folder, Gone } kind = Gone;
    std::wstring path;  // as first named, for listings
    std::wstring disk;  // the disk's file or folder it shows; "" when the dry run made it
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    FILETIME time{};
    unsigned long long identity = 0;  // of a folder the dry run made
};

// A path as the dry run finds it: its own node, or what the disk holds there.
struct Found {
    Node::Kind kind = Node::Gone;
    std::wstring disk;           // where the disk holds it, if it does
    Node* node = nullptr;        // the dry run's record of it, if any
};

struct Overlay {
    std::recursive_mutex lock;  // the commit renames and closes from two threads
    std::map<std::wstring, Node> nodes;  // by Key()
    std::map<HANDLE, std::wstring> files;  // a handle of the dry run's own -> the path of its file
    std::map<HANDLE, std::pair<std::vector<WIN32_FIND_DATAW>, std::size_t>> searches;  // entries, next
    std::map<std::wstring, ULONGLONG> room;  // bytes left, by volume
    unsigned long long identities = 0;
};

Overlay& State() {
    static Overlay overlay;
    return overlay;
}

std::wstring Whole(const std::wstring& path) {
    std::wstring whole = path.compare(0, 4, L"\\\\?\\") == 0 ? path.substr(4) : path;
    while (whole.size() > 3 && whole.back() == L'\\') whole.pop_back();
    return whole;
}
std::wstring Key(const std::wstring& path) { return UpperName(Whole(path)); }
std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

Found OnDisk(const std::wstring& path) {
    DWORD attributes = Disk().attributes(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    return {attributes & FILE_ATTRIBUTE_DIRECTORY ? Node::Folder : Node::File, path, nullptr};
}

// The nearest record at or above `path` decides: its own, a folder of the disk moved
// (what is below it is the disk's below where it came from), or a folder made or gone
// (nothing of the disk below it). With none, the disk itself.
Found Find(const std::wstring& path) {
    Overlay& o = State();
    std::wstring whole = Whole(path), key = UpperName(whole);
    for (std::size_t end = key.size();;) {
        auto record = o.nodes.find(key.substr(0, end));
        if (record != o.nodes.end()) {
            Node& node = record->second;
            if (end == key.size()) return {node.kind, node.disk, &node};
            if (node.kind != Node::Folder || node.disk.empty()) return {};
            return OnDisk(node.disk + whole.substr(end));
        }
        end = key.find_last_of(L'\\', end - 1);
        if (end == std::wstring::npos || end < 2) return OnDisk(whole);
    }
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool Matches(const wchar_t* name, const wchar_t* pattern) {
    if (*pattern == L'*') return Matches(name, pattern + 1) || (*name && Matches(name + 1, pattern));
    if (!*pattern || !*name) return !*pattern && !*name;
    return (*pattern == L'?' || std::towupper(*pattern) == std::towupper(*name)) && Matches(name + 1, pattern + 1);
}

// The entries of `folder` matching `pattern`: the disk's, as the dry run changed them.
std::vector<WIN32_FIND_DATAW> Listing(const std::wstring& folder, const std::wstring& pattern) {
    Overlay& o = State();
    std::vector<WIN32_FIND_DATAW> entries;
    Found there = Find(folder);
    if (there.kind != Node::Folder) return entries;
    std::wstring key = Key(folder) + L"\\";
    WIN32_FIND_DATAW entry;
    if (!there.disk.empty()) {
        HANDLE search = Disk().findFirst((LongPath(there.disk) + L"\\*").c_str(), &entry);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = Disk().findNext(search, &entry)) {
            std::wstring name = entry.cFileName;
            if (name != L"." && name != L".." && !o.nodes.count(key + UpperName(name)) && Matches(name.c_str(), pattern.c_str()))
                entries.push_back(entry);
        }
        if (search != INVALID_HANDLE_VALUE) Disk().findClose(search);
    }
    for (const auto& [nodeKey, node] : o.nodes) {
        std::wstring name = node.path.substr(node.path.find_last_of(L'\\') + 1);
        if (node.kind == Node::Gone || nodeKey.compare(0, key.size(), key) || nodeKey.find(L'\\', key.size()) != std::wstring::npos ||
            !Matches(name.c_str(), pattern.c_str()))
            continue;
        entry = WIN32_FIND_DATAW{};
        entry.dwFileAttributes = node.attributes | (node.kind == Node::Folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
        entry.ftLastWriteTime = node.time;
        name.copy(entry.cFileName, MAX_PATH - 1);
        entries.push_back(entry);
    }
    return entries;
}

// A handle of the dry run's own: an event, so that it never equals one of the disk's.
HANDLE OwnHandle() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

// Whether the disk's `path` may be opened so: the open is made, and closed at once.
DWORD DiskRefuses(const std::wstring& path, DWORD access, DWORD share) {
    HANDLE probe = Disk().create(LongPath(path).c_str(), access, share, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (probe == INVALID_HANDLE_VALUE) return GetLastError();
    Disk().close(probe);
    return 0;
}

Node& Record(const std::wstring& path, Node::Kind kind, const std::wstring& disk, DWORD attributes) {
    Node& node = State().nodes[Key(path)];
    node = Node{kind, Whole(path), disk, attributes};
    return node;
}

HANDLE Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    Found found = Find(path);
    bool there = found.kind != Node::Gone;
    bool creates = disposition == CREATE_ALWAYS || disposition == CREATE_NEW || (disposition == OPEN_ALWAYS && !there);
    if (!creates && !there) return SetLastError(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (!creates && !found.disk.empty())  // an open of the disk's file: to read it, or to ask who holds it
        return Disk().create(LongPath(found.disk).c_str(), access, share, OPEN_EXISTING, flags);
    if (disposition == CREATE_NEW && there) return SetLastError(ERROR_FILE_EXISTS), INVALID_HANDLE_VALUE;
    if (creates) {
        if (found.kind == Node::Folder) return SetLastError(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
        if (Find(Parent(Whole(path))).kind != Node::Folder) return SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
        if (DWORD refused = there && !found.disk.empty() ? DiskRefuses(found.disk, access, share) : 0)
            return SetLastError(refused), INVALID_HANDLE_VALUE;
        Record(path, Node::File, L"", flags & 0xFFFF ? flags & 0xFFFF : FILE_ATTRIBUTE_NORMAL);
    }
    HANDLE handle = OwnHandle();
    State().files[handle] = Whole(path);
    return handle;
}

bool Own(HANDLE handle) { return State().files.count(handle) != 0; }

BOOL Read(HANDLE file, void* buffer, DWORD size, DWORD* done) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    return Own(file) ? Fail(ERROR_ACCESS_DENIED) : Disk().read(file, buffer, size, done);
}

// A write counts against the room its volume has: what would not fit is cut short, as a
// full disk cuts a write.
BOOL Write(HANDLE file, const void*, DWORD size, DWORD* done) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    if (!Own(file)) return Fail(ERROR_ACCESS_DENIED);
    wchar_t volume[MAX_PATH] = L"";
    const std::wstring& path = State().files[file];
    if (!GetVolumePathNameW(path.c_str(), volume, MAX_PATH)) path.substr(0, 3).copy(volume, 3);
    auto room = State().room.find(volume);
    if (room == State().room.end()) {
        ULARGE_INTEGER available{};
        GetDiskFreeSpaceExW(volume, &available, nullptr, nullptr);
        room = State().room.emplace(volume, available.QuadPart).first;
    }
    *done = static_cast<DWORD>(size < room->second ? size : room->second);
    room->second -= *done;
    if (*done < size) SetLastError(ERROR_SUCCESS);  // as Wine reports a write at the end of a full disk
    return TRUE;
}

DWORD Seek(HANDLE file, LONG distance, DWORD method) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    return Own(file) ? 0 : Disk().seek(file, distance, method);
}

BOOL Close(HANDLE file) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    if (!Own(file)) return Disk().close(file);
    State().files.erase(file);
    return CloseHandle(file);
}

BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    Overlay& o = State();
    Found source = Find(from), target = Find(to);
    if (source.kind == Node::Gone) return Fail(ERROR_FILE_NOT_FOUND);
    if (Find(Parent(Whole(to))).kind != Node::Folder) return Fail(ERROR_PATH_NOT_FOUND);
    if (target.kind == Node::Folder || (target.kind == Node::File && !(flags & MOVEFILE_REPLACE_EXISTING)))
        return Fail(target.kind == Node::Folder && (flags & MOVEFILE_REPLACE_EXISTING) ? ERROR_ACCESS_DENIED
                                                                                      : ERROR_ALREADY_EXISTS);
    DWORD anyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (DWORD refused = source.disk.empty() ? 0 : DiskRefuses(source.disk, DELETE, anyone)) return Fail(refused);
    if (DWORD refused = target.disk.empty() ? 0 : DiskRefuses(target.disk, DELETE, anyone)) return Fail(refused);
    Node moved = source.node ? *source.node : Node{source.kind, L"", source.disk, Disk().attributes(LongPath(source.disk).c_str())};
    // What the dry run made below a folder goes with it, and so do its own open files.
    std::wstring fromKey = Key(from) + L"\\", toWhole = Whole(to);
    std::map<std::wstring, Node> below;
    for (auto node = o.nodes.lower_bound(fromKey); node != o.nodes.end() && node->first.compare(0, fromKey.size(), fromKey) == 0;) {
        node->second.path = toWhole + node->second.path.substr(fromKey.size() - 1);
        below[Key(node->second.path)] = node->second;
        node = o.nodes.erase(node);
    }
    for (auto& [handle, path] : o.files)
        if (Key(path) == Key(from) || Key(path).compare(0, fromKey.size(), fromKey) == 0)
            path = toWhole + path.substr(fromKey.size() - 1);
    // What was recorded below the target before is of what the move replaces.
    std::wstring toKey = Key(to) + L"\\";
    for (auto node = o.nodes.lower_bound(toKey); node != o.nodes.end() && node->first.compare(0, toKey.size(), toKey) == 0;)
        node = o.nodes.erase(node);
    Record(from, Node::Gone, L"", 0);
    Node& placed = o.nodes[Key(to)] = moved;
    placed.path = toWhole;
    for (auto& [key, node] : below) o.nodes[key] = node;
    return TRUE;
}

BOOL Rename(HANDLE file, const wchar_t* to) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    if (!Own(file)) return Fail(ERROR_ACCESS_DENIED);
    return Move(State().files[file].c_str(), to, 0);
}

BOOL Remove(const wchar_t* path) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    Found found = Find(path);
    if (found.kind != Node::File) return Fail(found.kind == Node::Gone ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    DWORD attributes = found.node ? found.node->attributes : Disk().attributes(LongPath(found.disk).c_str());
    if (attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
    DWORD anyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (DWORD refused = found.disk.empty() ? 0 : DiskRefuses(found.disk, DELETE, anyone)) return Fail(refused);
    Record(path, Node::Gone, L"", 0);
    return TRUE;
}

BOOL MakeFolder(const wchar_t* path) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    if (Find(path).kind != Node::Gone) return Fail(ERROR_ALREADY_EXISTS);
    if (Find(Parent(Whole(path))).kind != Node::Folder) return Fail(ERROR_PATH_NOT_FOUND);
    Record(path, Node::Folder, L"", FILE_ATTRIBUTE_DIRECTORY).identity = ~++State().identities;
    return TRUE;
}

BOOL RemoveFolder(const wchar_t* path) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    Found found = Find(path);
    if (found.kind != Node::Folder) return Fail(found.kind == Node::Gone ? ERROR_FILE_NOT_FOUND : ERROR_DIRECTORY);
    if (!Listing(Whole(path), L"*").empty()) return Fail(ERROR_DIR_NOT_EMPTY);
    Record(path, Node::Gone, L"", 0);
    return TRUE;
}

DWORD Attributes(const wchar_t* path) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    Found found = Find(path);
    if (found.kind == Node::Gone) return SetLastError(ERROR_FILE_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
    if (!found.node) return Disk().attributes(LongPath(found.disk).c_str());
    return found.node->attributes | (found.kind == Node::Folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
}

BOOL SetAttributes(const wchar_t* path, DWORD attributes) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    Found found = Find(path);
    if (found.kind == Node::Gone) return Fail(ERROR_FILE_NOT_FOUND);
    if (!found.node) found.node = &Record(path, found.kind, found.disk, attributes);
    found.node->attributes = attributes;
    return TRUE;
}

BOOL Times(HANDLE file, FILETIME* lastWrite) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    if (!Own(file)) return Disk().times(file, lastWrite);
    Found found = Find(State().files[file]);
    *lastWrite = found.node ? found.node->time : FILETIME{};
    return TRUE;
}

BOOL SetTimes(HANDLE file, const FILETIME* lastWrite) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    if (!Own(file)) return Fail(ERROR_ACCESS_DENIED);
    Found found = Find(State().files[file]);
    if (found.node) found.node->time = *lastWrite;
    return TRUE;
}

HANDLE FindFirst(const wchar_t* pattern, WIN32_FIND_DATAW* entry) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    std::wstring whole = Whole(pattern);
    std::size_t slash = whole.find_last_of(L'\\');
    std::vector<WIN32_FIND_DATAW> entries = Listing(whole.substr(0, slash), whole.substr(slash + 1));
    if (entries.empty()) return SetLastError(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    *entry = entries[0];
    HANDLE search = OwnHandle();
    State().searches[search] = {entries, 1};
    return search;
}

BOOL FindNext(HANDLE search, WIN32_FIND_DATAW* entry) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    auto& [entries, next] = State().searches[search];
    if (next >= entries.size()) return Fail(ERROR_NO_MORE_FILES);
    *entry = entries[next++];
    return TRUE;
}

BOOL EndFind(HANDLE search) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    State().searches.erase(search);
    return CloseHandle(search);
}

BOOL Flush(HANDLE file) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    return Own(file) ? TRUE : Fail(ERROR_ACCESS_DENIED);
}

BOOL Identity(const wchar_t* path, unsigned long long* id) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    Found found = Find(path);
    if (found.kind == Node::Gone) return Fail(ERROR_FILE_NOT_FOUND);
    if (found.disk.empty()) return *id = found.node->identity, TRUE;
    return Disk().identity(LongPath(found.disk).c_str(), id);
}

const FileSystem kDry = {Create,     Read,         Write,      Seek,          Close, Move,     Rename,   Remove,
                         MakeFolder, RemoveFolder, Attributes, SetAttributes, Times, SetTimes, FindFirst, FindNext,
                         EndFind,    Flush,        Identity};

}  // namespace

const FileSystem& DryFileSystem() { return kDry; }

void ForgetDryChanges() {
    Overlay& o = State();
    std::lock_guard<std::recursive_mutex> hold(o.lock);
    for (const auto& [handle, path] : o.files) CloseHandle(handle);
    for (const auto& [search, listing] : o.searches) CloseHandle(search);
    o.nodes.clear();
    o.files.clear();
    o.searches.clear();
    o.room.clear();
}
