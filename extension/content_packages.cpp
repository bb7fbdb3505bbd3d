#include "content_packages.h"

#include <optional>

#include "bounded_text.h"
#include "content_names.h"
#include "content_set_aside.h"
#include "host/corvane.h"
#include "log_entry.h"
#include "platform/platform.h"

namespace {

// Only the file name counts: a content directory whose own path holds "_000." must not
// make every package a base package.
bool IsBasePackage(const char* path) {
    return ContainsText(FileNameOf(path), content::kBasePackageMark);
}

// Lists every match of the search by full path. False when a match could not be named
// in a path buffer: that package is then left alone, and the run counts as failed.
bool ListPackages(const char* contentDir, platform::DirectorySearch& search,
                  CMemInf& packages) {
    char path[CORVANE_PATH_SIZE];
    bool allNamed = true;
    for (bool more = search.Found(); more; more = search.Next()) {
        if (search.Name()[0] == '\0') continue;
        if (CopyText(path, contentDir) && AppendText(path, search.Name())) {
            packages.AppendValue(path, "1");
        } else {
            Log(content::kTagPathTooLong, search.Name());
            allNamed = false;
        }
    }
    return allNamed;
}

// A base package is done when it replaced the subdirectory and is deleted. One that is
// not must keep the packages after it back as well: unpacked over the old content they
// would be lost when the base package comes again, and the version would still move on.
bool InstallBasePackage(const char* contentDir, const char* package) {
    return ReplaceSubdirectory(contentDir, package) && SafeDeleteFile(package);
}

void KeepForItsBase(const char* package, const char* base) {
    LogJoined(content::kTagKeepPackage, {package, ": not unpacked, it stays for the next run to follow ", FileNameOf(base)});
}

}  // namespace

int InstallContentPackages(const char* contentDir, const char* pattern) {
    char searchPath[CORVANE_PATH_SIZE];
    // A pattern that does not fit cannot be searched for; packages may be there, so this
    // is a failure rather than "nothing found".
    if (!CopyText(searchPath, contentDir) || !AppendText(searchPath, pattern)) return -1;

    std::optional<CMemInf> packages;
    int result = 0;
    {
        platform::DirectorySearch search(searchPath);
        if (!search.Found()) return 0;  // nothing to do: no list, nothing touched
        packages.emplace(nullptr, nullptr);
        if (!ListPackages(contentDir, search, *packages)) result = -1;
    }
    packages->Sort(1, 0);

    char* key = nullptr;
    char* value = nullptr;
    char failedBase[CORVANE_PATH_SIZE] = "";  // the base package not in place, if any
    for (int more = packages->GetFirstValue(key, value); more;
         more = packages->GetNextValue(key, value)) {
        if (IsBasePackage(key)) {
            failedBase[0] = '\0';
            if (!InstallBasePackage(contentDir, key)) {
                CopyTextCut(failedBase, sizeof failedBase, key);
                result = -1;
            }
        } else if (failedBase[0]) {
            KeepForItsBase(key, failedBase);
            result = -1;
        } else if (!InstallCab(key, contentDir, 1, 0)) {
            result = -1;  // left in place for the next run
        } else if (!SafeDeleteFile(key)) {
            result = -1;
        }
    }
    return result;
}
