// How the setup host program asked the host library to run: for real or as a dry run
// (every operation that would change the disk is checked and logged as what it would do,
// and nothing is changed), and whom to tell how far an unpack has come.
#pragma once

#include "host/corvane.h"

// Reports the files of `cabinet` done so far out of `total`, after each file.
using CorvaneProgress = void (*)(const char* cabinet, unsigned done, unsigned total);

// MoveFileExA's shape: the module's own renames (it sets the content subdirectory aside
// with them) are sent through one of these in a dry run.
using CorvaneMove = int(__stdcall*)(const char* from, const char* to, unsigned long flags);

extern "C" {
// 1: a dry run from now on; 0: for real (the default).
CORVANE_API void CorvaneSetDryRun(int dryRun);
// Null: no reports (the default).
CORVANE_API void CorvaneSetProgress(CorvaneProgress progress);
// What stands in for a module's own MoveFileExA in a dry run (the setup host points the
// module's import at it): the move is checked as the system would check it, logged as
// what it would do and remembered, so that later moves of the run see it done; nothing
// is moved.
CORVANE_API CorvaneMove CorvaneDryMove();
}

// Forgets the moves of a dry run (at the end of a run).
void ForgetDryMoves();

bool DryRun();
void ReportProgress(const char* cabinet, unsigned done, unsigned total);
