// The record of the current script run that a setup host program reads back
// (CorvaneRunRecord in host/setup_host.h): each step that matters to the run's outcome,
// as data, beside the log that is written for people.
#pragma once

#include <string>

#include "host/setup_host.h"

// Starts a new record (when a script run opens).
void ClearRunRecord();

// Adds one event to the record of the current run.
void RecordEvent(CorvaneEventKind kind, const std::string& subject, const std::string& detail = "",
                 unsigned long long count = 0, unsigned long long size = 0, int flag = 0);
