// The record of the current script run that a setup host program reads back
// (CorvaneRunRecord in host/setup_host.h): each step that matters to the run's outcome,
// as data, beside the log that is written for people.
#pragma once

#include <string>

#include "host/setup_host.h"

// Why a step failed, as the record gives it: a CorvaneReason and the system's error.
struct Reason {
    int code = CORVANE_REASON_NONE;
    unsigned long error = 0;
};
inline Reason SystemReason(unsigned long error) { return {CORVANE_REASON_SYSTEM, error}; }

// A step that failed: why, as the log says it and as the record gives it.
struct Failure {
    std::string text;  // "" when nothing failed
    Reason reason;
    explicit operator bool() const { return !text.empty(); }
};
// The system's refusal `error`, said after `about`.
Failure SystemFailure(unsigned long error, const std::string& about = "");

// Starts a new record (when a script run opens).
void ClearRunRecord();

// Adds one event to the record of the current run.
void RecordEvent(CorvaneEventKind kind, const std::string& subject, const std::string& detail = "",
                 unsigned long long count = 0, unsigned long long size = 0, int flag = 0, Reason reason = {});
