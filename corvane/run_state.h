// The script run the host library has open: set by _InitSkript, cleared by _ExitSkript.
#pragma once

#include "script_settings.h"

struct RunState {
    ScriptSettings settings;
    bool open = false;
};

RunState& CurrentRun();
