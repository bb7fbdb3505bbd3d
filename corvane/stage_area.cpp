#include "stage_area.h"

#include <windows.h>

#include <cwchar>

#include "file_system.h"

std::wstring ProcessMark() {
    wchar_t pid[12];
    std::swprintf(pid, 12, L"%lx", static_cast<unsigned long>(GetCurrentProcessId()));
    return kStagePrefix + std::wstring(pid);
}

std::wstring StageFolderOf(const std::wstring& destination) {
    return destination + ProcessMark() + L"\\";
}

std::map<std::wstring, StageArea>& MadeStages() {
    static std::map<std::wstring, StageArea> made;
    return made;
}

void RemoveCabinetStages() {
    for (const auto& [top, area] : MadeStages()) {
        for (const std::wstring& spare : area.spare) Fs().removeDirectory(LongPath(spare).c_str());
        Fs().removeDirectory(LongPath(top).c_str());
    }
    MadeStages().clear();
}
