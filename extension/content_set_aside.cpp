#include "content_set_aside.h"

#include "bounded_text.h"
#include "content_names.h"
#include "host/corvane.h"
#include "host/decisions.h"
#include "log_entry.h"
#include "platform/platform.h"

namespace {

using platform::MoveResult;

// The three names of the content subdirectory, each built whole or the set not at all.
struct SubdirectoryPaths {
    char current[CORVANE_PATH_SIZE] = "";
    char setAside[CORVANE_PATH_SIZE] = "";
    char discard[CORVANE_PATH_SIZE] = "";
    bool built = false;

    explicit SubdirectoryPaths(const char* contentDir) {
        built = Build(current, contentDir, content::kSubdirectory) && Build(setAside, contentDir, content::kSetAsideDir) &&
                Build(discard, contentDir, content::kDiscardDir);
    }
    static bool Build(char* out, const char* dir, const char* name) { return BuildPath(out, dir, name) && out[0]; }
};

// Renames `from` to `to`; when something is in the way at `to`, it is deleted first.
// Used only where what is at `to` is a discarded tree, of no worth.
MoveResult MoveOverDiscarded(const char* from, const char* to) {
    MoveResult moved = platform::MovePath(from, to);
    if (moved != MoveResult::TargetExists) return moved;
    RemoveDirTree(to, 1);
    return platform::MovePath(from, to);
}

// The old tree goes back. What a failed unpack left in the subdirectory is first renamed
// out of the way in one step, so that it is never taken for a base package in place.
// `why` and `whyTail` say, joined, why the old tree goes back; `earlier`: an earlier setup
// left it set aside.
bool PutBack(const SubdirectoryPaths& paths, bool earlier, const char* why, const char* whyTail = "") {
    MoveResult moved = platform::MovePath(paths.setAside, paths.current);
    if (moved == MoveResult::TargetExists && MoveOverDiscarded(paths.current, paths.discard) == MoveResult::Moved) {
        RemoveDirTree(paths.discard, 1);
        moved = platform::MovePath(paths.setAside, paths.current);
    }
    if (moved == MoveResult::Moved) {
        LogJoined(earlier ? decision::kEarlierPutBack : decision::kPutBack,
                  {paths.current, content::kPutBack, " (", why, whyTail, ")"});
        return true;
    }
    LogJoined(earlier ? decision::kEarlierNotPutBack : decision::kNotPutBack, {paths.setAside, content::kNotPutBack, " (", why, whyTail,
                                     "); the old content stays there and the next run puts it back"});
    return false;
}

const char* WhyNotSetAside(MoveResult moved) {
    return moved == MoveResult::TargetExists ? "something named so is in the way"
                                             : "the rename was refused: a file in it may be open";
}

}  // namespace

bool RecoverSubdirectory(const char* contentDir) {
    SubdirectoryPaths paths(contentDir);
    if (!paths.built) return true;  // nothing can have been set aside under such a name
    if (platform::IsDirectory(paths.discard)) RemoveDirTree(paths.discard, 1);
    if (!platform::IsDirectory(paths.setAside)) return true;
    // Beside a subdirectory, the old tree is one a base package replaced whole before the
    // setup stopped (the host's commit is all or nothing, and an unfinished one was rolled
    // back when the lock was asked for): the package is in place, the old tree goes.
    if (platform::IsDirectory(paths.current)) {
        RemoveDirTree(paths.setAside, 1);
        LogJoined(decision::kEarlierRemoved, {paths.setAside, ": ", content::kBaseWasInPlace});
        return true;
    }
    return PutBack(paths, true, content::kLeftByEarlierSetup);
}

bool ReplaceSubdirectory(const char* contentDir, const char* package) {
    SubdirectoryPaths paths(contentDir);
    if (!paths.built) {
        Log(decision::kPathTooLong, content::kSetAsideDir);
        return false;
    }
    MoveResult setAside = platform::MovePath(paths.current, paths.setAside);
    if (setAside != MoveResult::Moved && setAside != MoveResult::SourceMissing) {
        LogJoined(decision::kNotSetAside, {paths.current, ": could not be set aside as ", content::kSetAsideDir, " (",
                                          WhyNotSetAside(setAside), "), so ", FileNameOf(package), " is not unpacked"});
        return false;
    }
    bool hadOld = setAside == MoveResult::Moved;
    // Unpacked, the package is in place whole, files beside the subdirectory included: the
    // old tree goes (what is not removed now goes with the next run, never back).
    if (InstallCab(package, contentDir, 1, 0)) {
        if (hadOld) RemoveDirTree(paths.setAside, 1);
        return true;
    }
    if (hadOld) {
        PutBack(paths, false, FileNameOf(package), " is not in place");
    } else if (platform::IsDirectory(paths.current) &&
               MoveOverDiscarded(paths.current, paths.discard) == MoveResult::Moved) {
        RemoveDirTree(paths.discard, 1);  // there was none before: what a failed unpack left goes
    }
    return false;
}
