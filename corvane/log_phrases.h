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
constexpr char kUnpackedInto[] = " unpacked into ";
constexpr char kWouldBeUnpackedInto[] = " would be unpacked into ";
constexpr char kFailedWith[] = "failed, ";
constexpr char kWouldFailWith[] = "would fail, ";
constexpr char kRefused[] = "refused, ";
constexpr char kNothingReplaced[] = "; nothing replaced";
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
constexpr char kDeleted[] = ": deleted";
constexpr char kWouldBeDeleted[] = ": would be deleted";
constexpr char kNotDeleted[] = ": could not be deleted";
constexpr char kCountDeleted[] = " deleted";  // of the files a pattern matched: "3 deleted"
constexpr char kCountWouldBeDeleted[] = " would be deleted";
constexpr char kCountNotDeleted[] = " could not be deleted";
constexpr char kRemoved[] = ": removed";
constexpr char kWouldBeRemoved[] = ": would be removed";
constexpr char kNotAllRemoved[] = ": not everything could be removed";
constexpr char kWouldBeCopied[] = ": would be copied";
constexpr char kWouldBeCopiedOver[] = ": would be copied over it";
constexpr char kCopyFailed[] = ": failed, ";
constexpr char kOldFileKept[] = "; the old file is kept";
constexpr char kWouldBeMoved[] = ": would be moved";

// What a stopped setup left.
constexpr char kLeftoverRemoved[] = ": left by a setup that was stopped; removed";
constexpr char kLeftoverRolledBack[] =
    ": left by a setup that was stopped in the middle of a commit; the commit was rolled back, then the folder removed";
constexpr char kLeftoverFinished[] =
    ": left by a setup that was stopped once its commit was complete; the commit was finished (the old files it "
    "replaced removed), then the folder removed";
constexpr char kLeftoverKept[] = ": an unfinished commit of a setup that was stopped could not be undone (";
constexpr char kTriedAgain[] = "); it is kept and tried again";
constexpr char kLeftoverNotTrusted[] = ": an unfinished commit of a setup that was stopped cannot be trusted (";
constexpr char kLeftAlone[] = "); it is left alone, and nothing changes in this folder until it is removed";

}  // namespace log_phrase
