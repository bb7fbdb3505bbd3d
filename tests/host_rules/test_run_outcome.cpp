// The sentence setuphost prints for each way a run can end, from the entries the run
// logged (this process's, its last run only).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extension/content_names.h"
#include "setuphost/run_outcome.h"

namespace {

// The log lines of process 7 holding the "tag value" texts, all written at one moment.
std::vector<std::string> Log(const std::vector<std::string>& lines) {
    std::vector<std::string> log;
    for (const std::string& line : lines) log.push_back("2026-12-09 10:00:00.400 [7] " + line + "\r");
    return log;
}

std::string Describe(const std::vector<std::string>& log, const std::string& exportName, bool dry,
                     unsigned long pid = 7) {
    RunSummary summary(pid);
    for (const std::string& line : log) summary.Read(line);
    return summary.Describe(exportName, dry);
}

const std::string kInit = "_InitSkript() script=C:\\s.inf component=C:\\v root=C:\\v module=C:\\s command=\"\"";
const std::string kOk = "_ExitSkript() status 0 (success)", kFailed = "_ExitSkript() status 1 (failure)";
const std::string kContent = "C:\\v\\shared\\velm\\kordalin\\";
const std::string kBaseFailed = "InstallCab() " + kContent + "QMT_Kordalin_000.cab: failed, damaged cabinet; nothing replaced";
const std::string kPutBack = content::kPutBack, kNotPutBack = content::kNotPutBack, kEarlier = content::kLeftByEarlierSetup;
const std::string kVersions[] = {"GetFileVersion() C:\\v\\WsKordalin.dll: 5.1.1.0",
                                 "GetFileVersion() " + kContent + "VAlmanor.dll: 5.1.0.9"};

}  // namespace

TEST(RunOutcome, OneSentenceForEveryWayARunEnds) {
    struct Case { const char* scenario; std::string exportName; bool dry; std::vector<std::string> lines; std::string expected; };
    const Case cases[] = {
        {"updated", "POSTCOPY", false,
         {kInit, kVersions[0], kVersions[1],
          "InstallCab() " + kContent + "QMT_Kordalin_000.cab: 5 files unpacked into " + kContent + ", 8388608 bytes",
          "InstallCab() " + kContent + "QMT_Kordalin_001.cab: 4 files unpacked into " + kContent + ", 4299161 bytes",
          "CopyCreateFile() C:\\v\\WsKordalin.dll -> " + kContent + "VAlmanor.dll", kOk},
         "content updated to 5.1.1.0: 2 packages unpacked (9 files, 12.1 MB) in 0.0 s"},
        {"up to date", "POSTCOPY", false,
         {kInit, kVersions[0], "GetFileVersion() " + kContent + "VAlmanor.dll: 5.1.1.0", "_FindKordalin() 5.1.1.0",
          "RemoveFile() " + kContent + "QMT_Kordalin*.cab: 1 deleted", kOk},
         "content already at 5.1.1.0: 1 package deleted, nothing unpacked"},
        {"lock held", "WSKordalin", false, {kInit, "_FindAlmanorSemaphore() " + kContent, kOk},
         "another setup holds the content lock in " + kContent + ": nothing changed; run again later"},
        {"damaged package", "POSTCOPY", false,
         {kInit, kVersions[0], kVersions[1],
          "InstallCab() " + kContent + "QMT_Kordalin_001.cab: failed, damaged cabinet; nothing replaced", kFailed},
         "update failed: QMT_Kordalin_001.cab could not be unpacked (damaged cabinet); it stays for the next run, "
         "the content stays at 5.1.0.9"},
        {"stop word", "POSTCOPY", false, {kInit, kOk}, "the command text holds a stop word: nothing done"},
        {"no root", "POSTCOPY", false, {kInit, "_FindDestinationRoot() empty: shared content left alone", kOk},
         "the script names no destination root: the shared content was left alone"},
        {"module without version", "POSTCOPY", false,
         {kInit, "GetFileVersion() C:\\v\\WsKordalin.dll: none (file missing)", kVersions[1],
          "_GetModuleVersion() C:\\v\\WsKordalin.dll: no file version (missing or without a version resource); x", kFailed},
         "the installed module C:\\v\\WsKordalin.dll has no version: nothing unpacked, the packages stay for a later run"},
        {"no packages", "POSTCOPY", false, {kInit, kVersions[0], kVersions[1], "CopyCreateFile() a -> b", kOk},
         "content recorded at 5.1.1.0: no packages to unpack"},
        {"removed", "DEINSTALL", false,
         {kInit, "RemoveDirTree() C:\\v\\shared\\velm\\kordalin: removed", "RemoveFile() C:\\v\\shared\\velm\\main.css: 1 deleted", kOk},
         "content removed: C:\\v\\shared\\velm\\kordalin and its stylesheet"},
        {"left alone", "DEINSTALL", false, {kInit, kOk},
         "the component does not live in the destination root: the shared content was left alone"},
        {"dry run", "POSTCOPY", true,
         {kInit, kVersions[0], kVersions[1],
          "InstallCab() " + kContent + "QMT_Kordalin_000.cab: 5 files would be unpacked into " + kContent + ", 1048576 bytes",
          "CopyCreateFile() C:\\v\\WsKordalin.dll -> " + kContent + "VAlmanor.dll: would be copied over it", kOk},
         "dry run: would update the content to 5.1.1.0: 1 package to unpack (5 files, 1.0 MB)"},
        {"dry run, held file", "POSTCOPY", true,
         {kInit, kVersions[0], kVersions[1],
          "InstallCab() " + kContent + "QMT_Kordalin_000.cab: would fail, cannot replace X: another program has it open", kFailed},
         "dry run: the update would fail: QMT_Kordalin_000.cab could not be unpacked (cannot replace X: another "
         "program has it open); it stays for the next run, the content stays at 5.1.0.9"},
        {"damaged base package, the old content put back, the packages after it kept", "POSTCOPY", false,
         {kInit, kVersions[0], kVersions[1], kBaseFailed, "_RestoreContent() " + kContent + "Kordex" + kPutBack,
          "_KeepPackage() " + kContent + "QMT_Kordalin_001.cab: x", "_KeepPackage() " + kContent + "QMT_Kordalin_002.cab: x", kFailed},
         "update failed: QMT_Kordalin_000.cab could not be unpacked (damaged cabinet), which keeps 2 later packages back; "
         "they stay for the next run, the content stays at 5.1.0.9"},
        {"old content not set aside", "POSTCOPY", false,
         {kInit, kVersions[0], kVersions[1],
          "_SetAsideContent() " + kContent + "Kordex: could not be set aside as Kordex.old (why), so QMT_Kordalin_000.cab is not unpacked",
          kFailed},
         "update failed: " + kContent + "Kordex could not be set aside as Kordex.old (why), so QMT_Kordalin_000.cab is not "
         "unpacked; it stays for the next run, the content stays at 5.1.0.9"},
        {"old content not put back", "POSTCOPY", false,
         {kInit, kVersions[0], kVersions[1], kBaseFailed, "_RestoreContent() " + kContent + "Kordex.old" + kNotPutBack + " (x); y", kFailed},
         "update failed: QMT_Kordalin_000.cab could not be unpacked (damaged cabinet); it stays for the next run. The old "
         "content could not be put back: it is kept in " + kContent + "Kordex.old, and the next run puts it back before anything else"},
        {"an earlier setup's set-aside content put back first", "POSTCOPY", false,
         {kInit, "_RestoreContent() " + kContent + "Kordex" + kPutBack + " (" + kEarlier + ")", kVersions[0], kVersions[1],
          "CopyCreateFile() a -> b", kOk},
         "the old content an earlier setup left set aside was put back; content recorded at 5.1.1.0: no packages to unpack"},
        {"an earlier setup's set-aside content not put back", "POSTCOPY", false,
         {kInit, "_RestoreContent() " + kContent + "Kordex.old" + kNotPutBack + " (" + kEarlier + "); y", kFailed},
         "the old content an earlier setup left set aside in " + kContent + "Kordex.old could not be put back: nothing else "
         "done, the run failed; run again when nothing holds a file in it"},
        {"unpacked, not deleted", "POSTCOPY", false,
         {kInit, kVersions[0], kVersions[1],
          "InstallCab() " + kContent + "QMT_Kordalin_001.cab: 1 file unpacked into " + kContent + ", 10 bytes",
          "SafeDeleteFile() " + kContent + "QMT_Kordalin_001.cab: could not be deleted", kFailed},
         "update failed: QMT_Kordalin_001.cab was unpacked but could not be deleted; it stays for the next run, the content "
         "stays at 5.1.0.9 (1 package unpacked (1 file, 0.0 KB))"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Describe(Log(c.lines), c.exportName, c.dry), c.expected) << c.scenario;
}

// Only this process's last run counts: an earlier run of the same process, and other
// processes' entries in between, are left out.
TEST(RunOutcome, OnlyThisProcessesLastRun) {
    std::vector<std::string> log = Log({kInit, "_FindKordalin() 5.1.0.0", kOk});
    log.push_back("2026-12-09 10:00:01.000 [9] _FindAlmanorSemaphore() C:\\elsewhere");
    for (const std::string& line : Log({kInit, kOk})) log.push_back(line);
    EXPECT_EQ(Describe(log, "POSTCOPY", false), "the command text holds a stop word: nothing done");
    EXPECT_EQ(Describe(log, "POSTCOPY", false, 8), "the run wrote nothing to its log");
}
