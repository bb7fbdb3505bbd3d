// The module's exported entry points.
#pragma once

#include <cstdint>

#include "host/corvane.h"
#include "module.h"

// After the host copied the component's files: brings the shared content up to date.
// 1 when done (also when nothing needed doing), 0 when the update failed.
extern "C" int WSK_STDCALL POSTCOPY(std::uint32_t word, ScriptArgs* args, const char* scriptFile);

// When the host removes the component: removes the shared content if the component lived
// in the destination root. 1.
extern "C" int WSK_STDCALL DEINSTALL(std::uint32_t word, ScriptArgs* args, const char* scriptFile);

// The update run standalone (rundll32 shape), with "Kordex.inf" beside the module as the
// script file. Whatever POSTCOPY returns; 0 when the script path does not fit.
extern "C" int WSK_STDCALL WSKordalin(std::uint32_t word, std::uint32_t, std::uint32_t,
                                      std::uint32_t);

// Replaces the file name of `path` (after its last backslash or slash; all of it when it
// has none) with `name`. False, with `path` empty, when the result does not fit `size`.
bool ReplaceFileName(char* path, unsigned size, const char* name);
