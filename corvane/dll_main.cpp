// The host library's module entry: when it is unloaded (at the latest when its process
// ends), the staging folders it made are removed.
#include <windows.h>

#include "stage_area.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) RemoveCabinetStages();
    return TRUE;
}
