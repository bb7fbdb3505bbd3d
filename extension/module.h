// The module's entry and its own handle.
#pragma once

#include "platform/platform.h"

#if defined(_WIN32)
#define WSK_STDCALL __stdcall
#else
#define WSK_STDCALL
#endif

enum : unsigned long { WSK_PROCESS_ATTACH = 1 };

// Module entry: records the handle at process attach; returns 1 for every reason.
extern "C" int WSK_STDCALL DllMain(void* module, unsigned long reason, void* reserved);

// The recorded own handle; before any process attach, the host library's handle
// ("Corvane.dll"), which is null when that is not loaded either.
platform::ModuleHandle GetOwnModuleHandle();
