// The script run that brackets the work of every entry point between the host's
// _InitSkript and _ExitSkript.
#pragma once

#include "host/corvane.h"

struct ScriptRun {
    char commandText[CORVANE_TEXT_SIZE] = "";
    char moduleDir[CORVANE_PATH_SIZE] = "";
    char componentDir[CORVANE_PATH_SIZE] = "";
    char scriptDir[CORVANE_PATH_SIZE] = "";  // filled by the host, not read here
    int runFlag = 0;
};

// Copies the host's command text (cut to 1023 bytes when longer; empty for a null record
// or text), finds the module's directory and opens the run with the host.
void OpenScriptRun(ScriptRun& run, ScriptArgs* args, const char* scriptFile);

// Closes the run with status 0 after success, 1 after failure, and returns the entry
// point's result: 1 after success, 0 after failure.
int CloseScriptRun(ScriptArgs* args, const ScriptRun& run, bool succeeded);

// Opens a run, does `work` (true on success) and closes the run, always. A host call that
// throws ends the work as a failure: the exception never leaves the module.
template <typename Work>
int RunScripted(ScriptArgs* args, const char* scriptFile, Work work) {
    ScriptRun run;
    bool succeeded = false;
    try {
        OpenScriptRun(run, args, scriptFile);
        succeeded = work(run);
    } catch (...) {
        succeeded = false;
    }
    try {
        return CloseScriptRun(args, run, succeeded);
    } catch (...) {
        return 0;
    }
}
