// What a run did, in a sentence for the person at the console, read from the entries the
// run wrote to its log: the extension's decisions and the host library's operations.
#pragma once

#include <string>
#include <vector>

// Reads a run log line by line and keeps what the last run of one process said (from its
// last _InitSkript() entry on; other processes' entries are left out). It holds only
// what the sentence needs, not the entries: a run of thousands of packages logs many.
class RunSummary {
public:
    explicit RunSummary(unsigned long pid);
    void Read(std::string line);
    // One or two sentences on how the run of `exportName` ended; a dry run's start with
    // "dry run:".
    std::string Describe(const std::string& exportName, bool dryRun) const;

private:
    struct Facts {
        std::string startTime, lockHeldIn, noRoot, pathTooLong, noModuleVersion, upToDate, scriptError;
        std::vector<std::string> versions;  // as read: the installed module's, then the content's
        unsigned long packagesUnpacked = 0, filesUnpacked = 0, packagesDeleted = 0;
        unsigned long long bytesUnpacked = 0;
        std::vector<std::pair<std::string, std::string>> failed;  // package, reason
        std::vector<std::string> undeleted;  // packages unpacked but not deleted
        std::string treeRemoved, treeNotRemoved, markerFailure;
        std::string notSetAside;        // why the old subdirectory could not be set aside
        std::string notPutBack;         // where the old subdirectory stays set aside
        bool putBackFirst = false;      // what an earlier setup left set aside was put back
        unsigned long packagesKept = 0; // held back behind a base package not in place
        long milliseconds = 0;
        bool any = false;
    };
    void Note(const std::string& time, const std::string& tag, const std::string& value);
    void NoteUnpack(const std::string& value);
    std::string DescribeRemoval(bool dry) const;
    std::string DescribeUpdate(bool dry) const;
    std::string ContentVersion() const;
    std::string DescribeFailure(bool dry) const;

    std::string mark_;  // " [pid] "
    Facts facts_;
};
