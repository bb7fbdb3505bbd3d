// The script file: an INI file whose [Setup] section names the component directory
// (ComponentDir), the destination root (DestinationRoot) and the log file (LogFile).
// Relative paths are taken from the script file's directory.
#pragma once

#include <string>

struct ScriptSettings {
    std::string scriptFile;       // full path
    std::string scriptDir;        // full path, no trailing backslash
    std::string componentDir;
    std::string destinationRoot;  // empty: no root
    std::string logFile;          // default: the script file with the extension ".log"
    bool scriptFound = false;
};

ScriptSettings ReadScriptSettings(const char* scriptFile);
