#include "run_outcome.h"

#include <cstdio>
#include <cstdlib>

#include "extension/content_names.h"

namespace {

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }
bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

// Milliseconds since midnight of a "YYYY-MM-DD hh:mm:ss.mmm" time.
long Milliseconds(const std::string& time) {
    if (time.size() < 23) return 0;
    return ((std::atol(time.substr(11, 2).c_str()) * 60 + std::atol(time.substr(14, 2).c_str())) * 60 +
            std::atol(time.substr(17, 2).c_str())) * 1000 + std::atol(time.substr(20, 3).c_str());
}

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Plural(unsigned long count, const std::string& word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string AfterColon(const std::string& value, const std::string& marker) {
    std::size_t at = value.rfind(marker);
    return at == std::string::npos ? "" : value.substr(at + marker.size());
}

}  // namespace

void RunSummary::NoteUnpack(const std::string& value) {
    Facts& facts = facts_;
    for (const char* failure : {": failed, ", ": would fail, ", ": refused, "}) {
        std::size_t at = value.find(failure);
        if (at == std::string::npos) continue;
        std::string reason = value.substr(at + 2);
        if (StartsWith(reason, "failed, ")) reason = reason.substr(8);
        if (StartsWith(reason, "would fail, ")) reason = reason.substr(12);
        std::size_t end = reason.find("; nothing replaced");
        facts.failed.push_back({FileNameOf(value.substr(0, at)), reason.substr(0, end)});
        return;
    }
    std::size_t files = value.rfind(": ");
    std::size_t bytes = value.rfind(", ");
    if (files == std::string::npos) return;
    ++facts.packagesUnpacked;
    facts.filesUnpacked += std::strtoul(value.c_str() + files + 2, nullptr, 10);
    if (bytes != std::string::npos && bytes > files) facts.bytesUnpacked += std::strtoull(value.c_str() + bytes + 2, nullptr, 10);
}

void RunSummary::Note(const std::string& time, const std::string& tag, const std::string& value) {
    Facts& facts = facts_;
    if (tag == "_InitSkript()" && StartsWith(value, "error: ")) facts.scriptError = value.substr(7);
    else if (tag == "_InitSkript()") {
        facts = Facts();  // a new run of this process: what came before is not this run
        facts.startTime = time;
    }
    else if (tag == content::kTagLockRefused) facts.lockHeldIn = value;
    else if (tag == content::kTagNoRoot) facts.noRoot = value;
    else if (tag == content::kTagPathTooLong) facts.pathTooLong = value;
    else if (tag == content::kTagNoModuleVersion) facts.noModuleVersion = value.substr(0, value.find(": "));
    else if (tag == content::kTagUpToDate) facts.upToDate = value;
    else if (tag == content::kTagSetAside) facts.notSetAside = value;
    else if (tag == content::kTagKeepPackage) ++facts.packagesKept;
    else if (tag == content::kTagRestore && Contains(value, content::kNotPutBack))
        facts.notPutBack = value.substr(0, value.find(content::kNotPutBack));
    else if (tag == content::kTagRestore && Contains(value, content::kLeftByEarlierSetup)) facts.putBackFirst = true;
    else if (tag == "GetFileVersion()") facts.versions.push_back(AfterColon(value, ": "));
    else if (tag == "InstallCab()") NoteUnpack(value);
    else if (tag == "SafeDeleteFile()" && Contains(value, ": could not be deleted"))
        facts.undeleted.push_back(FileNameOf(value.substr(0, value.rfind(": "))));
    else if (tag == "RemoveFile()" && Contains(value, ".cab: "))
        facts.packagesDeleted += std::strtoul(AfterColon(value, ": ").c_str(), nullptr, 10);
    else if (tag == "RemoveDirTree()" && Contains(value, "not everything")) facts.treeNotRemoved = value.substr(0, value.rfind(": "));
    else if (tag == "RemoveDirTree()") facts.treeRemoved = value.substr(0, value.rfind(": "));
    else if (tag == "CopyCreateFile()" && (Contains(value, ": failed, ") || Contains(value, ": would fail, ")))
        facts.markerFailure = value.substr(value.find(" fail") + 1);
    else if (tag == "_ExitSkript()") facts.milliseconds = Milliseconds(time) - Milliseconds(facts.startTime);
    facts.any = true;
}

std::string RunSummary::ContentVersion() const {
    const Facts& facts = facts_;
    if (facts.versions.size() < 2 || StartsWith(facts.versions[1], "none")) return "no recorded version";
    return facts.versions[1];
}

std::string RunSummary::DescribeRemoval(bool dry) const {
    const Facts& facts = facts_;
    if (!facts.treeNotRemoved.empty()) return "content partly removed: not everything in " + facts.treeNotRemoved + " could go";
    if (facts.treeRemoved.empty())
        return "the component does not live in the destination root: the shared content was left alone";
    return (dry ? "would remove the content: " : "content removed: ") + facts.treeRemoved + " and its stylesheet";
}

// The packages left for the next run, the old content's state and version.
std::string RunSummary::DescribeFailure(bool dry) const {
    const Facts& facts = facts_;
    std::string sentence = dry ? "the update would fail: " : "update failed: ";
    std::size_t left = facts.failed.size() + facts.undeleted.size();
    if (!facts.notSetAside.empty()) {
        std::size_t colon = facts.notSetAside.find(": ");
        sentence += facts.notSetAside.substr(0, colon) + facts.notSetAside.substr(colon + 1);
        ++left;
    } else if (!facts.failed.empty()) {
        sentence += facts.failed[0].first + " could not be unpacked (" + facts.failed[0].second + ")";
        if (facts.failed.size() > 1) sentence += " and " + Plural(facts.failed.size() - 1, "other package");
    } else {
        sentence += facts.undeleted[0] + " was unpacked but could not be deleted";
        if (left > 1) sentence += ", nor " + Plural(left - 1, "other package") + " could";
    }
    if (facts.packagesKept) sentence += ", which keeps " + Plural(facts.packagesKept, "later package") + " back";
    sentence += left + facts.packagesKept > 1 ? "; they stay" : "; it stays";
    sentence += " for the next run";
    if (!facts.notPutBack.empty())
        return sentence + ". The old content could not be put back: it is kept in " + facts.notPutBack +
               ", and the next run puts it back before anything else";
    return sentence + ", the content stays at " + ContentVersion();
}

std::string RunSummary::DescribeUpdate(bool dry) const {
    const Facts& facts = facts_;
    if (!facts.noRoot.empty()) return "the script names no destination root: the shared content was left alone";
    if (facts.versions.empty() && !facts.notPutBack.empty())
        return "the old content an earlier setup left set aside in " + facts.notPutBack +
               " could not be put back: nothing else done, the run failed; run again when nothing holds a file in it";
    if (!facts.pathTooLong.empty())
        return "a path under " + facts.pathTooLong + " would be longer than 259 characters: nothing done, the run failed";
    if (!facts.lockHeldIn.empty())
        return "another setup holds the content lock in " + facts.lockHeldIn + ": nothing changed; run again later";
    if (!facts.noModuleVersion.empty())
        return "the installed module " + facts.noModuleVersion +
               " has no version: nothing unpacked, the packages stay for a later run";
    if (!facts.upToDate.empty()) {
        std::string packages = facts.packagesDeleted ? Plural(facts.packagesDeleted, "package") : "no packages";
        return "content already at " + facts.upToDate + ": " + packages + (dry ? " to delete" : " deleted") +
               ", nothing unpacked";
    }
    if (facts.versions.empty()) return "the command text holds a stop word: nothing done";
    const std::string& newVersion = facts.versions[0];
    double bytes = static_cast<double>(facts.bytesUnpacked);
    std::string size = bytes < 102400 ? Format("%.1f KB", bytes / 1024.0) : Format("%.1f MB", bytes / 1048576.0);
    std::string done = Plural(facts.packagesUnpacked, "package") + (dry ? " to unpack (" : " unpacked (") +
                       Plural(facts.filesUnpacked, "file") + ", " + size + ")";
    std::string sentence = facts.putBackFirst ? "the old content an earlier setup left set aside was put back; " : "";
    if (!facts.failed.empty() || !facts.notSetAside.empty() || !facts.undeleted.empty()) {
        sentence += DescribeFailure(dry);
        if (facts.packagesUnpacked) sentence += " (" + done + ")";
    } else if (facts.packagesUnpacked == 0) {
        sentence += (dry ? "would record the content at " : "content recorded at ") + newVersion + ": no packages to unpack";
    } else {
        sentence += (dry ? "would update the content to " : "content updated to ") + newVersion + ": " + done;
        if (!dry) sentence += Format(" in %.1f s", facts.milliseconds / 1000.0);
    }
    if (!facts.markerFailure.empty())
        sentence += ". The version could not be recorded (" + facts.markerFailure + "); the next run records it";
    return sentence;
}

RunSummary::RunSummary(unsigned long pid) : mark_(" [" + std::to_string(pid) + "] ") {}

void RunSummary::Read(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 23 || line.compare(23, mark_.size(), mark_) != 0) return;
    std::string rest = line.substr(23 + mark_.size());
    std::size_t blank = rest.find(' ');
    Note(line.substr(0, 23), rest.substr(0, blank), blank == std::string::npos ? "" : rest.substr(blank + 1));
}

std::string RunSummary::Describe(const std::string& exportName, bool dryRun) const {
    std::string sentence;
    if (!facts_.any) sentence = "the run wrote nothing to its log";
    else if (!facts_.scriptError.empty()) sentence = "the script file could not be used (" + facts_.scriptError + ")";
    else sentence = exportName == "DEINSTALL" ? DescribeRemoval(dryRun) : DescribeUpdate(dryRun);
    return (dryRun ? "dry run: " : "") + sentence;
}
