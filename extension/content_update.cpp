#include "content_update.h"

#include "bounded_text.h"
#include "content_lock.h"
#include "content_names.h"
#include "content_packages.h"
#include "content_set_aside.h"
#include "host/corvane.h"
#include "host/decisions.h"
#include "log_entry.h"

namespace {

// The paths of one update, each built whole or not at all.
struct UpdatePaths {
    char contentDir[CORVANE_PATH_SIZE] = "";
    char installedModule[CORVANE_PATH_SIZE] = "";
    char marker[CORVANE_PATH_SIZE] = "";
};

bool Build(char* out, const char* dir, const char* name) {
    return BuildPath(out, dir, name) != 0 && out[0] != '\0';
}

// False (logged) when a path does not fit its buffer: nothing is then acted on.
bool BuildUpdatePaths(const char* root, const char* componentDir, UpdatePaths& paths) {
    char lockPath[CORVANE_PATH_SIZE];
    if (!Build(paths.contentDir, root, content::kContentDir) ||
        !Build(lockPath, paths.contentDir, content::kLockFile) ||
        !Build(paths.marker, paths.contentDir, content::kMarkerFile)) {
        Log(decision::kPathTooLong, root);
        return false;
    }
    if (!Build(paths.installedModule, componentDir, content::kInstalledModule)) {
        Log(decision::kPathTooLong, componentDir);
        return false;
    }
    return true;
}

// Under the lock: first puts back what a stopped setup left set aside, then unpacks the
// packages when the installed module is newer than the content, else deletes them. False
// when unpacking failed or old content could not be put back.
bool UpdateLockedContent(const UpdatePaths& paths) {
    if (!RecoverSubdirectory(paths.contentDir)) return false;
    char newVersion[CORVANE_TEXT_SIZE] = "";
    char installedVersion[CORVANE_TEXT_SIZE] = "";
    char scratch[CORVANE_TEXT_SIZE] = "";
    GetFileVersion(paths.installedModule, newVersion, scratch);
    GetFileVersion(paths.marker, installedVersion, scratch);

    // Without the installed module's version there is nothing to compare: the packages
    // that came with this setup are kept for a run that can read it, rather than being
    // deleted as "not newer".
    if (VerCompare(newVersion, content::kLowestVersion) < 0) {
        LogJoined(decision::kNoModuleVersion, {paths.installedModule, ": no file version (missing or without a "
                                                 "version resource); the packages stay for a later run"});
        return false;
    }
    if (VerCompare(newVersion, installedVersion) <= 0) {
        Log(decision::kUpToDate, installedVersion);
        RemoveFile(paths.contentDir, content::kPackagePattern);
        return true;
    }
    if (InstallContentPackages(paths.contentDir, content::kPackagePattern) != 0) return false;
    // The version is recorded last, and a version that could not be recorded fails the
    // run: the next run, with no package left, records it.
    return CopyCreateFile(paths.installedModule, paths.marker) != 0;
}

}  // namespace

bool HasStopWord(const char* commandText) {
    for (const char* word : content::kStopWords)
        if (ContainsText(commandText, word)) return true;
    return false;
}

bool UpdateContent(ScriptRun& run) {
    UpString(run.commandText);
    if (HasStopWord(run.commandText)) return true;

    // An empty root would make the content directory relative to wherever the setup runs.
    const char* root = GetDestinationManager()->Get(DEST_ROOT, "");
    if (root[0] == '\0') {
        Log(decision::kNoRoot, "empty: shared content left alone");
        return true;
    }
    UpdatePaths paths;
    if (!BuildUpdatePaths(root, run.componentDir, paths)) return false;

    ContentLock lock(paths.contentDir);
    switch (lock.State()) {
        case LockState::Taken:
            return UpdateLockedContent(paths);
        case LockState::HeldElsewhere:  // that setup updates the content
            Log(decision::kLockRefused, paths.contentDir);
            return true;
        case LockState::Unusable:  // nobody can tell whether another setup works here
            LogJoined(decision::kLockUnusable, {paths.contentDir, content::kLockFile, ": cannot be opened (",
                                                  lock.Why(), "); the content is left alone"});
            return false;
        case LockState::Unsettled:  // the host's log says which commit, and why
            LogJoined(decision::kUnsettled, {paths.contentDir, content::kUnsettled});
            return false;
    }
    return false;
}
