// Opening and closing script runs, the destination manager and GetLongDir.
#include <windows.h>

#include <cstring>
#include <string>

#include "host/corvane.h"
#include "dry_file_system.h"
#include "host_rules.h"
#include "log_phrases.h"
#include "run_log.h"
#include "run_record.h"
#include "run_state.h"
#include "stage_area.h"

namespace {

ULONGLONG runStarted = 0;  // when the open run opened

}  // namespace

const char* CDestinationManager::Get(ENUM_DEST_KEY key, const char* defaultValue) {
    const RunState& run = CurrentRun();
    if (key == DEST_ROOT && run.open && !run.settings.destinationRoot.empty())
        return run.settings.destinationRoot.c_str();
    return defaultValue ? defaultValue : "";
}

CDestinationManager* GetDestinationManager() {
    static CDestinationManager manager;
    return &manager;
}

int _InitSkript(const char* scriptFile, char* scriptDir, char* componentDir, char* commandText,
                const char* moduleDir, int* runFlag) {
    RunState& run = CurrentRun();
    run.Reset();
    run.settings = ReadScriptSettings(scriptFile);
    run.open = true;
    if (runFlag) *runFlag = 1;

    bool fits = host_rules::CopyIfFits(scriptDir, CORVANE_PATH_SIZE, run.settings.scriptDir);
    fits = host_rules::CopyIfFits(componentDir, CORVANE_PATH_SIZE, run.settings.componentDir) && fits;

    std::string opened = "script=" + run.settings.scriptFile + " component=" +
                         run.settings.componentDir + " root=" + run.settings.destinationRoot +
                         " module=" + (moduleDir ? moduleDir : "") + " command=\"" +
                         (commandText ? commandText : "") + "\"";
    LogEntry(log_phrase::kInitSkript, opened);
    const char* problem = !run.settings.scriptFound ? log_phrase::kScriptMissing
                          : !fits                   ? log_phrase::kDirectoryTooLong
                                                    : "";
    if (*problem) LogEntry(log_phrase::kInitSkript, log_phrase::kError + std::string(problem));
    ClearRunRecord();
    runStarted = GetTickCount64();
    RecordEvent(CORVANE_RUN_OPENED, run.settings.scriptFile, problem, 0, 0, 0,
                Reason{*problem ? CORVANE_REASON_SCRIPT : CORVANE_REASON_NONE});
    return run.settings.scriptFound && fits ? 1 : 0;
}

int _ExitSkript(ScriptArgs*, const char*, int status) {
    RunState& run = CurrentRun();
    if (!run.open) return 0;
    RemoveCabinetStages();
    ForgetDryChanges();
    LogEntry(log_phrase::kExitSkript, status == 0 ? log_phrase::kSucceeded : log_phrase::kFailed);
    RecordEvent(CORVANE_RUN_CLOSED, "", "", static_cast<unsigned long long>(status), GetTickCount64() - runStarted);
    run.Reset();
    return 1;
}

int GetLongDir(char* modulePath) {
    if (!modulePath || !*modulePath) return 0;
    char longPath[CORVANE_PATH_SIZE];
    DWORD length = GetLongPathNameA(modulePath, longPath, sizeof longPath);
    if (length > 0 && length < sizeof longPath) std::memcpy(modulePath, longPath, length + 1);
    char* slash = std::strrchr(modulePath, '\\');
    if (slash) *slash = '\0';
    return 1;
}
