// setuphost.exe [--dry-run] MODULE EXPORT SCRIPT [COMMAND-TEXT]
//
// A console setup host: loads MODULE, looks EXPORT up by name and calls it the way a
// setup calls an extension. POSTCOPY and DEINSTALL get a script record holding
// COMMAND-TEXT and the SCRIPT path; WSKordalin gets four zero words and finds its own
// script file beside the module. Prints the result, the log file's path and what the
// run did, in a sentence from the host library's record of the run; while a cabinet is
// unpacked and standard error is a terminal, a line of progress. With --dry-run the host
// library changes nothing and logs what it would do, the module's own renames included;
// the extension runs as ever, and so still takes and releases its lock file. The host
// library is this program's own Corvane.dll, beside it; the module uses it too.
// Exit status: 0 when the export returned 1, 1 when it returned anything else, 2 for a
// usage or loading error.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/corvane.h"
#include "host/setup_host.h"
#include "setuphost/import_patch.h"
#include "setuphost/run_outcome.h"

namespace {

using ScriptEntry = int(__stdcall*)(DWORD, ScriptArgs*, const char*);
using StandaloneEntry = int(__stdcall*)(DWORD, DWORD, DWORD, DWORD);

int Usage(const char* why) {
    std::fprintf(stderr,
                 "setuphost: %s\n"
                 "usage: setuphost.exe [--dry-run] MODULE EXPORT SCRIPT [COMMAND-TEXT]\n"
                 "  EXPORT is POSTCOPY, DEINSTALL or WSKordalin\n"
                 "  --dry-run: the host library changes nothing and logs what it would do; the\n"
                 "  extension still takes and releases its lock file (VAlmanor.sem)\n",
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

// The progress line, rewritten in place on the terminal.
struct Progress {
    unsigned package = 0, percent = 0;
    std::string cabinet;
    bool shown = false;
} progress;

// Rewritten only when the share of files done moves, so that a cabinet of thousands of
// small files does not wait for the terminal.
void ShowProgress(const char* cabinet, unsigned done, unsigned total) {
    unsigned percent = total ? done * 100 / total : 100;
    if (progress.cabinet != cabinet) {
        progress.cabinet = cabinet;
        ++progress.package;
    } else if (percent == progress.percent) {
        return;
    }
    progress.percent = percent;
    std::string name = progress.cabinet.substr(progress.cabinet.find_last_of("\\/") + 1);
    std::fprintf(stderr, "\r  package %u: %s %3u%% (%u of %u files)   ", progress.package, name.c_str(), percent,
                 done, total);
    std::fflush(stderr);
    progress.shown = true;
}

void EndProgress() {
    if (progress.shown) std::fprintf(stderr, "\r%79s\r", "");
}

bool StandardErrorIsTerminal() {
    return GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR;
}

// Tells the host library how to run. In a dry run the module's own renames go through the
// host library too, which checks and logs them and moves nothing.
void SetUpHostLibrary(HMODULE module, bool dryRun) {
    CorvaneSetDryRun(dryRun ? 1 : 0);
    if (dryRun) PatchImport(module, "kernel32.dll", "MoveFileExA", reinterpret_cast<void*>(CorvaneDryMove()));
    if (StandardErrorIsTerminal()) CorvaneSetProgress(ShowProgress);
}

// What the run did, from the host library's record of it (this process's last run).
std::string DescribeThisRun(const char* exportName, bool dryRun) {
    RunSummary summary;
    const CorvaneEvent* events = nullptr;
    unsigned count = CorvaneRunRecord(&events);
    for (unsigned i = 0; i < count; ++i) summary.Read(events[i]);
    return summary.Describe(exportName, dryRun);
}

// The log file the script names.
std::string LogFileOf(const std::string& script) {
    char path[MAX_PATH * 2];
    CorvaneLogFileOf(script.c_str(), path, sizeof path);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    bool dryRun = argc > 1 && std::strcmp(argv[1], "--dry-run") == 0;
    if (dryRun) --argc, ++argv;
    if (argc < 4 || argc > 5) return Usage("wrong number of arguments");
    const char* modulePath = argv[1];
    const char* exportName = argv[2];
    bool standalone = std::strcmp(exportName, "WSKordalin") == 0;
    if (!standalone && std::strcmp(exportName, "POSTCOPY") && std::strcmp(exportName, "DEINSTALL"))
        return Usage((std::string("unknown export '") + exportName + "'").c_str());

    // The altered search order lets the module find what it imports in its own folder too;
    // Corvane.dll is this program's own, loaded with it.
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

    SetUpHostLibrary(module, dryRun);

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
    EndProgress();
    std::string log = LogFileOf(script);
    std::printf("%s returned %d\n", exportName, result);
    std::printf("log: %s\n", log.c_str());
    std::printf("%s\n", DescribeThisRun(exportName, dryRun).c_str());
    std::fflush(stdout);
    return result == 1 ? 0 : 1;
}
