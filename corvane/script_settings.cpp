#include "script_settings.h"

#include <windows.h>

#include "host/setup_host.h"
#include "host_rules.h"

namespace {

std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    return (length == 0 || length >= sizeof buffer) ? path : std::string(buffer, length);
}

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') ||
           (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::string ReadSetupValue(const std::string& scriptFile, const char* key) {
    char value[MAX_PATH * 2];
    GetPrivateProfileStringA("Setup", key, "", value, sizeof value, scriptFile.c_str());
    return value;
}

std::string Resolve(const std::string& scriptDir, const std::string& value) {
    if (value.empty() || IsAbsolute(value)) return value;
    return FullPath(scriptDir + "\\" + value);
}

}  // namespace

ScriptSettings ReadScriptSettings(const char* scriptFile) {
    ScriptSettings settings;
    if (!scriptFile || !*scriptFile) return settings;
    settings.scriptFile = FullPath(scriptFile);
    std::size_t slash = settings.scriptFile.find_last_of("\\/");
    settings.scriptDir = slash == std::string::npos ? "." : settings.scriptFile.substr(0, slash);
    DWORD attributes = GetFileAttributesA(settings.scriptFile.c_str());
    settings.scriptFound =
        attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);

    settings.componentDir = Resolve(settings.scriptDir, ReadSetupValue(settings.scriptFile, "ComponentDir"));
    settings.destinationRoot =
        Resolve(settings.scriptDir, ReadSetupValue(settings.scriptFile, "DestinationRoot"));
    settings.logFile = Resolve(settings.scriptDir, ReadSetupValue(settings.scriptFile, "LogFile"));
    if (settings.logFile.empty()) {
        std::size_t dot = settings.scriptFile.find_last_of('.');
        bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        settings.logFile = (hasExtension ? settings.scriptFile.substr(0, dot) : settings.scriptFile) + ".log";
    }
    return settings;
}

int CorvaneLogFileOf(const char* script, char* path, unsigned size) {
    return host_rules::CopyIfFits(path, size, script ? ReadScriptSettings(script).logFile : "") ? 1 : 0;
}
