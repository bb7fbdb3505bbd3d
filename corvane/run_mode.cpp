#include "run_mode.h"

#include <windows.h>

#include <string>

#include "dry_file_system.h"
#include "file_system.h"
#include "run_log.h"
#include "run_record.h"

namespace {

const log_phrase::Outcomes* said = &log_phrase::kDone;
CorvaneProgress progress = nullptr;

// The module's own renames in a dry run: made in the dry run's table, and logged.
int __stdcall DryMove(const char* from, const char* to, unsigned long flags) {
    if (!Fs().move(Widen(from ? from : "").c_str(), Widen(to ? to : "").c_str(), flags)) return FALSE;
    LogEntry(log_phrase::kMoveFileEx, std::string(from) + " -> " + to + log_phrase::kWouldBeMoved);
    RecordEvent(CORVANE_MOVED, from, to);
    return TRUE;
}

}  // namespace

void CorvaneSetDryRun(int on) {
    CorvaneFileSystem() = on ? DryFileSystem() : CorvaneRealFileSystem();
    said = on ? &log_phrase::kWouldBe : &log_phrase::kDone;
}

CorvaneMove CorvaneDryMove() { return DryMove; }
void CorvaneSetProgress(CorvaneProgress report) { progress = report; }
const log_phrase::Outcomes& Said() { return *said; }

void ReportProgress(const char* cabinet, unsigned done, unsigned total) {
    if (progress) progress(cabinet, done, total);
}
