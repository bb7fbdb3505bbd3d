// Removing the shared content when the component that owned it is removed.
#pragma once

#include "script_run.h"

// The work of DEINSTALL inside an open script run: when the component lived in the
// destination root itself, deletes the content directory and the shared stylesheet.
bool RemoveSharedContent(const ScriptRun& run);
