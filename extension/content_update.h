// Bringing the shared content up to date after the host copied a component's files.
#pragma once

#include "script_run.h"

// The work of POSTCOPY inside an open script run: true when the run ended without
// failure (also when nothing needed doing), false when the content could not be updated.
bool UpdateContent(ScriptRun& run);

// True when the (upper-cased) command text holds a word that stops the update.
bool HasStopWord(const char* commandText);
