// The host library's own entries in the run log. The exported Log is the module's: its
// entries are its decisions, and go into the run record as well.
#pragma once

#include <string>

// Appends one entry (time, process, tag, value) to the current run's log file; false when
// no run is open or the log cannot be written.
bool LogEntry(const std::string& tag, const std::string& value);
