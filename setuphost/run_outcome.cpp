#include "run_outcome.h"

#include <cstdio>

#include "host/decisions.h"

namespace {

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Plural(unsigned long long count, const std::string& word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string Size(unsigned long long bytes) {
    double size = static_cast<double>(bytes);
    return size < 102400 ? Format("%.1f KB", size / 1024.0) : Format("%.1f MB", size / 1048576.0);
}

// How a sentence on a failed update begins.
std::string Failed(bool dry) { return dry ? "the update would fail: " : "update failed: "; }

// The part of a module's log value before its first ": ", where it names a path.
std::string PathOf(const std::string& value) { return value.substr(0, value.find(": ")); }

}  // namespace

void RunSummary::Decide(const std::string& tag, const std::string& value) {
    Facts& facts = facts_;
    if (tag == decision::kLockRefused) facts.lockHeldIn = value;
    else if (tag == decision::kLockUnusable) facts.lockUnusable = value;
    else if (tag == decision::kNoRoot) facts.noRoot = value;
    else if (tag == decision::kPathTooLong) facts.pathTooLong = value;
    else if (tag == decision::kNoModuleVersion) facts.noModuleVersion = PathOf(value);
    else if (tag == decision::kUpToDate) facts.upToDate = value;
    else if (tag == decision::kSearchFailed) facts.searchFailed = value;
    else if (tag == decision::kNotSetAside) facts.notSetAside = value;
    else if (tag == decision::kUnsettled) facts.unsettledDecision = true;
    else if (tag == decision::kKeepPackage) ++facts.packagesKept;
    else if (tag == decision::kNotPutBack) facts.notPutBack = PathOf(value);
    else if (tag == decision::kEarlierNotPutBack) facts.earlierNotPutBack = PathOf(value);
    else if (tag == decision::kEarlierPutBack) facts.putBackFirst = true;
}

void RunSummary::Read(const CorvaneEvent& event) {
    Facts& facts = facts_;
    std::string subject = event.subject, detail = event.detail;
    switch (event.kind) {
        case CORVANE_RUN_OPENED:
            facts = Facts();
            facts.opened = true;
            facts.scriptError = detail;
            break;
        case CORVANE_VERSION_READ: facts.versions.push_back(detail); break;
        case CORVANE_UNPACKED:
            ++facts.packagesUnpacked;
            facts.filesUnpacked += static_cast<unsigned long>(event.count);
            facts.bytesUnpacked += event.size;
            break;
        case CORVANE_NOT_UNPACKED:
            if (facts.failed.empty()) facts.failed = FileNameOf(subject), facts.failedReason = detail;
            facts.failedRestored = facts.failedRestored && event.flag;
            break;
        case CORVANE_FILE_DELETED:
            if (!event.flag && facts.undeleted.empty()) facts.undeleted = FileNameOf(subject);
            break;
        case CORVANE_FILES_DELETED: facts.packagesDeleted += event.count; break;
        case CORVANE_FILE_COPIED:
            facts.markerCopied = event.flag != 0;
            facts.markerFailure = detail;
            break;
        case CORVANE_TREE_REMOVED:
            (event.count == 0 ? facts.treeAbsent : event.flag ? facts.treeRemoved : facts.treeNotRemoved) = subject;
            break;
        case CORVANE_DECISION: Decide(subject, detail); break;
        case CORVANE_RUN_CLOSED: facts.milliseconds = event.size; break;
        case CORVANE_LEFTOVER:
            if (!event.flag) {
                facts.unsettled = subject, facts.unsettledWhy = detail;
                facts.unsettledTrusted = event.count != CORVANE_COMMIT_NOT_TRUSTED;
            }
            facts.rolledBackFirst = facts.rolledBackFirst || (event.flag && event.count == CORVANE_COMMIT_ROLLED_BACK);
            facts.finishedFirst = facts.finishedFirst || (event.flag && event.count == CORVANE_COMMIT_FINISHED);
            break;
        default: break;
    }
}

std::string RunSummary::DescribeRemoval(bool dry) const {
    const Facts& facts = facts_;
    if (!facts.treeNotRemoved.empty()) return "content partly removed: not everything in " + facts.treeNotRemoved + " could go";
    if (!facts.treeRemoved.empty())
        return (dry ? "would remove the content: " : "content removed: ") + facts.treeRemoved + " and its stylesheet";
    if (!facts.treeAbsent.empty()) return "no shared content to remove in " + facts.treeAbsent;
    return "the component does not live in the destination root: the shared content was left alone";
}

std::string RunSummary::FilesAndSize() const {
    return Plural(facts_.filesUnpacked, "file") + ", " + Size(facts_.bytesUnpacked);
}

std::string RunSummary::Unpacked(bool dry) const {
    return Plural(facts_.packagesUnpacked, "package") + (dry ? " to unpack (" : " unpacked (") + FilesAndSize() + ")";
}

// The package not in place, what it keeps back, and what this run left of the content:
// as it was, or with the packages before it unpacked; and the version that stays recorded.
std::string RunSummary::DescribeFailure(bool dry) const {
    const Facts& facts = facts_;
    std::string sentence = Failed(dry);
    if (!facts.notSetAside.empty()) {
        std::size_t colon = facts.notSetAside.find(": ");
        sentence += facts.notSetAside.substr(0, colon) + facts.notSetAside.substr(colon + 1);
    } else if (!facts.failed.empty()) {
        sentence += facts.failed + " could not be unpacked (" + facts.failedReason + ")";
        if (!facts.failedRestored) sentence += "; not everything it replaced could be put back, run the update again";
    } else {
        sentence += facts.undeleted + " was unpacked but could not be deleted";
    }
    if (facts.packagesKept) sentence += ", which keeps " + Plural(facts.packagesKept, "later package") + " back";
    sentence += facts.packagesKept ? "; they stay for the next run" : "; it stays for the next run";
    if (!facts.notPutBack.empty())
        return sentence + ". The old content could not be put back: it is kept in " + facts.notPutBack +
               ", and the next run puts it back before anything else";
    std::string recorded = facts.versions.size() > 1 ? facts.versions[1] : "";
    if (facts.packagesUnpacked == 0)
        return sentence + ", the content is left as it was and " +
               (recorded.empty() ? std::string("no version is recorded yet") : "the recorded version stays " + recorded);
    return sentence + ". " + (dry ? "Would be unpacked before that: " : "Unpacked so far: ") +
           Plural(facts.packagesUnpacked, "package") + " (" + FilesAndSize() + "); " +
           (recorded.empty() ? "no version is recorded" : "the recorded version stays " + recorded) +
           " until every package is in place";
}

// What was settled before the run went on: a stopped setup's commit rolled back or finished.
std::string RunSummary::SettledFirst() const {
    if (facts_.rolledBackFirst) return "the unfinished commit of a setup that was stopped was rolled back first; ";
    if (facts_.finishedFirst) return "the complete commit of a setup that was stopped was finished first; ";
    return "";
}

// A stopped setup's commit that could not be settled, why, and what lets the next run on.
std::string RunSummary::DescribeUnsettled() const {
    const Facts& facts = facts_;
    std::string sentence = "update failed: the unfinished commit of a setup that was stopped, in " +
                           facts.unsettled + ", could not be settled (" + facts.unsettledWhy +
                           "): nothing changed, the content is left alone; ";
    if (facts.unsettledTrusted) return sentence + "run the update again once that is mended";
    return sentence + "it will not be acted on: remove " + facts.unsettled +
           " (with what it holds) and run the update again, which unpacks the packages still there";
}

std::string RunSummary::DescribeUpdate(bool dry) const {
    const Facts& facts = facts_;
    if (!facts.noRoot.empty()) return "the script names no destination root: the shared content was left alone";
    if (facts.unsettledDecision && !facts.unsettled.empty()) return DescribeUnsettled();
    if (!facts.earlierNotPutBack.empty())
        return "the old content an earlier setup left set aside in " + facts.earlierNotPutBack +
               " could not be put back: nothing else done, the run failed; run again when nothing holds a file in it";
    if (!facts.pathTooLong.empty())
        return "a path under " + facts.pathTooLong + " would be longer than 259 characters: nothing done, the run failed";
    if (!facts.lockHeldIn.empty())
        return "another setup holds the content lock in " + facts.lockHeldIn + ": nothing changed; run again later";
    if (!facts.lockUnusable.empty())
        return "the content lock " + facts.lockUnusable + ": nothing changed, the run failed";
    if (!facts.noModuleVersion.empty())
        return "the installed module " + facts.noModuleVersion +
               " has no version: nothing unpacked, the packages stay for a later run";
    if (!facts.upToDate.empty()) {
        std::string packages = facts.packagesDeleted ? Plural(facts.packagesDeleted, "package") : "no packages";
        return "content already at " + facts.upToDate + ": " + packages + (dry ? " to delete" : " deleted") +
               ", nothing unpacked";
    }
    if (facts.versions.empty()) return "the command text holds a stop word: nothing done";
    std::string sentence = facts.putBackFirst ? "the old content an earlier setup left set aside was put back; " : "";
    if (!facts.searchFailed.empty())
        return sentence + "the packages could not be listed: " + facts.searchFailed + ", the run failed";
    if (!facts.failed.empty() || !facts.notSetAside.empty() || !facts.undeleted.empty())
        return sentence + DescribeFailure(dry);
    const std::string& newVersion = facts.versions[0];
    if (!facts.markerCopied)
        return sentence + Failed(dry) +
               (facts.packagesUnpacked ? Unpacked(dry) + ", but the" : "the") + " version " + newVersion +
               " could not be recorded (" + facts.markerFailure + "); run the update again once that is mended";
    if (facts.packagesUnpacked == 0)
        return sentence + (dry ? "would record the content at " : "content recorded at ") + newVersion +
               ": no packages to unpack";
    sentence += (dry ? "would update the content to " : "content updated to ") + newVersion + ": " + Unpacked(dry);
    return dry ? sentence : sentence + Format(" in %.1f s", static_cast<double>(facts.milliseconds) / 1000.0);
}

std::string RunSummary::Describe(const std::string& exportName, bool dryRun) const {
    std::string sentence;
    if (!facts_.opened) sentence = "the run recorded nothing";
    else if (!facts_.scriptError.empty()) sentence = "the script file could not be used (" + facts_.scriptError + ")";
    else sentence = exportName == "DEINSTALL" ? DescribeRemoval(dryRun) : SettledFirst() + DescribeUpdate(dryRun);
    return (dryRun ? "dry run: " : "") + sentence;
}
