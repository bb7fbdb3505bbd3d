// setuphost.exe MODULE EXPORT SCRIPT [COMMAND-TEXT]
//
// A console setup host: loads MODULE, looks EXPORT up by name and calls it the way a
// setup calls an extension. POSTCOPY and DEINSTALL get a script record holding
// COMMAND-TEXT and the SCRIPT path; WSKordalin gets four zero words and finds its own
// script file beside the module. Prints the result and the log file's path.
// Exit status: 0 when the export returned 1, 1 when it returned anything else, 2 for a
// usage or loading error.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "corvane/script_settings.h"
#include "host/corvane.h"

namespace {

using ScriptEntry = int(__stdcall*)(DWORD, ScriptArgs*, const char*);
using StandaloneEntry = int(__stdcall*)(DWORD, DWORD, DWORD, DWORD);

int Usage(const char* why) {
    std::fprintf(stderr,
                 "setuphost: %s\n"
                 "usage: setuphost.exe MODULE EXPORT SCRIPT [COMMAND-TEXT]\n"
                 "  EXPORT is POSTCOPY, DEINSTALL or WSKordalin\n",
                 why);
    return 2;
}

std::string SystemMessage(DWORD error) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

// The script file a standalone run uses: "Kordex.inf" beside the module.
std::string ScriptBesideModule(HMODULE module) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, sizeof path);
    std::string script(path, length < sizeof path ? length : 0);
    std::size_t slash = script.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : script.substr(0, slash + 1)) + "Kordex.inf";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) return Usage("wrong number of arguments");
    const char* modulePath = argv[1];
    const char* exportName = argv[2];
    bool standalone = std::strcmp(exportName, "WSKordalin") == 0;
    if (!standalone && std::strcmp(exportName, "POSTCOPY") && std::strcmp(exportName, "DEINSTALL"))
        return Usage((std::string("unknown export '") + exportName + "'").c_str());

    // The altered search order lets the module find Corvane.dll in its own folder too.
    HMODULE module = LoadLibraryExA(modulePath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        std::fprintf(stderr, "setuphost: cannot load module '%s': %s\n", modulePath,
                     SystemMessage(GetLastError()).c_str());
        return 2;
    }
    FARPROC entry = GetProcAddress(module, exportName);
    if (!entry) {
        std::fprintf(stderr, "setuphost: module '%s' has no export '%s'\n", modulePath, exportName);
        return 2;
    }

    int result;
    std::string script;
    if (standalone) {
        script = ScriptBesideModule(module);
        result = reinterpret_cast<StandaloneEntry>(reinterpret_cast<void*>(entry))(0, 0, 0, 0);
    } else {
        ScriptArgs args{argc == 5 ? argv[4] : ""};
        script = argv[3];
        result = reinterpret_cast<ScriptEntry>(reinterpret_cast<void*>(entry))(0, &args, argv[3]);
    }
    std::printf("%s returned %d\n", exportName, result);
    std::printf("log: %s\n", ReadScriptSettings(script.c_str()).logFile.c_str());
    std::fflush(stdout);
    return result == 1 ? 0 : 1;
}
