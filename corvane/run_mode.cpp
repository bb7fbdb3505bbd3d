#include "run_mode.h"

namespace {
bool dryRun = false;
CorvaneProgress progress = nullptr;
}  // namespace

void CorvaneSetDryRun(int on) { dryRun = on != 0; }
void CorvaneSetProgress(CorvaneProgress report) { progress = report; }
bool DryRun() { return dryRun; }

void ReportProgress(const char* cabinet, unsigned done, unsigned total) {
    if (progress) progress(cabinet, done, total);
}
