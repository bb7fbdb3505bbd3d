#include "content_packages.h"

#include <optional>

#include "bounded_text.h"
#include "content_names.h"
#include "content_set_aside.h"
#include "host/corvane.h"
#include "host/decisions.h"
#include "log_entry.h"
#include "platform/platform.h"

namespace {

// Only the file name counts: a content directory whose own path holds "_000." must not
// make every package a base package.
bool IsBasePackage(const char* path) {
    return ContainsText(FileNameOf(path), content::kBasePackageMark);
}

// The key a package is sorted by: its path with the letters A-Z folded onto a-z, so that
// the order of the packages does not hang on how their names are written.
void OrderKey(char (&key)[CORVANE_PATH_SIZE], const char* path) {
    CopyText(key, path);
    for (char* c = key; *c; ++c)
        if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
}

// Lists every match of the search: its order key and its full path. False when a match
// could not be named in a path buffer: that package is then left alone, and the run
// counts as failed.
bool ListPackages(const char* contentDir, platform::DirectorySearch& search, CMemInf& packages) {
    char path[CORVANE_PATH_SIZE], key[CORVANE_PATH_SIZE];
    bool allNamed = true;
    for (bool more = search.Found(); more; more = search.Next()) {
        if (search.Name()[0] == '\0') continue;
        if (CopyText(path, contentDir) && AppendText(path, search.Name())) {
            OrderKey(key, path);
            packages.AppendValue(key, path);
        } else {
            Log(decision::kPathTooLong, search.Name());
            allNamed = false;
        }
    }
    return allNamed;
}

// A search that failed says nothing about the packages: none is unpacked.
void LogSearchFailure(const char* searchPath, unsigned error) {
    char reason[CORVANE_TEXT_SIZE];
    platform::ErrorText(error, reason, sizeof reason);
    LogJoined(decision::kSearchFailed, {searchPath, ": the folder could not be searched (", reason,
                                          "); nothing unpacked"});
}

// A package is in place when its files replaced the content whole and it is deleted; a
// base package replaces the content subdirectory.
bool InstallPackage(const char* contentDir, const char* package) {
    bool unpacked = IsBasePackage(package) ? ReplaceSubdirectory(contentDir, package)
                                           : InstallCab(package, contentDir, 1, 0) != 0;
    return unpacked && SafeDeleteFile(package);
}

void KeepBehind(const char* package, const char* pending) {
    LogJoined(decision::kKeepPackage,
              {package, ": not unpacked, it stays for the next run to follow ", FileNameOf(pending)});
}

}  // namespace

int InstallContentPackages(const char* contentDir, const char* pattern) {
    char searchPath[CORVANE_PATH_SIZE];
    // A pattern that does not fit cannot be searched for; packages may be there, so this
    // is a failure rather than "nothing found".
    if (!CopyText(searchPath, contentDir) || !AppendText(searchPath, pattern)) return -1;

    std::optional<CMemInf> packages;
    {
        platform::DirectorySearch search(searchPath);
        if (!search.Found() && !search.Error()) return 0;  // nothing to do: no list, nothing touched
        packages.emplace(nullptr, nullptr);
        bool allNamed = ListPackages(contentDir, search, *packages);
        if (search.Error()) {
            LogSearchFailure(searchPath, search.Error());
            return -1;
        }
        // A package that could not be named would be passed over by the walk below.
        if (!allNamed) return -1;
    }
    packages->Sort(1, 0);

    // Strictly in order: a later package put in place before an earlier one would be
    // overwritten by it when the earlier one comes again. So the first package that is
    // not in place keeps every later one back with it.
    char* key = nullptr;
    char* package = nullptr;
    char pending[CORVANE_PATH_SIZE] = "";
    for (int more = packages->GetFirstValue(key, package); more; more = packages->GetNextValue(key, package)) {
        if (pending[0]) KeepBehind(package, pending);
        else if (!InstallPackage(contentDir, package)) CopyTextCut(pending, sizeof pending, package);
    }
    return pending[0] ? -1 : 0;
}
