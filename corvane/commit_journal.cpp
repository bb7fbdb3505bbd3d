#include "commit_journal.h"

#include <windows.h>

#include <cwchar>

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

bool Exists(const std::wstring& path) {
    return Fs().attributes(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
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

std::string Failed(const std::wstring& what, DWORD error) {
    return Narrow(what) + ": " + ErrorText(error);
}

}  // namespace

bool CommitJournal::Write(const std::wstring& path) const {
    std::string text = std::string(kFirstLine) + "\n";
    for (const File& file : files)
        text += "F\t" + Utf8(file.target) + "\t" + Utf8(file.staged) + "\t" + Utf8(file.backup) + "\n";
    for (const Folder& folder : folders)
        text += "D\t" + Utf8(folder.target) + "\t" + Utf8(folder.staged) + "\t" + std::to_string(folder.identity) + "\n";
    for (const std::wstring& folder : made) text += "M\t" + Utf8(folder) + "\n";
    text += "S\t" + std::to_string(stage) + "\n";
    text += std::string(kLastLine) + "\n";
    bool whole;
    {
        FsHandle journal(Fs().create(LongPath(path).c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
        if (!journal.Valid()) return false;
        DWORD written = 0;
        whole = Fs().write(journal.Get(), text.data(), static_cast<DWORD>(text.size()), &written) &&
                written == text.size() && Fs().flush(journal.Get()) && journal.Close();
    }
    if (!whole) Fs().remove(LongPath(path).c_str());
    return whole;
}

bool CommitJournal::Read(const std::wstring& path, CommitJournal& journal) {
    std::string text;
    {
        FsHandle file(Fs().create(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
        if (!file.Valid()) return false;
        char chunk[4096];
        DWORD got = 0;
        while (Fs().read(file.Get(), chunk, sizeof chunk, &got) && got > 0) text.append(chunk, got);
    }
    journal = CommitJournal();
    std::size_t from = 0;
    bool first = true, ended = false;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        std::string line = text.substr(from, end - from);
        if (first) {
            if (line != kFirstLine && line != kFullPathsLine) return false;
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
        else return false;
    }
    return ended;
}

bool CommitJournal::RollBack(const std::wstring& stageFolder, std::string& why) const {
    why.clear();
    unsigned long long here = 0;
    if (!Fs().identity(LongPath(stageFolder).c_str(), &here) || here != stage) {
        why = "the folder was copied or moved since that setup stopped, so its commit cannot be told apart; "
              "nothing of it was touched";
        return false;
    }
    std::wstring destination = stageFolder.substr(0, stageFolder.find_last_of(L'\\') + 1);
    CommitJournal resolved = *this;
    if (!Resolve(resolved, destination)) {
        why = "its journal names a path outside " + Narrow(destination) + " or its staging folder, which no commit "
              "does; nothing of it was touched";
        return false;
    }
    auto fail = [&why](const std::string& what) {
        if (why.empty()) why = what;
    };
    std::wstring stage = stageFolder + L"\\";
    for (const File& file : resolved.files) {
        if (Exists(stage + file.backup)) {
            // The old file was set aside: whatever came in its place goes, the old one back.
            if (Exists(file.target) && !DeleteEvenReadOnly(file.target)) fail(Failed(file.target, GetLastError()));
            else if (!Fs().move(LongPath(stage + file.backup).c_str(), LongPath(file.target).c_str(), 0))
                fail(Failed(file.target, GetLastError()));
        } else if (!Exists(stage + file.staged) && Exists(file.target) && !DeleteEvenReadOnly(file.target)) {
            fail(Failed(file.target, GetLastError()));  // it came in new: it goes
        }
    }
    for (const Folder& folder : resolved.folders) {
        unsigned long long identity = 0;
        if (Exists(stage + folder.staged) || !Exists(folder.target)) continue;
        // Only the very folder that arrived goes back: one put in its place since is not ours.
        if (!Fs().identity(LongPath(folder.target).c_str(), &identity) || identity != folder.identity) continue;
        if (!Fs().move(LongPath(folder.target).c_str(), LongPath(stage + folder.staged).c_str(), 0))
            fail(Failed(folder.target, GetLastError()));
    }
    for (auto folder = resolved.made.rbegin(); folder != resolved.made.rend(); ++folder)
        Fs().removeDirectory(LongPath(*folder).c_str());
    return why.empty();
}
