// What the host library writes into the run log, in one place: the tag of each kind of
// entry and the phrases its values are made of. The log is for people to read (setuphost
// reads the run's record, not this); its wording changes here or nowhere, and the tests
// read it through these names.
#pragma once

namespace log_phrase {

// Tags.
constexpr char kInitSkript[] = "_InitSkript()";
constexpr char kExitSkript[] = "_ExitSkript()";
constexpr char kGetFileVersion[] = "GetFileVersion()";
constexpr char kInstallCab[] = "InstallCab()";
constexpr char kSafeDeleteFile[] = "SafeDeleteFile()";
constexpr char kRemoveFile[] = "RemoveFile()";
constexpr char kRemoveDirTree[] = "RemoveDirTree()";
constexpr char kCopyCreateFile[] = "CopyCreateFile()";
constexpr char kMoveFileEx[] = "MoveFileEx()";
constexpr char kClearLeftovers[] = "ClearLeftovers()";

// A script run.
constexpr char kSucceeded[] = "status 0 (success)";
constexpr char kFailed[] = "status 1 (failure)";
constexpr char kError[] = "error: ";
constexpr char kScriptMissing[] = "script file not found";
constexpr char kDirectoryTooLong[] = "a directory does not fit the 260-byte path buffer";

// A cabinet unpacked, or why not.
constexpr char kFile[] = " file";
constexpr char kFiles[] = " files";
constexpr char kRefused[] = "refused, ";
constexpr char kNotAllPutBack[] = "; NOT everything could be put back, run the update again";
constexpr char kHoldsNoFile[] = "damaged cabinet: it holds no file";
constexpr char kDamaged[] = "damaged cabinet: ";
constexpr char kNotReadWhole[] = " could not be read whole (";
constexpr char kCannotRead[] = "cannot read the cabinet: ";
constexpr char kCannotWrite[] = "cannot write ";
constexpr char kCannotSetTime[] = "cannot set its time: ";
constexpr char kCannotReplace[] = "cannot replace ";
constexpr char kTooLong[] = "' makes a path longer than 259 characters";
constexpr char kUnsettledThere[] = "an unfinished commit of a setup that was stopped could not be settled there";
constexpr char kHeldThere[] = "another setup works in this folder now";
constexpr char kCannotStage[] = "cannot make the staging folder: ";

// Files.
constexpr char kNotDeleted[] = ": could not be deleted";
constexpr char kCountNotDeleted[] = " could not be deleted";
constexpr char kNotAllRemoved[] = ": not everything could be removed";
constexpr char kWouldBeMoved[] = ": would be moved";  // the module's renames, sent here in a dry run

// What a stopped setup left that could not be settled.
constexpr char kLeftoverKept[] = ": an unfinished commit of a setup that was stopped could not be undone (";
constexpr char kTriedAgain[] = "); it is kept and tried again";
constexpr char kLeftoverNotTrusted[] = ": an unfinished commit of a setup that was stopped cannot be trusted (";
constexpr char kLeftAlone[] = "); it is left alone, and nothing changes in this folder until it is removed";

// What an operation did, as the entry says it: in a real run, or what it would do in a
// dry run (run_mode.h installs one or the other with the run's file-system table).
struct Outcomes {
    const char* unpackedInto;     // "5 files unpacked into DIR"
    const char* failedWith;       // "failed, REASON"
    const char* nothingReplaced;  // after the reason of a cabinet not put in place
    const char* deleted;          // "FILE: deleted"
    const char* countDeleted;     // of the files a pattern matched: "3 deleted"
    const char* removed;          // "DIR: removed"
    const char* copied;           // "SOURCE -> DESTINATION" and this
    const char* copiedOver;       // the same, over a file that is there
    const char* copyFailed;       // "...: failed, REASON"
    const char* oldFileKept;      // after it
    const char* leftoverRemoved;     // a stopped setup's staging folder, no commit of it begun
    const char* leftoverRolledBack;  // ... in the middle of a commit
    const char* leftoverFinished;    // ... once its commit was complete
};

constexpr Outcomes kDone = {
    " unpacked into ", "failed, ", "; nothing replaced", ": deleted", " deleted", ": removed", "", "",
    ": failed, ", "; the old file is kept", ": left by a setup that was stopped; removed",
    ": left by a setup that was stopped in the middle of a commit; the commit was rolled back, then the folder removed",
    ": left by a setup that was stopped once its commit was complete; the commit was finished (the old files it "
    "replaced removed), then the folder removed"};

constexpr Outcomes kWouldBe = {
    " would be unpacked into ", "would fail, ", "", ": would be deleted", " would be deleted", ": would be removed",
    ": would be copied", ": would be copied over it", ": would fail, ", "",
    ": left by a setup that was stopped; would be removed",
    ": left by a setup that was stopped in the middle of a commit; the commit would be rolled back, then the folder "
    "removed",
    ": left by a setup that was stopped once its commit was complete; the commit would be finished (the old files it "
    "replaced removed), then the folder removed"};

}  // namespace log_phrase
