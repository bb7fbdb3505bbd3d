// Points one import of a loaded module at another function: the module's own calls of
// that function then go there, and no other module's do. The setup host uses it for a
// dry run, the tests to stop a module's own file operations where they happen.
#pragma once

#include <windows.h>

// Replaces `module`'s import of `function` from `dll` (letter case ignored) by
// `replacement`; returns the address it had, or null when the module does not import it
// by that name.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);
