#include "exports.h"

#include "bounded_text.h"
#include "content_names.h"
#include "content_update.h"
#include "script_run.h"
#include "uninstall.h"

extern "C" int WSK_STDCALL POSTCOPY(std::uint32_t, ScriptArgs* args, const char* scriptFile) {
    return RunScripted(args, scriptFile, [](ScriptRun& run) { return UpdateContent(run); });
}

extern "C" int WSK_STDCALL DEINSTALL(std::uint32_t, ScriptArgs* args, const char* scriptFile) {
    return RunScripted(args, scriptFile,
                       [](ScriptRun& run) { return RemoveSharedContent(run); });
}

bool ReplaceFileName(char* path, unsigned size, const char* name) {
    char* fileName = const_cast<char*>(FileNameOf(path));
    *fileName = '\0';
    return AppendText(path, size, name);
}

extern "C" int WSK_STDCALL WSKordalin(std::uint32_t word, std::uint32_t, std::uint32_t,
                                      std::uint32_t) {
    char commandText[CORVANE_TEXT_SIZE] = "";
    CopyText(commandText, content::kStandaloneCommand);
    ScriptArgs args{commandText};

    char scriptFile[CORVANE_PATH_SIZE];
    unsigned length = platform::ModuleFileName(GetOwnModuleHandle(), scriptFile,
                                               sizeof scriptFile);
    // Without a whole module path there is no script file to run with.
    if (length == 0 || length >= sizeof scriptFile) return 0;
    if (!ReplaceFileName(scriptFile, sizeof scriptFile, content::kStandaloneScript)) return 0;
    return POSTCOPY(word, &args, scriptFile);
}
