// stopped_update.exe MODULE SCRIPT STEP: runs POSTCOPY of MODULE on SCRIPT and stops the
// process dead at the STEP-th file-system operation of the update, as a power cut would:
// terminated, nothing cleaned up. Exits 0 when the update ended before that step.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "host/corvane.h"
#include "step_fs.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: stopped_update.exe MODULE SCRIPT STEP\n");
        return 2;
    }
    HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    auto postcopy = reinterpret_cast<int(WINAPI*)(DWORD, ScriptArgs*, const char*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "POSTCOPY")));
    if (!postcopy) {
        std::fprintf(stderr, "stopped_update: no POSTCOPY in %s\n", argv[1]);
        return 2;
    }
    EverySteps steps(module, StepMode::Kill, std::atol(argv[3]));
    ScriptArgs args{""};
    postcopy(0, &args, argv[2]);
    return 0;
}
