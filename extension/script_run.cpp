#include "script_run.h"

#include "bounded_text.h"
#include "module.h"

void OpenScriptRun(ScriptRun& run, ScriptArgs* args, const char* scriptFile) {
    run.runFlag = 0;
    const char* text = (args && args->commandText) ? args->commandText : "";
    CopyTextCut(run.commandText, sizeof run.commandText, text);

    unsigned length = platform::ModuleFileName(GetOwnModuleHandle(), run.moduleDir,
                                               sizeof run.moduleDir);
    if (length >= sizeof run.moduleDir) run.moduleDir[0] = '\0';  // never pass a cut path
    GetLongDir(run.moduleDir);

    _InitSkript(scriptFile, run.scriptDir, run.componentDir, run.commandText, run.moduleDir,
                &run.runFlag);
}

int CloseScriptRun(ScriptArgs* args, const ScriptRun& run, bool succeeded) {
    _ExitSkript(args, run.moduleDir, succeeded ? 0 : 1);
    return succeeded ? 1 : 0;
}
