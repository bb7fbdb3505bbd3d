// How the setup host program asked the host library to run: for real or as a dry run
// (every operation that would change the disk is checked and logged as what it would do,
// and nothing is changed), and whom to tell how far an unpack has come.
#pragma once

#include "host/corvane.h"

// Reports the files of `cabinet` done so far out of `total`, after each file.
using CorvaneProgress = void (*)(const char* cabinet, unsigned done, unsigned total);

extern "C" {
// 1: a dry run from now on; 0: for real (the default).
CORVANE_API void CorvaneSetDryRun(int dryRun);
// Null: no reports (the default).
CORVANE_API void CorvaneSetProgress(CorvaneProgress progress);
}

bool DryRun();
void ReportProgress(const char* cabinet, unsigned done, unsigned total);
