// What a run did, in a sentence for the person at the console, from the host library's
// record of the run (host/setup_host.h): the host's own operations as data, and the
// module's decisions by their tags.
#pragma once

#include <string>
#include <vector>

#include "host/setup_host.h"

class RunSummary {
public:
    // Takes the events of one run in the order they came.
    void Read(const CorvaneEvent& event);
    // One or two sentences on how the run of `exportName` ended; a dry run's start with
    // "dry run:".
    std::string Describe(const std::string& exportName, bool dryRun) const;

private:
    struct Facts {
        bool opened = false;
        std::string scriptError;
        std::vector<std::string> versions;  // as read: the installed module's, then the content's ("" for none)
        // The module's decisions.
        std::string lockHeldIn, lockUnusable, noRoot, pathTooLong, noModuleVersion, upToDate, searchFailed;
        std::string notSetAside;        // why the old subdirectory could not be set aside
        std::string notPutBack;         // where the old subdirectory stays set aside
        std::string earlierNotPutBack;  // ... when an earlier setup left it so
        bool putBackFirst = false;      // what an earlier setup left set aside was put back
        // A stopped setup's commit: rolled back or finished first, or the one that could not
        // be settled (where, why, and whether another try can settle it).
        bool rolledBackFirst = false, finishedFirst = false;
        std::string unsettled, unsettledWhy;
        bool unsettledTrusted = true;
        bool unsettledDecision = false;  // the module left the content alone for it
        unsigned long packagesKept = 0; // held back behind the first package not in place
        // The packages.
        unsigned long packagesUnpacked = 0, filesUnpacked = 0;
        unsigned long long bytesUnpacked = 0;
        std::string failed, failedReason;  // the first package not unpacked, and why
        bool failedRestored = true;        // false: not everything it replaced could be put back
        std::string undeleted;             // the first package unpacked but not deleted
        unsigned long long packagesDeleted = 0;
        bool markerCopied = false;
        std::string markerFailure;
        // DEINSTALL.
        std::string treeRemoved, treeNotRemoved, treeAbsent;
        unsigned long long milliseconds = 0;
    };
    void Decide(const std::string& tag, const std::string& value);
    std::string DescribeRemoval(bool dry) const;
    std::string DescribeUpdate(bool dry) const;
    std::string DescribeFailure(bool dry) const;
    std::string DescribeUnsettled() const;
    std::string SettledFirst() const;
    std::string Unpacked(bool dry) const;
    std::string FilesAndSize() const;  // "9 files, 12.1 MB": what the packages unpacked held

    Facts facts_;
};
