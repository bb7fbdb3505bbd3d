#include "leftovers.h"

#include <windows.h>

#include <cwchar>
#include <functional>
#include <iterator>
#include <map>

#include "commit_journal.h"
#include "file_system.h"
#include "log_phrases.h"
#include "run_log.h"
#include "run_mode.h"
#include "run_record.h"
#include "stage_area.h"

namespace {

constexpr std::size_t kStagePrefixLength = std::size(kStagePrefix) - 1;
constexpr std::size_t kJournalNameLength = std::size(kJournalName) - 1;
// A staging folder being settled: "~ck<settling process>.s", so that no two setups settle
// the same one, and one whose settler stopped too is settled again.
constexpr wchar_t kSettling[] = L".s";

bool ProcessAlive(DWORD pid) {
    SystemHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid), &CloseHandle);
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// Removes a staging folder and everything below it (a folder a rollback moved back may
// hold folders of its own), never following a link.
void ClearFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    {
        FsSearch search((LongPath(folder) + L"*").c_str(), entry);
        for (bool more = search.Found(); more; more = search.Next(entry)) {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            bool directory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            bool link = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            if (!directory) DeleteEvenReadOnly(folder + name);
            else if (!link) ClearFolder(folder + name + L"\\");
        }
    }
    Fs().removeDirectory(LongPath(folder).c_str());
}

// The process id in a leftover's name: "~ck<hex>" (or "~ck<hex>.s") for a staging
// folder, "NAME.~ck<hex>" for a copy under way; 0 when the name is neither.
DWORD LeftoverOwner(const WIN32_FIND_DATAW& entry) {
    std::wstring name = entry.cFileName;
    std::size_t mark = name.rfind(kStagePrefix);
    bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (mark == std::wstring::npos || (folder ? mark != 0 : mark == 0 || name[mark - 1] != L'.')) return 0;
    const wchar_t* digits = name.c_str() + mark + kStagePrefixLength;
    wchar_t* end = nullptr;
    unsigned long pid = std::wcstoul(digits, &end, 16);
    bool tail = *end == L'\0' || (folder && std::wcscmp(end, kSettling) == 0);
    return end != digits && tail ? pid : 0;
}

enum class Settled { Done, ByAnother, Kept };

// Rolls back the unfinished commits a staging folder's journals name, if any, then
// removes the folder. Kept, with the folder back under its own name and `why` said, when
// a commit could not be rolled back; ByAnother when another setup claimed it first.
Settled SettleStage(const std::wstring& folder, const std::wstring& name, std::string& why) {
    std::wstring claimed = folder + ProcessMark() + kSettling;
    if (!Fs().move(LongPath(folder + name).c_str(), LongPath(claimed).c_str(), 0)) return Settled::ByAnother;
    // Its journals, the last commit's first: each names what its commit changed.
    std::map<unsigned long, std::wstring, std::greater<unsigned long>> journals;
    WIN32_FIND_DATAW entry;
    {
        FsSearch search((LongPath(claimed) + L"\\" + kJournalName + L"*").c_str(), entry);
        for (bool more = search.Found(); more; more = search.Next(entry))
            journals[std::wcstoul(entry.cFileName + kJournalNameLength, nullptr, 16)] = claimed + L"\\" + entry.cFileName;
    }
    for (const auto& [number, path] : journals) {
        CommitJournal journal;
        if (CommitJournal::Read(path, journal) && !journal.RollBack(claimed, why)) {
            Fs().move(LongPath(claimed).c_str(), LongPath(folder + name).c_str(), 0);
            return Settled::Kept;
        }
    }
    ClearFolder(claimed + L"\\");
    return Settled::Done;
}

}  // namespace

bool SettleFolder(const std::wstring& folder) {
    if (DryRun()) return true;
    bool settled = true;
    WIN32_FIND_DATAW entry;
    FsSearch search((LongPath(folder) + L"*" + kStagePrefix + L"*").c_str(), entry);
    for (bool more = search.Found(); more; more = search.Next(entry)) {
        DWORD owner = LeftoverOwner(entry);
        bool mine = owner == GetCurrentProcessId();
        if (!owner || (mine && MadeStages().count(folder + entry.cFileName + L"\\")) || (!mine && ProcessAlive(owner)))
            continue;
        std::wstring path = folder + entry.cFileName;
        std::string why;
        Settled result = Settled::Done;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) result = SettleStage(folder, entry.cFileName, why);
        else DeleteEvenReadOnly(path);
        if (result == Settled::ByAnother) continue;
        bool done = result == Settled::Done;
        std::string outcome = done ? log_phrase::kLeftoverRemoved : log_phrase::kLeftoverKept + why + log_phrase::kTriedAgain;
        LogEntry(log_phrase::kClearLeftovers, Narrow(path) + outcome);
        RecordEvent(CORVANE_LEFTOVER, Narrow(path), why, 0, 0, done);
        settled = settled && done;
    }
    return settled;
}
