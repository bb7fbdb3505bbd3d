// How the setup host program asked the host library to run (the controls in
// host/setup_host.h): for real, or as a dry run, which is the dry run's file-system table
// (dry_file_system.h) and its words, installed together; and whom to tell how far an
// unpack has come.
#pragma once

#include "host/setup_host.h"
#include "log_phrases.h"

// What the entries say an operation did, or in a dry run would do.
const log_phrase::Outcomes& Said();

void ReportProgress(const char* cabinet, unsigned done, unsigned total);
