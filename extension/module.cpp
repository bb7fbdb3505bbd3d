#include "module.h"

namespace {
platform::ModuleHandle ownModule = nullptr;
}

extern "C" int WSK_STDCALL DllMain(void* module, unsigned long reason, void*) {
    if (reason == WSK_PROCESS_ATTACH) ownModule = module;
    return 1;
}

platform::ModuleHandle GetOwnModuleHandle() {
    return ownModule ? ownModule : platform::LoadedModule("Corvane.dll");
}
