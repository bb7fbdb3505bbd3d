// What a run did, in a sentence for the person at the console, read from the entries the
// run wrote to its log: the extension's decisions and the host library's operations.
#pragma once

#include <string>
#include <vector>

struct LogEntry {
    std::string time;  // "YYYY-MM-DD hh:mm:ss.mmm"
    std::string tag;
    std::string value;
};

// The entries of the last run of process `pid` in `logText` (from its last _InitSkript()
// entry on); other processes' entries are left out.
std::vector<LogEntry> EntriesOfRun(const std::string& logText, unsigned long pid);

// One or two sentences on how the run of `exportName` ended; a dry run's start with
// "dry run:".
std::string DescribeRun(const std::string& exportName, const std::vector<LogEntry>& entries, bool dryRun);
