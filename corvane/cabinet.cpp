// InstallCab: MS-CAB extraction through the platform's FDI interface with our own
// callbacks. A first pass checks every stored name before anything is written (a cabinet
// with one unsafe name writes nothing). The second pass writes each file into a staging
// folder; the files are moved into place only when the whole cabinet was read without
// error, so a damaged cabinet replaces nothing and leaves no cut-off file.
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "cabinet_names.h"
#include "cabinet_stage.h"
#include "host/corvane.h"

namespace {

struct Extraction {
    std::wstring destination;   // full path, ends in a backslash
    std::unique_ptr<CabinetStage> stage;  // null in the first pass: check names only
    HANDLE output = INVALID_HANDLE_VALUE;
    std::string refusedName;    // the first stored name that may not be written
    std::string overlongName;   // the first stored name whose path would be too long
    std::size_t files = 0;
};

Extraction* active = nullptr;  // FDI's file callbacks carry no context of their own

std::wstring Widen(const char* text, UINT codePage) {
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) return L"";
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length);
    wide.pop_back();
    return wide;
}

void CreateParents(const std::wstring& path, std::size_t from) {
    for (std::size_t at = path.find(L'\\', from); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
}

FNALLOC(Allocate) { return std::malloc(cb); }
FNFREE(Release) { std::free(pv); }

FNOPEN(OpenCabinet) {
    (void)pmode;
    if (oflag & (_O_WRONLY | _O_RDWR | _O_CREAT)) return -1;  // FDI only ever reads here
    HANDLE file = CreateFileA(pszFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

FNREAD(ReadCallback) {
    DWORD done = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}

FNWRITE(WriteCallback) {
    DWORD done = 0;
    return WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}

FNCLOSE(CloseCallback) {
    if (active && reinterpret_cast<HANDLE>(hf) == active->output) active->output = INVALID_HANDLE_VALUE;
    return CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1;
}

FNSEEK(SeekCallback) {
    DWORD method = seektype == SEEK_CUR ? FILE_CURRENT : seektype == SEEK_END ? FILE_END : FILE_BEGIN;
    DWORD at = SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, method);
    return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<long>(at);
}

// Where a stored name goes, or "" (with the reason noted) when it must not be written.
std::wstring TargetOf(Extraction& run, const FDINOTIFICATION* note) {
    const char* stored = note->psz1 ? note->psz1 : "";
    std::string relative;
    std::wstring name;
    if (SafeCabinetName(stored, relative))
        name = Widen(relative.c_str(), (note->attribs & _A_NAME_IS_UTF) ? CP_UTF8 : CP_ACP);
    if (name.empty()) {
        run.refusedName = stored;
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
    if (!run.stage) return 0;  // first pass: names only, skip the data
    CreateParents(target, run.destination.size());
    run.output = run.stage->Create(target);
    return run.output == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(run.output);
}

BOOL FinishFile(Extraction& run, const FDINOTIFICATION* note) {
    HANDLE file = reinterpret_cast<HANDLE>(note->hf);
    FILETIME local, stamp;
    if (DosDateTimeToFileTime(note->date, note->time, &local) && LocalFileTimeToFileTime(&local, &stamp))
        SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
    run.output = INVALID_HANDLE_VALUE;
    run.stage->Complete(note->attribs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    ++run.files;
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
    if (run.output != INVALID_HANDLE_VALUE) CloseHandle(run.output);  // a file cut short
    run.output = INVALID_HANDLE_VALUE;
    return copied && run.refusedName.empty() && run.overlongName.empty();
}

const char* Reason(const ERF& error) {
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

std::string Outcome(const Extraction& run, const ERF& error, bool read, bool moved, const char* destination) {
    if (moved) return std::to_string(run.files) + " files unpacked into " + destination;
    if (!run.refusedName.empty())
        return "refused, the name '" + run.refusedName + "' would be written outside " + destination;
    if (!run.overlongName.empty())
        return "refused, the name '" + run.overlongName + "' makes a path longer than 259 characters";
    return std::string("failed, ") + (read ? "cannot replace a file" : Reason(error)) + "; nothing replaced";
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
    run.destination = DestinationFolder(destination);
    if (run.destination.empty()) return 0;

    ERF error{};
    HFDI fdi = FDICreate(Allocate, Release, OpenCabinet, ReadCallback, WriteCallback, CloseCallback,
                         SeekCallback, cpuUNKNOWN, &error);
    if (!fdi) return 0;
    bool read = RunPass(fdi, name, folder, run, error);
    if (read) {
        CreateParents(run.destination, 3);
        run.stage = std::make_unique<CabinetStage>(run.destination);
        read = RunPass(fdi, name, folder, run, error);
    }
    FDIDestroy(fdi);
    bool moved = read && run.stage->Commit();
    run.stage.reset();  // a failed read discards what was staged
    Log("InstallCab()", (std::string(cabinet) + ": " + Outcome(run, error, read, moved, destination)).c_str());
    return moved ? 1 : 0;
}
