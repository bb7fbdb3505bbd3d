// stopped_update.exe MODULE SCRIPT STEP [cut]: runs POSTCOPY of MODULE on SCRIPT and stops
// the process dead at the STEP-th file-system operation of the update: terminated,
// nothing cleaned up; with "cut", as a power cut would, with every file's data past its
// last flush lost. Exits 0 when the update ended before that step, but for a cut just
// after the last step.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/corvane.h"
#include "step_fs.h"

int main(int argc, char** argv) {
    bool cut = argc == 5 && std::strcmp(argv[4], "cut") == 0;
    if (argc != 4 && !cut) {
        std::fprintf(stderr, "usage: stopped_update.exe MODULE SCRIPT STEP [cut]\n");
        return 2;
    }
    HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    auto postcopy = reinterpret_cast<int(WINAPI*)(DWORD, ScriptArgs*, const char*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "POSTCOPY")));
    if (!postcopy) {
        std::fprintf(stderr, "stopped_update: no POSTCOPY in %s\n", argv[1]);
        return 2;
    }
    long step = std::atol(argv[3]);
    EverySteps steps(module, cut ? StepMode::Cut : StepMode::Kill, step);
    ScriptArgs args{""};
    postcopy(0, &args, argv[2]);
    if (cut && step == steps.Steps() + 1) EverySteps::CutPower();
    return 0;
}
