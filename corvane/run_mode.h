// How the setup host program asked the host library to run: for real or as a dry run,
// and whom to tell how far an unpack has come (the controls in host/setup_host.h).
#pragma once

#include "host/setup_host.h"

// Forgets the moves of a dry run (at the end of a run).
void ForgetDryMoves();

bool DryRun();
void ReportProgress(const char* cabinet, unsigned done, unsigned total);
