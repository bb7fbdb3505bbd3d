// The sentence setuphost prints for each way a run can end, from the host library's
// record of the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/decisions.h"
#include "setuphost/run_outcome.h"

namespace {

struct Event {
    CorvaneEventKind kind;
    std::string subject, detail;
    unsigned long long count = 0, size = 0;
    int flag = 0;
};
using Events = std::vector<Event>;

std::string Describe(const Events& events, const std::string& exportName, bool dry) {
    RunSummary summary;
    for (const Event& e : events) summary.Read({e.kind, e.subject.c_str(), e.detail.c_str(), e.count, e.size, e.flag, 0, 0});
    return summary.Describe(exportName, dry);
}

const std::string kContent = "C:\\v\\shared\\velm\\kordalin\\";
std::string Cab(const char* number) { return kContent + "QMT_Kordalin_" + number + ".cab"; }

const Event kOpen{CORVANE_RUN_OPENED, "C:\\s.inf", ""};
const Event kModule{CORVANE_VERSION_READ, "C:\\v\\WsKordalin.dll", "5.1.1.0"};
const Event kMarker{CORVANE_VERSION_READ, kContent + "VAlmanor.dll", "5.1.0.9"};
const Event kNoMarker{CORVANE_VERSION_READ, kContent + "VAlmanor.dll", ""};
const Event kCopied{CORVANE_FILE_COPIED, kContent + "VAlmanor.dll", "", 0, 0, 1};
const Event kOk{CORVANE_RUN_CLOSED, "", "", 0, 1400}, kFailed{CORVANE_RUN_CLOSED, "", "", 1, 900};
Event Unpacked(const char* number, unsigned files, unsigned long long bytes) { return {CORVANE_UNPACKED, Cab(number), "", files, bytes}; }
Event NotUnpacked(const char* number, const std::string& why, int restored = 1) {
    return {CORVANE_NOT_UNPACKED, Cab(number), why, 0, 0, restored};
}
Event Deleted(const char* number, int deleted = 1) { return {CORVANE_FILE_DELETED, Cab(number), "", 0, 0, deleted}; }
Event Decision(const char* tag, const std::string& value) { return {CORVANE_DECISION, tag, value}; }
Event Kept(const char* number) { return Decision(decision::kKeepPackage, Cab(number) + ": not unpacked, x"); }

}  // namespace

TEST(RunOutcome, OneSentenceForEveryWayARunEnds) {
    struct Case { const char* scenario; std::string exportName; bool dry; Events events; std::string expected; };
    const Case cases[] = {
        {"updated", "POSTCOPY", false,
         {kOpen, kModule, kMarker, Unpacked("000", 5, 8388608), Deleted("000"), Unpacked("001", 4, 4299161), Deleted("001"),
          kCopied, kOk},
         "content updated to 5.1.1.0: 2 packages unpacked (9 files, 12.1 MB) in 1.4 s"},
        {"up to date", "POSTCOPY", false,
         {kOpen, kModule, {CORVANE_VERSION_READ, kContent + "VAlmanor.dll", "5.1.1.0"},
          Decision(decision::kUpToDate, "5.1.1.0"), {CORVANE_FILES_DELETED, kContent + "QMT_Kordalin*.cab", "", 1}, kOk},
         "content already at 5.1.1.0: 1 package deleted, nothing unpacked"},
        {"lock held", "WSKordalin", false, {kOpen, Decision(decision::kLockRefused, kContent), kOk},
         "another setup holds the content lock in " + kContent + ": nothing changed; run again later"},
        {"lock file that cannot be opened", "POSTCOPY", false,
         {kOpen, Decision(decision::kLockUnusable, kContent + "VAlmanor.sem: cannot be opened (Access denied); the "
                                                     "content is left alone"), kFailed},
         "the content lock " + kContent + "VAlmanor.sem: cannot be opened (Access denied); the content is left alone: "
         "nothing changed, the run failed"},
        {"damaged package", "POSTCOPY", false, {kOpen, kModule, kMarker, NotUnpacked("001", "damaged cabinet"), kFailed},
         "update failed: QMT_Kordalin_001.cab could not be unpacked (damaged cabinet); it stays for the next run, "
         "the content is left as it was and the recorded version stays 5.1.0.9"},
        {"damaged package, no version recorded yet", "POSTCOPY", false,
         {kOpen, kModule, kNoMarker, NotUnpacked("000", "damaged cabinet"), kFailed},
         "update failed: QMT_Kordalin_000.cab could not be unpacked (damaged cabinet); it stays for the next run, "
         "the content is left as it was and no version is recorded yet"},
        {"a package not in place after others were applied", "POSTCOPY", false,
         {kOpen, kModule, kMarker, Unpacked("000", 5, 954), Deleted("000"),
          NotUnpacked("001", "cannot replace X: another program has it open"), Kept("002"), kFailed},
         "update failed: QMT_Kordalin_001.cab could not be unpacked (cannot replace X: another program has it open), which "
         "keeps 1 later package back; they stay for the next run. Unpacked so far: 1 package (5 files, 0.9 KB); the "
         "recorded version stays 5.1.0.9 until every package is in place"},
        {"unpacked, not deleted", "POSTCOPY", false,
         {kOpen, kModule, kMarker, Unpacked("001", 1, 10), Deleted("001", 0), kFailed},
         "update failed: QMT_Kordalin_001.cab was unpacked but could not be deleted; it stays for the next run. Unpacked so "
         "far: 1 package (1 file, 0.0 KB); the recorded version stays 5.1.0.9 until every package is in place"},
        {"a commit whose undo failed", "POSTCOPY", false,
         {kOpen, kModule, kMarker, NotUnpacked("001", "cannot replace X: the disk is full", 0), kFailed},
         "update failed: QMT_Kordalin_001.cab could not be unpacked (cannot replace X: the disk is full); not everything it "
         "replaced could be put back, run the update again; it stays for the next run, the content is left as it was and "
         "the recorded version stays 5.1.0.9"},
        {"the version not recorded", "POSTCOPY", false,
         {kOpen, kModule, kMarker, Unpacked("001", 2, 2048), Deleted("001"),
          {CORVANE_FILE_COPIED, kContent + "VAlmanor.dll", "the disk is full", 0, 0, 0}, kFailed},
         "update failed: 1 package unpacked (2 files, 2.0 KB), but the version 5.1.1.0 could not be recorded (the disk is "
         "full); run the update again once that is mended"},
        {"a stopped setup's commit rolled back first", "POSTCOPY", false,
         {kOpen, {CORVANE_LEFTOVER, kContent + "~ck20", "", CORVANE_COMMIT_ROLLED_BACK, 12, 1}, kModule, kMarker,
          Unpacked("001", 2, 2048), Deleted("001"), kCopied, kOk},
         "the unfinished commit of a setup that was stopped was rolled back first; content updated to 5.1.1.0: 1 package "
         "unpacked (2 files, 2.0 KB) in 1.4 s"},
        {"a stopped setup's complete commit finished first, then up to date", "POSTCOPY", false,
         {kOpen, {CORVANE_LEFTOVER, kContent + "~ck20", "", CORVANE_COMMIT_FINISHED, 0, 1}, kModule,
          {CORVANE_VERSION_READ, kContent + "VAlmanor.dll", "5.1.1.0"}, Decision(decision::kUpToDate, "5.1.1.0"), kOk},
         "the complete commit of a setup that was stopped was finished first; content already at 5.1.1.0: no packages "
         "deleted, nothing unpacked"},
        {"a stopped setup's commit that could not be rolled back", "POSTCOPY", false,
         {kOpen, {CORVANE_LEFTOVER, kContent + "~ck20", "X: another program has it open", CORVANE_COMMIT_ROLLED_BACK, 0, 0},
          Decision(decision::kUnsettled, kContent + ": x"), kFailed},
         "update failed: the unfinished commit of a setup that was stopped, in " + kContent + "~ck20, could not be "
         "settled (X: another program has it open): nothing changed, the content is left alone; run the update again "
         "once that is mended"},
        {"a stopped setup's commit that is not to be trusted", "WSKordalin", false,
         {kOpen, {CORVANE_LEFTOVER, kContent + "~ck20", "the folder was copied", CORVANE_COMMIT_NOT_TRUSTED, 0, 0},
          Decision(decision::kUnsettled, kContent + ": x"), kFailed},
         "update failed: the unfinished commit of a setup that was stopped, in " + kContent + "~ck20, could not be "
         "settled (the folder was copied): nothing changed, the content is left alone; it will not be acted on: remove " +
         kContent + "~ck20 (with what it holds) and run the update again, which unpacks the packages still there"},
        {"a folder that could not be searched", "POSTCOPY", false,
         {kOpen, kModule, kMarker,
          Decision(decision::kSearchFailed, kContent + "QMT_Kordalin*.cab: the folder could not be searched (Access "
                                                         "denied); nothing unpacked"), kFailed},
         "the packages could not be listed: " + kContent + "QMT_Kordalin*.cab: the folder could not be searched (Access "
         "denied); nothing unpacked, the run failed"},
        {"stop word", "POSTCOPY", false, {kOpen, kOk}, "the command text holds a stop word: nothing done"},
        {"no root", "POSTCOPY", false, {kOpen, Decision(decision::kNoRoot, "empty: shared content left alone"), kOk},
         "the script names no destination root: the shared content was left alone"},
        {"module without version", "POSTCOPY", false,
         {kOpen, {CORVANE_VERSION_READ, "C:\\v\\WsKordalin.dll", ""}, kMarker,
          Decision(decision::kNoModuleVersion, "C:\\v\\WsKordalin.dll: no file version (missing or without a version "
                                                 "resource); x"), kFailed},
         "the installed module C:\\v\\WsKordalin.dll has no version: nothing unpacked, the packages stay for a later run"},
        {"no packages", "POSTCOPY", false, {kOpen, kModule, kMarker, kCopied, kOk},
         "content recorded at 5.1.1.0: no packages to unpack"},
        {"removed", "DEINSTALL", false,
         {kOpen, {CORVANE_TREE_REMOVED, "C:\\v\\shared\\velm\\kordalin", "", 1, 0, 1},
          {CORVANE_FILES_DELETED, "C:\\v\\shared\\velm\\main.css", "", 1}, kOk},
         "content removed: C:\\v\\shared\\velm\\kordalin and its stylesheet"},
        {"nothing to remove", "DEINSTALL", false, {kOpen, {CORVANE_TREE_REMOVED, "C:\\v\\shared\\velm\\kordalin", "", 0, 0, 1}, kOk},
         "no shared content to remove in C:\\v\\shared\\velm\\kordalin"},
        {"left alone", "DEINSTALL", false, {kOpen, kOk},
         "the component does not live in the destination root: the shared content was left alone"},
        {"dry run", "POSTCOPY", true, {kOpen, kModule, kMarker, Unpacked("000", 5, 1048576), Deleted("000"), kCopied, kOk},
         "dry run: would update the content to 5.1.1.0: 1 package to unpack (5 files, 1.0 MB)"},
        {"dry run, held file", "POSTCOPY", true,
         {kOpen, kModule, kMarker, NotUnpacked("000", "cannot replace X: another program has it open"), kFailed},
         "dry run: the update would fail: QMT_Kordalin_000.cab could not be unpacked (cannot replace X: another "
         "program has it open); it stays for the next run, the content is left as it was and the recorded version stays 5.1.0.9"},
        {"damaged base package, the old content put back, the packages after it kept", "POSTCOPY", false,
         {kOpen, kModule, kMarker, NotUnpacked("000", "damaged cabinet"),
          Decision(decision::kPutBack, kContent + "Kordex: put back as it was (QMT_Kordalin_000.cab is not in place)"), Kept("001"), Kept("002"), kFailed},
         "update failed: QMT_Kordalin_000.cab could not be unpacked (damaged cabinet), which keeps 2 later packages back; "
         "they stay for the next run, the content is left as it was and the recorded version stays 5.1.0.9"},
        {"old content not set aside", "POSTCOPY", false,
         {kOpen, kModule, kMarker,
          Decision(decision::kNotSetAside, kContent + "Kordex: could not be set aside as Kordex.old (why), so "
                                                     "QMT_Kordalin_000.cab is not unpacked"), kFailed},
         "update failed: " + kContent + "Kordex could not be set aside as Kordex.old (why), so QMT_Kordalin_000.cab is not "
         "unpacked; it stays for the next run, the content is left as it was and the recorded version stays 5.1.0.9"},
        {"old content not put back", "POSTCOPY", false,
         {kOpen, kModule, kMarker, NotUnpacked("000", "damaged cabinet"),
          Decision(decision::kNotPutBack, kContent + "Kordex.old: could not be put back (x); y"), kFailed},
         "update failed: QMT_Kordalin_000.cab could not be unpacked (damaged cabinet); it stays for the next run. The old "
         "content could not be put back: it is kept in " + kContent + "Kordex.old, and the next run puts it back before anything else"},
        {"an earlier setup's set-aside content put back first", "POSTCOPY", false,
         {kOpen, Decision(decision::kEarlierPutBack, kContent + "Kordex: put back as it was (x)"), kModule, kMarker,
          kCopied, kOk},
         "the old content an earlier setup left set aside was put back; content recorded at 5.1.1.0: no packages to unpack"},
        {"an earlier setup's set-aside content not put back", "POSTCOPY", false,
         {kOpen, Decision(decision::kEarlierNotPutBack, kContent + "Kordex.old: could not be put back (x); y"), kFailed},
         "the old content an earlier setup left set aside in " + kContent + "Kordex.old could not be put back: nothing else "
         "done, the run failed; run again when nothing holds a file in it"},
    };
    for (const Case& c : cases) EXPECT_EQ(Describe(c.events, c.exportName, c.dry), c.expected) << c.scenario;
}

// Only the last run counts: a run that opens starts the record over.
TEST(RunOutcome, OnlyTheLastRun) {
    EXPECT_EQ(Describe({kOpen, Decision(decision::kUpToDate, "5.1.0.0"), kOk, kOpen, kOk}, "POSTCOPY", false),
              "the command text holds a stop word: nothing done");
    EXPECT_EQ(Describe({}, "POSTCOPY", false), "the run recorded nothing");
}
