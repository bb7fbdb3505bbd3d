// Reading a file's version from its version resource.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/corvane.h"
#include "host_rules.h"
#include "log_phrases.h"
#include "run_log.h"
#include "run_record.h"

namespace {

void CopyCut(char* buffer, const char* text) {
    if (!buffer) return;
    std::snprintf(buffer, CORVANE_TEXT_SIZE, "%s", text);
}

// The FileVersion string of the first translation, or "" when there is none.
const char* VersionString(const std::vector<char>& block) {
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &size) ||
        size < sizeof *translation)
        return "";
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileVersion",
                  translation->language, translation->codePage);
    char* text = nullptr;
    if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&text), &size) || !text)
        return "";
    return text;
}

// The version as the log shows it: what a run compared is then on record.
void LogVersion(const char* file, const char* version, bool found) {
    std::string path = file ? file : "";
    LogEntry(log_phrase::kGetFileVersion, path + ": " + version);
    RecordEvent(CORVANE_VERSION_READ, path, found ? version : "");
}

int ReadFileVersion(const char* file, char* version, char* scratch) {
    CopyCut(scratch, "");
    DWORD attributes = file && *file ? GetFileAttributesA(file) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CopyCut(version, host_rules::kNoFileVersion);
        return 0;
    }
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (size == 0 || !GetFileVersionInfoA(file, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof *fixed) {
        CopyCut(version, host_rules::kNoVersionResource);
        return 0;
    }
    if (version)
        host_rules::FormatVersionText(version, CORVANE_TEXT_SIZE, HIWORD(fixed->dwFileVersionMS),
                          LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                          LOWORD(fixed->dwFileVersionLS));
    CopyCut(scratch, VersionString(block));
    return 1;
}

}  // namespace

int GetFileVersion(const char* file, char* version, char* scratch) {
    char own[CORVANE_TEXT_SIZE];
    char* text = version ? version : own;
    int found = ReadFileVersion(file, text, scratch);
    LogVersion(file, text, found != 0);
    return found;
}
