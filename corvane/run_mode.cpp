#include "run_mode.h"

#include <windows.h>

#include <map>
#include <string>

#include "file_system.h"
#include "log_phrases.h"
#include "run_log.h"
#include "run_record.h"

namespace {
bool dryRun = false;
CorvaneProgress progress = nullptr;

// The paths a dry run has moved: there (true) or gone (false), by upper-cased name.
std::map<std::wstring, bool>& DryMoves() {
    static std::map<std::wstring, bool> moves;
    return moves;
}

bool ThereInDryRun(const std::wstring& path) {
    auto moved = DryMoves().find(UpperName(path));
    return moved != DryMoves().end() ? moved->second : Fs().attributes(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int __stdcall DryMove(const char* from, const char* to, unsigned long) {
    std::wstring source = Widen(from ? from : ""), target = Widen(to ? to : "");
    DWORD error = source.empty() || !ThereInDryRun(source) ? ERROR_FILE_NOT_FOUND
                  : target.empty() || ThereInDryRun(target) ? ERROR_ALREADY_EXISTS
                                                            : 0;
    if (error) {
        SetLastError(error);
        return FALSE;
    }
    DryMoves()[UpperName(source)] = false;
    DryMoves()[UpperName(target)] = true;
    LogEntry(log_phrase::kMoveFileEx, std::string(from) + " -> " + to + log_phrase::kWouldBeMoved);
    RecordEvent(CORVANE_MOVED, from, to);
    return TRUE;
}
}  // namespace

CorvaneMove CorvaneDryMove() { return DryMove; }
void ForgetDryMoves() { DryMoves().clear(); }

void CorvaneSetDryRun(int on) { dryRun = on != 0; }
void CorvaneSetProgress(CorvaneProgress report) { progress = report; }
bool DryRun() { return dryRun; }

void ReportProgress(const char* cabinet, unsigned done, unsigned total) {
    if (progress) progress(cabinet, done, total);
}
