// InstallCab: MS-CAB extraction through the platform's FDI interface with our own
// callbacks. A first pass checks every stored name before anything is written (a cabinet
// with one unsafe name writes nothing). The second pass writes each file into a staging
// folder and checks it against the size the cabinet records: FDI does not look at what
// the write callback returns everywhere (Wine's goes on after a failed write), so a short
// or failed write is noticed here and fails the cabinet. Only a cabinet read whole is
// committed, all or nothing (cabinet_stage.h). Every file operation goes through the
// host's file-system table.
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>
#include <string>

#include "cabinet_names.h"
#include "cabinet_stage.h"
#include "file_system.h"
#include "host/corvane.h"
#include "leftovers.h"
#include "log_phrases.h"
#include "run_log.h"
#include "run_mode.h"
#include "run_record.h"
#include "stage_area.h"

namespace {

struct Extraction {
    std::string cabinet;        // as the caller named it
    std::wstring destination;   // full path, ends in a backslash
    bool secondPass = false;    // the first pass checks names only
    std::unique_ptr<CabinetStage> stage;  // where the second pass writes
    unsigned total = 0;         // the files the cabinet holds (counted by the first pass)
    HANDLE output = INVALID_HANDLE_VALUE;
    std::string outputName;     // the stored name of the file being written
    unsigned long expected = 0; // its size as the cabinet records it
    unsigned long written = 0;  // what was written of it so far
    std::string refusedName;    // the first stored name that may not be written
    NameCheck refusal;          // what is wrong with it
    std::string overlongName;   // the first stored name whose path would be too long
    Failure writeFailure;       // the first file that could not be written whole, and why
    std::string shortData;      // the first file the cabinet gave less data for than it records
    Failure readFailure;        // why the cabinet could not be read, when a read failed
    DWORD openError = 0;        // why the cabinet could not be opened, when that failed
    std::size_t files = 0;
    unsigned long long bytes = 0;
    bool empty = false;         // read whole, and no file in it: damaged
};

Extraction* active = nullptr;  // FDI's file callbacks carry no context of their own

FNALLOC(Allocate) { return std::malloc(cb); }
FNFREE(Release) { std::free(pv); }

FNOPEN(OpenCabinet) {
    (void)pmode;
    if (oflag & (_O_WRONLY | _O_RDWR | _O_CREAT)) return -1;  // FDI only ever reads here
    HANDLE file = Fs().create(Widen(pszFile).c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN);
    if (file != INVALID_HANDLE_VALUE) return reinterpret_cast<INT_PTR>(file);
    if (active) active->openError = GetLastError();
    return -1;
}

// FDI does not look at a failed read everywhere either (Wine's then goes on with what
// the buffer held, names included), so a failed read or seek fails the cabinet here.
void NoteReadFailure() {
    if (active && !active->readFailure) active->readFailure = SystemFailure(GetLastError(), log_phrase::kCannotRead);
}

FNREAD(ReadCallback) {
    DWORD done = 0;
    if (Fs().read(reinterpret_cast<HANDLE>(hf), pv, cb, &done)) return done;
    NoteReadFailure();
    return static_cast<UINT>(-1);
}

void NoteWriteFailure(Extraction& run, DWORD error, const std::string& about = "") {
    if (!run.writeFailure) run.writeFailure = SystemFailure(error, log_phrase::kCannotWrite + run.outputName + ": " + about);
}

FNWRITE(WriteCallback) {
    DWORD done = 0;
    BOOL ok = Fs().write(reinterpret_cast<HANDLE>(hf), pv, cb, &done);
    if (active && reinterpret_cast<HANDLE>(hf) == active->output) {
        active->written += done;
        if (!ok || done != cb) NoteWriteFailure(*active, ok ? ERROR_DISK_FULL : GetLastError());
    }
    return ok && done == cb ? done : static_cast<UINT>(-1);
}

FNCLOSE(CloseCallback) {
    if (active && reinterpret_cast<HANDLE>(hf) == active->output) active->output = INVALID_HANDLE_VALUE;
    return Fs().close(reinterpret_cast<HANDLE>(hf)) ? 0 : -1;
}

FNSEEK(SeekCallback) {
    DWORD method = seektype == SEEK_CUR ? FILE_CURRENT : seektype == SEEK_END ? FILE_END : FILE_BEGIN;
    DWORD at = Fs().seek(reinterpret_cast<HANDLE>(hf), dist, method);
    if (at != INVALID_SET_FILE_POINTER) return static_cast<long>(at);
    NoteReadFailure();
    return -1;
}

// Where a stored name goes, or "" (with the reason noted) when it must not be written.
std::wstring TargetOf(Extraction& run, const FDINOTIFICATION* note) {
    const char* stored = note->psz1 ? note->psz1 : "";
    std::string relative;
    NameCheck check = CheckCabinetName(stored, relative);
    std::wstring name;
    if (check.fault == NameFault::None) {
        name = Widen(relative.c_str(), (note->attribs & _A_NAME_IS_UTF) ? CP_UTF8 : CP_ACP);
        if (name.empty()) check.fault = NameFault::NotText;
    }
    if (check.fault != NameFault::None) {
        run.refusedName = stored;
        run.refusal = check;
        return L"";
    }
    std::wstring target = run.destination + name;
    if (target.size() >= MAX_PATH) {
        run.overlongName = stored;
        return L"";
    }
    return target;
}

INT_PTR StartFile(Extraction& run, const FDINOTIFICATION* note) {
    std::wstring target = TargetOf(run, note);
    if (target.empty()) return -1;
    if (!run.secondPass) {  // first pass: names only, skip the data
        ++run.total;
        return 0;
    }
    run.outputName = note->psz1;
    run.expected = static_cast<unsigned long>(note->cb);
    run.written = 0;
    DWORD attributes = note->attribs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                        FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    run.output = run.stage->Create(target, attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
    if (run.output == INVALID_HANDLE_VALUE) {
        NoteWriteFailure(run, GetLastError());
        return -1;
    }
    return reinterpret_cast<INT_PTR>(run.output);
}

// A file counts as unpacked only when all of it was written and closed without error.
BOOL FinishFile(Extraction& run, const FDINOTIFICATION* note) {
    HANDLE file = reinterpret_cast<HANDLE>(note->hf);
    run.output = INVALID_HANDLE_VALUE;
    FILETIME local, stamp;
    if (DosDateTimeToFileTime(note->date, note->time, &local) && LocalFileTimeToFileTime(&local, &stamp) &&
        !Fs().setTimes(file, &stamp))
        NoteWriteFailure(run, GetLastError(), log_phrase::kCannotSetTime);
    // Flushed and closed off this thread: the commit waits until every file is on the disk.
    if (!run.writeFailure) run.stage->Written(file, run.outputName);
    else Fs().close(file);
    // Every write went through and the file is still short: the cabinet's data ended
    // early (a block that failed its checksum gives none), which is damage, not the disk.
    if (!run.writeFailure && run.written != run.expected && run.shortData.empty())
        run.shortData = run.outputName + log_phrase::kNotReadWhole + std::to_string(run.written) + " of " +
                        std::to_string(run.expected) + " bytes)";
    if (run.writeFailure || !run.shortData.empty()) return FALSE;
    ++run.files;
    run.bytes += run.written;
    ReportProgress(run.cabinet.c_str(), static_cast<unsigned>(run.files), run.total);
    return TRUE;
}

FNFDINOTIFY(Notify) {
    Extraction& run = *static_cast<Extraction*>(pfdin->pv);
    switch (fdint) {
        case fdintCOPY_FILE:
            return StartFile(run, pfdin);
        case fdintCLOSE_FILE_INFO:
            return FinishFile(run, pfdin);
        case fdintPARTIAL_FILE:  // files continued from another cabinet: not supported
        case fdintNEXT_CABINET:
            return -1;
        default:
            return 0;
    }
}

bool RunPass(HFDI fdi, std::string& name, std::string& folder, Extraction& run, ERF& error) {
    error = ERF{};
    active = &run;
    BOOL copied = FDICopy(fdi, &name[0], &folder[0], 0, Notify, nullptr, &run);
    active = nullptr;
    if (run.output != INVALID_HANDLE_VALUE) Fs().close(run.output);  // a file cut short
    run.output = INVALID_HANDLE_VALUE;
    return copied && run.refusedName.empty() && run.overlongName.empty() && !run.writeFailure &&
           run.shortData.empty() && !run.readFailure;
}

const char* FdiReason(const ERF& error) {
    switch (error.erfOper) {
        case FDIERROR_CABINET_NOT_FOUND: return "cannot open the cabinet";
        case FDIERROR_NOT_A_CABINET: return "not a cabinet";
        case FDIERROR_UNKNOWN_CABINET_VERSION: return "unknown cabinet version";
        case FDIERROR_CORRUPT_CABINET: return "damaged cabinet";
        case FDIERROR_BAD_COMPR_TYPE: return "unknown compression";
        case FDIERROR_MDI_FAIL: return "damaged compressed data";
        case FDIERROR_TARGET_FILE: return "cannot write a file";
        case FDIERROR_USER_ABORT: return "cannot write a file, or a file continues in another cabinet";
        default: return "cannot read the cabinet";
    }
}

// What is wrong with a refused name, as the log says it.
std::string Refusal(const std::string& name, const NameCheck& check, const char* destination) {
    std::string refused = log_phrase::kRefused + ("the name '" + name + "' ");
    char shown[8];
    switch (check.fault) {
        case NameFault::Escapes: return refused + "would be written outside " + destination;
        case NameFault::Device: return refused + "is a device on Windows; nothing written";
        case NameFault::Character:
            std::snprintf(shown, sizeof shown, check.character < 0x20 ? "0x%02X" : "'%c'", check.character);
            return refused + "holds a character Windows does not allow in a file name (" + shown + "); nothing written";
        case NameFault::NotText: return refused + "is not text in its code page; nothing written";
        case NameFault::WorkName:
            return refused + "has the form of the host's own work files (~ck...), which would be taken for what a "
                             "stopped setup left; nothing written";
        default: return refused + "is empty, has an empty part, or has a part ending in a dot or blank; nothing written";
    }
}

// Why a cabinet was not put in place, as the log and the run record say it.
Failure WhyNotUnpacked(const Extraction& run, const ERF& error, bool read, const CabinetStage::Outcome& commit,
                       const char* destination) {
    const Reason refused{CORVANE_REASON_REFUSED}, damaged{CORVANE_REASON_DAMAGED};
    if (!run.refusedName.empty()) return {Refusal(run.refusedName, run.refusal, destination), refused};
    if (run.empty) return {log_phrase::kHoldsNoFile, damaged};
    if (!run.overlongName.empty()) return {log_phrase::kRefused + ("the name '" + run.overlongName) + log_phrase::kTooLong, refused};
    if (run.readFailure) return run.readFailure;
    if (run.writeFailure) return run.writeFailure;
    if (!run.shortData.empty()) return {log_phrase::kDamaged + run.shortData, damaged};
    if (!read) return {FdiReason(error), error.erfOper == FDIERROR_CABINET_NOT_FOUND ? SystemReason(run.openError) : damaged};
    if (commit.failedTarget.empty()) return commit.why;
    return {log_phrase::kCannotReplace + Narrow(commit.failedTarget) + ": " + commit.why.text, commit.why.reason};
}

// The log's entry: what was unpacked, or why not and what that left in the content.
std::string LogValue(const Extraction& run, const Failure& why, const CabinetStage::Outcome& commit,
                     const char* destination) {
    if (commit.committed)
        return std::to_string(run.files) + (run.files == 1 ? log_phrase::kFile : log_phrase::kFiles) +
               Said().unpackedInto + destination + ", " + std::to_string(run.bytes) + " bytes";
    if (why.reason.code == CORVANE_REASON_REFUSED) return why.text;
    std::string value = Said().failedWith + why.text;
    return value + (commit.restored ? Said().nothingReplaced : log_phrase::kNotAllPutBack);
}

// Splits a cabinet path into FDI's folder (with its trailing separator) and file name.
bool SplitCabinetPath(const char* cabinet, std::string& folder, std::string& name) {
    std::string path = cabinet;
    std::size_t slash = path.find_last_of("\\/");
    folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return !name.empty();
}

std::wstring DestinationFolder(const char* destination) {
    wchar_t full[MAX_PATH];
    std::wstring wide = Widen(destination, CP_ACP);
    DWORD length = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH - 1) return L"";
    std::wstring folder(full, length);
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

}  // namespace

int InstallCab(const char* cabinet, const char* destination, int, int) {
    if (!cabinet || !*cabinet || !destination || !*destination) return 0;
    std::string folder, name;
    if (!SplitCabinetPath(cabinet, folder, name)) return 0;
    Extraction run;
    run.cabinet = cabinet;
    run.destination = DestinationFolder(destination);
    if (run.destination.empty()) return 0;
    if (Failure unsettled = SettleOnce(run.destination)) {
        LogEntry(log_phrase::kInstallCab,
                 std::string(cabinet) + ": " + Said().failedWith + unsettled.text + Said().nothingReplaced);
        RecordEvent(CORVANE_NOT_UNPACKED, cabinet, unsettled.text, 0, 0, 1, unsettled.reason);
        return 0;
    }

    ERF error{};
    HFDI fdi = FDICreate(Allocate, Release, OpenCabinet, ReadCallback, WriteCallback, CloseCallback,
                         SeekCallback, cpuUNKNOWN, &error);
    if (!fdi) return 0;
    bool read = RunPass(fdi, name, folder, run, error);
    // A package with no file would "unpack" into nothing and be taken for done.
    if (read && run.total == 0) {
        run.empty = true;
        read = false;
    }
    if (read) {
        run.secondPass = true;
        MakeFolders(run.destination, 3);
        run.stage = std::make_unique<CabinetStage>(run.destination);
        if (DWORD unusable = run.stage->Unusable()) run.writeFailure = SystemFailure(unusable, log_phrase::kCannotStage);
        read = !run.writeFailure && RunPass(fdi, name, folder, run, error);
    }
    FDIDestroy(fdi);
    CabinetStage::Outcome commit;
    if (read) commit = run.stage->Commit();
    run.stage.reset();  // a failed read discards what was staged
    Failure why = commit.committed ? Failure() : WhyNotUnpacked(run, error, read, commit, destination);
    LogEntry(log_phrase::kInstallCab, std::string(cabinet) + ": " + LogValue(run, why, commit, destination));
    if (commit.committed) RecordEvent(CORVANE_UNPACKED, cabinet, "", run.files, run.bytes);
    else RecordEvent(CORVANE_NOT_UNPACKED, cabinet, why.text, 0, 0, commit.restored, why.reason);
    return commit.committed ? 1 : 0;
}
