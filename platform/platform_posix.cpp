// The platform operations on POSIX, for the native build: modules are shared objects,
// backslashes in paths are directory separators, and name matching ignores letter case
// as on Windows.
#include "platform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/file.h>
#include <dlfcn.h>
#include <fnmatch.h>
#include <link.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace platform {
namespace {

std::string NativePath(const char* path) {
    std::string result(path);
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

const char* BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

unsigned CopyCut(const std::string& path, char* buffer, unsigned size) {
    if (size == 0) return 0;
    if (path.size() < size) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<unsigned>(path.size());
    }
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    return size;
}

}  // namespace

ModuleHandle LoadedModule(const char* fileName) {
    struct Query {
        const char* name;
        std::string path;
    } query{fileName, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* q = static_cast<Query*>(data);
            if (info->dlpi_name && strcasecmp(BaseName(info->dlpi_name), q->name) == 0) {
                q->path = info->dlpi_name;
                return 1;
            }
            return 0;
        },
        &query);
    if (query.path.empty()) return nullptr;
    void* handle = dlopen(query.path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);  // NOLOAD took a reference; the module stays loaded
    return handle;
}

unsigned ModuleFileName(ModuleHandle module, char* buffer, unsigned size) {
    std::string path;
    if (module == nullptr) {
        char exe[4096];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return 0;
        path.assign(exe, static_cast<size_t>(n));
    } else {
        link_map* map = nullptr;
        if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return 0;
        path = map->l_name;
    }
    return CopyCut(path, buffer, size);
}

struct DirectorySearch::State {
    DIR* dir = nullptr;
    std::string pattern;
    std::string name;
};

DirectorySearch::DirectorySearch(const char* pattern) : state_(new State) {
    std::string full = NativePath(pattern);
    size_t slash = full.rfind('/');
    std::string directory = slash == std::string::npos ? "." : full.substr(0, slash + 1);
    state_->pattern = slash == std::string::npos ? full : full.substr(slash + 1);
    state_->dir = opendir(directory.c_str());
    found_ = state_->dir != nullptr;
    if (!found_ && errno != ENOENT && errno != ENOTDIR) error_ = static_cast<unsigned>(errno);
    Next();
}

DirectorySearch::~DirectorySearch() {
    if (state_->dir) closedir(state_->dir);
    delete state_;
}

const char* DirectorySearch::Name() const {
    return state_->name.c_str();
}

bool DirectorySearch::Next() {
    if (!state_->dir) return found_ = false;
    errno = 0;
    while (dirent* entry = readdir(state_->dir)) {
        if (fnmatch(state_->pattern.c_str(), entry->d_name, FNM_CASEFOLD) == 0) {
            state_->name = entry->d_name;
            return found_ = true;
        }
    }
    if (errno != 0) error_ = static_cast<unsigned>(errno);
    return found_ = false;
}

void ErrorText(unsigned error, char* text, unsigned size) {
    if (size == 0) return;
    std::snprintf(text, size, "%s", std::strerror(static_cast<int>(error)));
}

bool DeleteFileAt(const char* path) {
    return unlink(NativePath(path).c_str()) == 0;
}

bool IsDirectory(const char* path) {
    struct stat info;
    return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// renameat2's RENAME_NOREPLACE refuses an existing target as Windows does; a plain
// rename would put one empty directory over another.
MoveResult MovePath(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, NativePath(from).c_str(), AT_FDCWD, NativePath(to).c_str(), RENAME_NOREPLACE) == 0)
        return MoveResult::Moved;
    switch (errno) {
        case ENOENT: return MoveResult::SourceMissing;
        case EEXIST:
        case ENOTEMPTY: return MoveResult::TargetExists;
        default: return MoveResult::Failed;
    }
}

LockOpen OpenSharedLockStream(const char* path, std::FILE*& stream, unsigned& error) {
    // POSIX has no share modes: an exclusive advisory lock stands in for them, taken
    // before the file is cut so that another holder's file is left as it is.
    int descriptor = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor == -1) {
        error = static_cast<unsigned>(errno);
        return errno == ENOENT ? LockOpen::FolderMissing : LockOpen::Failed;
    }
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        close(descriptor);
        return LockOpen::HeldElsewhere;
    }
    if (ftruncate(descriptor, 0) != 0 || !(stream = fdopen(descriptor, "w"))) {
        error = static_cast<unsigned>(errno);
        close(descriptor);
        return LockOpen::Failed;
    }
    return LockOpen::Opened;
}

}  // namespace platform
