#include "commit_journal.h"

#include <windows.h>

#include <cwchar>
#include <set>

#include "cabinet_names.h"
#include "file_system.h"

namespace {

constexpr char kFirstLine[] = "KORDALIN-COMMIT-JOURNAL 2";
// The journal of an earlier build, whose targets are full paths.
constexpr char kFullPathsLine[] = "KORDALIN-COMMIT-JOURNAL 1";
constexpr char kLastLine[] = "END";

std::string Utf8(const std::wstring& text) { return Narrow(text, CP_UTF8); }

std::vector<std::wstring> Fields(const std::string& line) {
    std::vector<std::wstring> fields;
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
        fields.push_back(Widen(line.substr(from, tab - from).c_str(), CP_UTF8));
    fields.push_back(Widen(line.substr(from).c_str(), CP_UTF8));
    return fields;
}

// True when `path` names something below the folder it is joined to: the rule a cabinet's
// stored names are held to, which knows every way Windows lets a name climb.
bool StaysBelow(const std::wstring& path) {
    std::string relative;
    return CheckCabinetName(Utf8(path), relative).fault == NameFault::None;
}

// A target as a full path below `destination` (ends in a backslash); false, with `path`
// left alone, when it names anything else.
bool ResolveTarget(std::wstring& path, const std::wstring& destination, bool fullPath) {
    std::wstring within = path;
    if (fullPath) {
        if (path.size() <= destination.size() || UpperName(path.substr(0, destination.size())) != UpperName(destination))
            return false;
        within = path.substr(destination.size());
    }
    if (!StaysBelow(within)) return false;
    path = destination + within;
    return true;
}

// The journal with its targets as full paths below `destination`; false, at the first
// path that lies outside the destination or, within the staging folder, outside that.
bool Resolve(CommitJournal& journal, const std::wstring& destination) {
    for (CommitJournal::File& file : journal.files)
        if (!ResolveTarget(file.target, destination, journal.fullPaths) || !StaysBelow(file.staged) ||
            !StaysBelow(file.backup))
            return false;
    for (CommitJournal::Folder& folder : journal.folders)
        if (!ResolveTarget(folder.target, destination, journal.fullPaths) || !StaysBelow(folder.staged)) return false;
    for (std::wstring& folder : journal.made)
        if (!ResolveTarget(folder, destination, journal.fullPaths)) return false;
    return true;
}

bool Move(const std::wstring& from, const std::wstring& to) {
    return Fs().move(LongPath(from).c_str(), LongPath(to).c_str(), 0) != FALSE;
}

// True when neither `path` nor a folder between `base` (ends in a backslash) and it is a
// link or another reparse point, as far as they are there; else false, with the first
// such one in `link`. `plain` remembers the folders found plain, each looked at once.
bool NoLinkOnTheWay(const std::wstring& base, const std::wstring& path, std::set<std::wstring>& plain,
                    std::wstring& link) {
    for (std::size_t end = path.find(L'\\', base.size());; end = path.find(L'\\', end + 1)) {
        std::wstring part = path.substr(0, end);
        if (!plain.count(part)) {
            DWORD attributes = Fs().attributes(LongPath(part).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing there to follow
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                link = part;
                return false;
            }
            plain.insert(part);
        }
        if (end == std::wstring::npos) return true;
    }
}

// True when no path of the resolved journal, nor its staging folder `stage` (ends in a
// backslash), goes through a link; else false, with the first link met in `link`.
bool NothingLinked(const CommitJournal& journal, const std::wstring& destination, const std::wstring& stage,
                   std::wstring& link) {
    std::set<std::wstring> plain;
    if (!NoLinkOnTheWay(destination, stage.substr(0, stage.size() - 1), plain, link)) return false;
    for (const CommitJournal::File& file : journal.files)
        if (!NoLinkOnTheWay(destination, file.target, plain, link) ||
            !NoLinkOnTheWay(stage, stage + file.staged, plain, link) || !NoLinkOnTheWay(stage, stage + file.backup, plain, link))
            return false;
    for (const CommitJournal::Folder& folder : journal.folders)
        if (!NoLinkOnTheWay(destination, folder.target, plain, link) ||
            !NoLinkOnTheWay(stage, stage + folder.staged, plain, link))
            return false;
    for (const std::wstring& folder : journal.made)
        if (!NoLinkOnTheWay(destination, folder, plain, link)) return false;
    return true;
}

}  // namespace

DWORD CommitJournal::Write(const std::wstring& path) const {
    std::string text = std::string(kFirstLine) + "\n";
    for (const File& file : files)
        text += "F\t" + Utf8(file.target) + "\t" + Utf8(file.staged) + "\t" + Utf8(file.backup) + "\n";
    for (const Folder& folder : folders)
        text += "D\t" + Utf8(folder.target) + "\t" + Utf8(folder.staged) + "\t" + std::to_string(folder.identity) + "\n";
    for (const std::wstring& folder : made) text += "M\t" + Utf8(folder) + "\n";
    text += "S\t" + std::to_string(stage) + "\n";
    text += std::string(kLastLine) + "\n";
    DWORD error = 0;
    {
        FsHandle journal(Fs().create(LongPath(path).c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
        if (!journal.Valid()) return GetLastError();
        DWORD written = 0;
        if (!Fs().write(journal.Get(), text.data(), static_cast<DWORD>(text.size()), &written)) error = GetLastError();
        else if (written != text.size()) error = ERROR_DISK_FULL;  // a write cut short: the disk filled
        else if (!Fs().flush(journal.Get()) || !journal.Close()) error = GetLastError();
    }
    // The reason is taken before the removal, whose own result would replace it.
    if (error) Fs().remove(LongPath(path).c_str());
    return error;
}

CommitJournal::Reading CommitJournal::Read(const std::wstring& path, CommitJournal& journal) {
    std::string text;
    {
        FsHandle file(Fs().create(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
        if (!file.Valid()) return Reading::Unreadable;
        char chunk[4096];
        for (DWORD got = 1; got > 0; text.append(chunk, got))
            if (!Fs().read(file.Get(), chunk, sizeof chunk, &got)) return Reading::Unreadable;
    }
    journal = CommitJournal();
    std::size_t from = 0;
    bool first = true, ended = false;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        std::string line = text.substr(from, end - from);
        if (first) {
            if (line != kFirstLine && line != kFullPathsLine) return Reading::CutShort;
            journal.fullPaths = line == kFullPathsLine;
            first = false;
            continue;
        }
        std::vector<std::wstring> fields = Fields(line);
        if (line == kLastLine) ended = true;
        else if (line[0] == 'F' && fields.size() == 4) journal.files.push_back({fields[1], fields[2], fields[3]});
        else if (line[0] == 'D' && fields.size() == 4)
            journal.folders.push_back({fields[1], fields[2], std::wcstoull(fields[3].c_str(), nullptr, 10)});
        else if (line[0] == 'M' && fields.size() == 2) journal.made.push_back(fields[1]);
        else if (line[0] == 'S' && fields.size() == 2) journal.stage = std::wcstoull(fields[1].c_str(), nullptr, 10);
        else return Reading::CutShort;
    }
    return ended ? Reading::Whole : Reading::CutShort;
}

bool CommitJournal::RollBack(const std::wstring& stageFolder, RollBackReport& report) const {
    report = RollBackReport();
    auto untrusted = [&report](const std::string& why) {
        report.trusted = false;
        report.why = {why + "; nothing of it was touched", {CORVANE_REASON_UNSETTLED}};
        return false;
    };
    unsigned long long here = 0;
    if (!Fs().identity(LongPath(stageFolder).c_str(), &here) || here != stage)
        return untrusted("the folder was copied or moved since that setup stopped, so its commit cannot be told apart");
    std::wstring destination = stageFolder.substr(0, stageFolder.find_last_of(L'\\') + 1);
    CommitJournal resolved = *this;
    if (!Resolve(resolved, destination))
        return untrusted("its journal names a path outside " + Narrow(destination) + " or its staging folder, which no "
                         "commit does");
    std::wstring stage = stageFolder + L"\\", link;
    if (!NothingLinked(resolved, destination, stage, link))
        return untrusted("its journal names a path through " + Narrow(link) + ", a link or other reparse point, which "
                         "no commit does");
    auto fail = [&report](const std::wstring& what, DWORD error) {
        if (!report.why) report.why = SystemFailure(error, Narrow(what) + ": ");
    };
    for (const File& file : resolved.files) {
        std::wstring staged = stage + file.staged, backup = stage + file.backup;
        bool moved = false;
        // Gone from the stage, the new file is in the content: it goes back.
        if (!Exists(staged) && Exists(file.target)) {
            MakeFolders(staged, stage.size());  // a journal of an earlier build may name a folder gone since
            if (!Move(file.target, staged)) {
                fail(file.target, GetLastError());
                continue;
            }
            moved = true;
        }
        if (Exists(backup)) {  // the old file was set aside: it goes back to its place
            if (Exists(file.target)) fail(file.target, ERROR_ALREADY_EXISTS);
            else if (!Move(backup, file.target)) fail(file.target, GetLastError());
            else moved = true;
        }
        report.undone += moved;
    }
    for (const Folder& folder : resolved.folders) {
        unsigned long long identity = 0;
        if (Exists(stage + folder.staged) || !Exists(folder.target)) continue;
        // Only the very folder that arrived goes back: one put in its place since is not ours.
        if (!Fs().identity(LongPath(folder.target).c_str(), &identity) || identity != folder.identity) continue;
        if (!Move(folder.target, stage + folder.staged)) fail(folder.target, GetLastError());
        else ++report.undone;
    }
    for (auto folder = resolved.made.rbegin(); folder != resolved.made.rend(); ++folder)
        Fs().removeDirectory(LongPath(*folder).c_str());
    return !report.why;
}
