#include "cabinet_stage.h"

#include <cwchar>
#include <set>
#include <utility>

#include "commit_journal.h"
#include "file_system.h"
#include "host/corvane.h"
#include "log_phrases.h"
#include "run_log.h"
#include "stage_area.h"
#include "two_at_a_time.h"

namespace {

// How many staged files may stay open for the commit at once.
constexpr std::size_t kMostKeptOpen = 1024;

// `path` named within `folder` (ends in a backslash), which holds it.
std::wstring Within(const std::wstring& folder, const std::wstring& path) {
    return path.substr(folder.size());
}

std::wstring FolderPart(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Makes the staging subfolder `stage`, and the staging folder again when it was removed
// with its tree since it was made.
void MakeStageFolder(const std::wstring& top, const std::wstring& stage) {
    if (!Fs().makeDirectory(LongPath(stage).c_str()) && GetLastError() == ERROR_PATH_NOT_FOUND) {
        Fs().makeDirectory(LongPath(top).c_str());
        Fs().makeDirectory(LongPath(stage).c_str());
    }
}

}  // namespace

CabinetStage::CabinetStage(const std::wstring& destination)
    : destination_(destination), folder_(StageFolderOf(destination)), area_(OpenStage(destination)) {
    if (!area_) unusable_ = GetLastError();
}

CabinetStage::~CabinetStage() {
    Discard();
}

CabinetStage::Folder& CabinetStage::FolderOf(const std::wstring& targetFolder) {
    Folder& folder = folders_[targetFolder];
    if (!folder.stage.empty()) return folder;
    order_.push_back(targetFolder);
    StageArea& area = *area_;
    if (!area.spare.empty()) {
        folder.stage = area.spare.back();
        area.spare.pop_back();
        return folder;
    }
    folder.stage = folder_ + Numbered(L"", area.named++) + L"\\";
    MakeStageFolder(folder_, folder.stage);
    return folder;
}

HANDLE CabinetStage::Create(const std::wstring& target, DWORD attributes) {
    std::wstring folderPath = FolderPart(target);
    Folder& folder = FolderOf(folderPath);
    File file{target.substr(folderPath.size()), target};
    std::wstring key = UpperName(file.name);
    auto earlier = folder.staged.find(key);
    if (earlier != folder.staged.end()) {
        // The same name again: the later file wins, as it would on disk.
        DeleteEvenReadOnly(folder.stage + files_[earlier->second].name);
    }
    // A file for a folder that is there already is renamed through its handle, kept open
    // from here to the commit (up to a bound, for the process's sake).
    if (!folder.probed) {
        DWORD there = Fs().attributes(WithoutSlash(folderPath).c_str());
        folder.exists = there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY);
        folder.probed = true;  // a rename into it at the commit fails if it went since
    }
    file.keep = folder.exists && keptOpen_ < kMostKeptOpen;
    // Created with its final attributes, so that nothing needs setting after the move.
    DWORD access = GENERIC_WRITE | (file.keep ? DELETE : 0), flags = attributes | FILE_FLAG_SEQUENTIAL_SCAN;
    std::wstring staged = LongPath(folder.stage + file.name);
    HANDLE handle = Fs().create(staged.c_str(), access, 0, CREATE_ALWAYS, flags);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
        MakeStageFolder(folder_, folder.stage);  // a spare subfolder removed since its cabinet
        handle = Fs().create(staged.c_str(), access, 0, CREATE_ALWAYS, flags);
    }
    if (handle == INVALID_HANDLE_VALUE) return handle;
    folder.staged[key] = files_.size();
    files_.push_back(file);
    return handle;
}

void CabinetStage::Written(HANDLE handle, const std::string& name) {
    bool keep = !files_.empty() && files_.back().keep;
    if (keep) {
        files_.back().handle = handle;
        ++keptOpen_;
    }
    flushes_.Add(handle, keep, name);
}

// Moves a staged file to `to`: through its kept handle, or by its path.
bool CabinetStage::MoveStaged(File& file, const std::wstring& staged, const std::wstring& to) {
    if (file.handle != INVALID_HANDLE_VALUE) return Fs().rename(file.handle, to.c_str()) != FALSE;
    return Fs().move(LongPath(staged).c_str(), to.c_str(), 0) != FALSE;
}

bool CabinetStage::Fail(const std::wstring& target, DWORD error, Outcome& outcome, const std::string& about) {
    outcome.failedTarget = target;
    outcome.why = SystemFailure(error, about);
    return false;
}

bool CabinetStage::InTheWay(const std::wstring& target, const char* what, Outcome& outcome) {
    Fail(target, ERROR_ALREADY_EXISTS, outcome);
    outcome.why.text = std::string("a ") + what + " of that name is in the way";
    return false;
}

// Makes every missing folder above `folder` (which ends in a backslash), each looked at
// once; the folders made are removed again when the commit is undone.
bool CabinetStage::MakeFoldersAbove(const std::wstring& folder, Outcome& outcome) {
    for (std::size_t at = folder.find(L'\\', destination_.size()); at != std::wstring::npos && at + 1 < folder.size();
         at = folder.find(L'\\', at + 1)) {
        std::wstring level = folder.substr(0, at);
        Folder& known = folders_[level + L"\\"];
        if (known.exists) continue;
        if (Fs().makeDirectory(level.c_str())) {
            undo_.push_back([level] { return Fs().removeDirectory(level.c_str()) != FALSE; });
            known.exists = true;
            continue;
        }
        DWORD error = GetLastError();
        DWORD attributes = Fs().attributes(level.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(level, error, outcome);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return InTheWay(level, "file", outcome);
        known.exists = true;
    }
    return true;
}

// A target folder that is not there yet receives its staging subfolder whole, in one
// move; into one that is there, the files go one by one.
bool CabinetStage::CommitFolder(const std::wstring& path, Folder& folder, Outcome& outcome) {
    if (!MakeFoldersAbove(path, outcome)) return false;
    if (folder.arrivesWhole) {
        if (!Fs().move(LongPath(WithoutSlash(folder.stage)).c_str(), WithoutSlash(path).c_str(), 0))
            return Fail(WithoutSlash(path), GetLastError(), outcome);
        std::vector<std::size_t> moved;
        for (const auto& entry : folder.staged) moved.push_back(entry.second);
        for (std::size_t i : moved) files_[i].placed = true;
        folder.movedWhole = true;
        undo_.push_back([this, path, &folder, moved] {
            if (!Fs().move(WithoutSlash(path).c_str(), LongPath(WithoutSlash(folder.stage)).c_str(), 0)) return false;
            for (std::size_t i : moved) files_[i].placed = false;
            folder.movedWhole = false;
            return true;
        });
        folder.exists = true;
        return true;
    }
    if (!folder.exists) {
        if (!(folder.planned & FILE_ATTRIBUTE_DIRECTORY))
            return InTheWay(WithoutSlash(path), "file", outcome);
        folder.exists = true;
    }
    for (const auto& entry : folder.staged)
        if (!PlaceFile(folder, files_[entry.second], outcome)) return false;
    return true;
}

// The plan of the commit, in its journal, flushed before anything moves: which target
// folders arrive whole (each with its identity) and which are made above them, and every
// file going into a folder that is there, with where its old file would be set aside.
bool CabinetStage::WriteJournal(Outcome& outcome) {
    CommitJournal journal;
    std::set<std::wstring> there;  // folders there, or made or arrived before they are needed
    for (const std::wstring& path : order_) {
        PlanFoldersAbove(path, there, journal);
        Folder& folder = folders_[path];
        if (!folder.exists && !there.count(path)) {
            folder.planned = Fs().attributes(WithoutSlash(path).c_str());
            folder.arrivesWhole = folder.planned == INVALID_FILE_ATTRIBUTES;
        }
        there.insert(path);
        if (folder.arrivesWhole) {
            unsigned long long identity = 0;
            if (!Fs().identity(LongPath(WithoutSlash(folder.stage)).c_str(), &identity))
                return StageUnknown(outcome);
            journal.folders.push_back(
                {Within(destination_, WithoutSlash(path)), Within(folder_, WithoutSlash(folder.stage)), identity});
            continue;
        }
        for (const auto& entry : folder.staged) {
            const File& file = files_[entry.second];
            journal.files.push_back({Within(destination_, file.target), Within(folder_, folder.stage + file.name),
                                     Within(folder_, SetAsideFolderOf(folder.stage) + file.name)});
        }
    }
    if (!Fs().identity(LongPath(WithoutSlash(folder_)).c_str(), &journal.stage))
        return StageUnknown(outcome);
    journal_ = folder_ + Numbered(kJournalName, area_->commits++);
    DWORD error = journal.Write(journal_);
    if (!error) return true;
    return Fail(L"", error, outcome, "cannot write the commit's journal: ");
}

// The folders above target folder `path` that are not there yet: the commit makes them,
// and a rollback removes them again. `there` holds the folders already planned.
void CabinetStage::PlanFoldersAbove(const std::wstring& path, std::set<std::wstring>& there,
                                    CommitJournal& journal) {
    for (std::size_t at = path.find(L'\\', destination_.size()); at != std::wstring::npos && at + 1 < path.size();
         at = path.find(L'\\', at + 1)) {
        std::wstring level = path.substr(0, at + 1);
        if (folders_[level].exists || !there.insert(level).second) continue;
        if (Fs().attributes(WithoutSlash(level).c_str()) == INVALID_FILE_ATTRIBUTES)
            journal.made.push_back(Within(destination_, WithoutSlash(level)));
    }
}

// The identity of a folder of the stage could not be read: the journal could not tell
// the folder apart after a move, so the commit does not begin.
bool CabinetStage::StageUnknown(Outcome& outcome) {
    return Fail(L"", GetLastError(), outcome, "cannot read what the staging folder is: ");
}

bool CabinetStage::EndJournal() {
    return Fs().remove(LongPath(journal_).c_str()) != FALSE;
}

// Moves a staged file into its existing target folder, unless it was renamed there ahead
// with the others. Most targets are new: the move alone tells whether something is in
// the way, so no folder is searched beforehand.
bool CabinetStage::PlaceFile(Folder& folder, File& file, Outcome& outcome) {
    if (file.placed) return true;
    std::wstring staged = folder.stage + file.name, target = file.target;
    DWORD error = file.aheadError;
    if (!error && MoveStaged(file, staged, target)) return NotePlaced(file, staged);
    if (!error) error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return Fail(target, error, outcome);
    // An old file: set it aside (to be put back if the commit is undone), then move in.
    DWORD attributes = Fs().attributes(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return InTheWay(target, "folder", outcome);
    std::wstring backups = SetAsideFolderOf(folder.stage), backup = backups + file.name;
    if (!folder.backups) folder.backups = Fs().makeDirectory(LongPath(backups).c_str()) != FALSE;
    if (!Fs().move(target.c_str(), LongPath(backup).c_str(), 0)) return Fail(target, GetLastError(), outcome);
    undo_.push_back([target, backup] { return Fs().move(LongPath(backup).c_str(), target.c_str(), 0) != FALSE; });
    backups_.push_back(backup);
    if (!MoveStaged(file, staged, target)) return Fail(target, GetLastError(), outcome);
    return NotePlaced(file, staged);
}

// Records a file moved into its target, and how to move it back to `staged`.
bool CabinetStage::NotePlaced(File& file, const std::wstring& staged) {
    std::size_t index = &file - files_.data();
    undo_.push_back([this, staged, index] {
        File& placed = files_[index];
        bool back = placed.handle != INVALID_HANDLE_VALUE ? Fs().rename(placed.handle, LongPath(staged).c_str()) != FALSE
                                                          : Fs().move(placed.target.c_str(), LongPath(staged).c_str(), 0) != FALSE;
        if (back) placed.placed = false;
        return back;
    });
    file.placed = true;
    return true;
}

// Renames every kept file of a folder that was there at staging into place, all in one
// batch; a file that could not go keeps the reason for PlaceFile, which sets an old file
// in the way aside and fails the commit on anything else.
void CabinetStage::RenameAheadIntoExistingFolders() {
    struct Ahead {
        File* file;
        std::wstring staged;  // the path it was staged at
        DWORD error;
    };
    std::vector<Ahead> ahead;
    for (const std::wstring& path : order_) {
        const Folder& folder = folders_[path];
        if (!folder.exists) continue;
        for (const auto& entry : folder.staged) {
            File& file = files_[entry.second];
            if (file.handle != INVALID_HANDLE_VALUE) ahead.push_back({&file, folder.stage + file.name, 0});
        }
    }
    TwoAtATime(ahead.size(), [&ahead](std::size_t i) {
        Ahead& one = ahead[i];
        one.error = Fs().rename(one.file->handle, one.file->target.c_str()) ? 0 : GetLastError();
    });
    for (Ahead& one : ahead) {
        if (one.error) one.file->aheadError = one.error;
        else NotePlaced(*one.file, one.staged);
    }
}

CabinetStage::Outcome CabinetStage::Commit() {
    Outcome outcome;
    FlushQueue::Failure unflushed;
    if (!flushes_.Wait(unflushed)) {  // nothing may be named in the content before it is on the disk
        Fail(L"", unflushed.error, outcome, log_phrase::kCannotWrite + unflushed.name + ": ");
        Discard();
        return outcome;
    }
    if (!WriteJournal(outcome)) {  // nothing moved
        Discard();
        return outcome;
    }
    RenameAheadIntoExistingFolders();
    bool complete = true;
    for (const std::wstring& path : order_)
        if (!CommitFolder(path, folders_[path], outcome)) {
            complete = false;
            break;
        }
    // Complete only once the journal is gone: one left behind would have the commit rolled
    // back by whoever finds it, so a journal that cannot go undoes the commit now.
    if (complete && !EndJournal())
        complete = Fail(L"", GetLastError(), outcome, "cannot end the commit's journal: ");
    if (!complete) {
        for (auto step = undo_.rbegin(); step != undo_.rend(); ++step)
            if (!(*step)()) outcome.restored = false;
        undo_.clear();
        backups_.clear();  // moved back, or (when that failed) kept for the journal's rollback
        // A journal left after a whole undo names nothing left to undo; after a partial
        // one, what it names stays for its rollback.
        Discard(!(outcome.restored && EndJournal()));
        return outcome;
    }
    for (const std::wstring& backup : backups_) DeleteEvenReadOnly(backup);
    undo_.clear();
    backups_.clear();
    outcome.committed = true;
    Discard();
    return outcome;
}

// Removes what was staged and not placed. A staging subfolder left empty is kept for
// the next cabinet of the run; one that could not be emptied is not used again. With
// `keepStaged` (a journal still names them) everything staged and set aside stays.
void CabinetStage::Discard(bool keepStaged) {
    FlushQueue::Failure ignored;  // the helpers let go of every file first
    flushes_.Wait(ignored);
    TwoAtATime(files_.size(), [this](std::size_t i) {
        if (files_[i].handle != INVALID_HANDLE_VALUE) Fs().close(files_[i].handle);
    });
    keptOpen_ = 0;
    if (!area_) return;
    StageArea& area = *area_;
    for (const std::wstring& path : keepStaged ? std::vector<std::wstring>() : order_) {
        const Folder& folder = folders_[path];
        if (folder.movedWhole) continue;  // it is a folder of the content now
        bool empty = true;
        for (const auto& entry : folder.staged) {
            const File& file = files_[entry.second];
            if (!file.placed && !DeleteEvenReadOnly(folder.stage + file.name)) empty = false;
        }
        if (folder.backups && !Fs().removeDirectory(LongPath(SetAsideFolderOf(folder.stage)).c_str())) empty = false;
        if (empty) area.spare.push_back(folder.stage);
        else Fs().removeDirectory(LongPath(folder.stage).c_str());
    }
    files_.clear();
    folders_.clear();
    order_.clear();
}
