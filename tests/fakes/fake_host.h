// A recording fake of the host services for the extension's unit tests. Every call is
// recorded as one line "Name(arg, arg, ...)"; what each call answers is set per test.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct FakeHostError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct FakeHost {
    // What the script run reports.
    std::string componentDir = "C:\\prog";
    std::string destinationRoot = "C:\\prog";

    // Answers of the file services, keyed by path.
    std::set<std::string> lockedFiles;              // FileLocked reports these
    std::set<std::string> unsettledFiles;           // ... and these in a folder it cannot settle
    std::map<std::string, std::string> versions;    // GetFileVersion; missing: "none"
    std::set<std::string> failingCabinets;          // InstallCab fails for these
    std::string failedCabinetLeaves;                // ... after writing this file (relative) if set
    std::set<std::string> undeletableFiles;         // SafeDeleteFile fails for these
    std::set<std::string> failingTrees;             // RemoveDirTree fails for these; others go for real
    std::set<std::string> failingCopies;            // CopyCreateFile fails onto these destinations

    // The call that throws: the `throwAt`-th call (from 1) whose name is `throwOn`.
    std::string throwOn;
    int throwAt = 1;

    // What was done.
    std::vector<std::string> calls;
    std::map<std::string, int> callCounts;
    int listsAlive = 0;
    int listsMade = 0;
    const void* lastExitArgs = reinterpret_cast<const void*>(1);
    std::string lastCommandText;  // as _InitSkript saw it
};

// The fake of the current test; Reset() gives a fresh one.
FakeHost& Fake();
void ResetFake();

// The recorded calls whose line starts with `name`.
std::vector<std::string> CallsNamed(const std::string& name);
