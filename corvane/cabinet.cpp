// InstallCab: MS-CAB extraction through the platform's FDI interface with our own
// callbacks. Every stored name is checked before anything is written (a cabinet with one
// unsafe name writes nothing), and each file is written to a temporary name beside its
// target and moved into place only when it is complete, so a damaged cabinet never leaves
// a cut-off file behind.
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cabinet_names.h"
#include "host/corvane.h"

namespace {

// A file written completely under a temporary name, waiting to be moved into place.
struct StagedFile {
    std::wstring temporary;
    std::wstring target;
    DWORD attributes;
};

struct Extraction {
    std::wstring destination;  // full path, ends in a backslash
    bool namesOnly = true;     // first pass: check names, write nothing
    bool unsafe = false;       // a name or a write failed: the whole call fails
    HANDLE output = INVALID_HANDLE_VALUE;
    std::wstring temporary;    // the file being written
    std::wstring target;       // where it goes when complete
    std::vector<StagedFile> staged;
    std::string refusedName;   // the first stored name that may not be written
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
    for (std::size_t at = path.find(L'\\', from); at != std::wstring::npos;
         at = path.find(L'\\', at + 1))
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

FNREAD(ReadFileCallback) {
    DWORD done = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}

FNWRITE(WriteFileCallback) {
    DWORD done = 0;
    return WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr) ? done : static_cast<UINT>(-1);
}

FNCLOSE(CloseFileCallback) {
    if (active && reinterpret_cast<HANDLE>(hf) == active->output) active->output = INVALID_HANDLE_VALUE;
    return CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1;
}

FNSEEK(SeekFileCallback) {
    DWORD method = seektype == SEEK_CUR ? FILE_CURRENT : seektype == SEEK_END ? FILE_END : FILE_BEGIN;
    DWORD at = SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, method);
    return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<long>(at);
}

// Where a stored name goes, or "" when it must not be written.
std::wstring TargetOf(const Extraction& run, const FDINOTIFICATION* note) {
    std::string relative;
    if (!note->psz1 || !SafeCabinetName(note->psz1, relative)) return L"";
    std::wstring name = Widen(relative.c_str(), (note->attribs & _A_NAME_IS_UTF) ? CP_UTF8 : CP_ACP);
    if (name.empty()) return L"";
    std::wstring target = run.destination + name;
    return target.size() < MAX_PATH ? target : L"";
}

INT_PTR StartFile(Extraction& run, const FDINOTIFICATION* note) {
    std::wstring target = TargetOf(run, note);
    if (target.empty()) {
        run.unsafe = true;
        run.refusedName = note->psz1 ? note->psz1 : "";
        return -1;
    }
    if (run.namesOnly) return 0;  // skip: this pass only checks names
    CreateParents(target, run.destination.size());
    std::wstring folder = target.substr(0, target.rfind(L'\\'));
    wchar_t temporary[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"~ck", 0, temporary)) return -1;
    run.output = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (run.output == INVALID_HANDLE_VALUE) {
        DeleteFileW(temporary);
        return -1;
    }
    run.temporary = temporary;
    run.target = target;
    return reinterpret_cast<INT_PTR>(run.output);
}

BOOL FinishFile(Extraction& run, const FDINOTIFICATION* note) {
    HANDLE file = reinterpret_cast<HANDLE>(note->hf);
    FILETIME local, stamp;
    if (DosDateTimeToFileTime(note->date, note->time, &local) && LocalFileTimeToFileTime(&local, &stamp))
        SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
    run.output = INVALID_HANDLE_VALUE;
    DWORD kept = note->attribs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    run.staged.push_back({run.temporary, run.target, kept ? kept : FILE_ATTRIBUTE_NORMAL});
    ++run.files;
    run.temporary.clear();
    return TRUE;
}

// Moves every staged file over its target. False when any could not be moved.
bool MoveStagedFiles(Extraction& run) {
    bool allMoved = true;
    for (const StagedFile& file : run.staged) {
        DWORD old = GetFileAttributesW(file.target.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(file.target.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
        if (MoveFileExW(file.temporary.c_str(), file.target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            SetFileAttributesW(file.target.c_str(), file.attributes);
        } else {
            DeleteFileW(file.temporary.c_str());
            allMoved = false;
        }
    }
    run.staged.clear();
    return allMoved;
}

void DiscardStagedFiles(Extraction& run) {
    for (const StagedFile& file : run.staged) DeleteFileW(file.temporary.c_str());
    run.staged.clear();
}

FNFDINOTIFY(Notify) {
    Extraction& run = *static_cast<Extraction*>(pfdin->pv);
    switch (fdint) {
        case fdintCOPY_FILE:
            return StartFile(run, pfdin);
        case fdintCLOSE_FILE_INFO:
            return FinishFile(run, pfdin);
        case fdintPARTIAL_FILE:    // files continued from another cabinet: not supported
        case fdintNEXT_CABINET:
            return -1;
        default:
            return 0;
    }
}

// Drops what a failed pass left half written.
void DiscardUnfinished(Extraction& run) {
    if (run.output != INVALID_HANDLE_VALUE) CloseHandle(run.output);
    run.output = INVALID_HANDLE_VALUE;
    if (!run.temporary.empty()) DeleteFileW(run.temporary.c_str());
    run.temporary.clear();
}

const char* Reason(const ERF& error) {
    switch (error.erfOper) {
        case FDIERROR_CABINET_NOT_FOUND: return "cabinet not found";
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

bool RunPass(HFDI fdi, char* name, char* folder, Extraction& run, ERF& error) {
    error = ERF{};
    active = &run;
    BOOL copied = FDICopy(fdi, name, folder, 0, Notify, nullptr, &run);
    active = nullptr;
    DiscardUnfinished(run);
    return copied && !run.unsafe;
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
    HFDI fdi = FDICreate(Allocate, Release, OpenCabinet, ReadFileCallback, WriteFileCallback,
                         CloseFileCallback, SeekFileCallback, cpuUNKNOWN, &error);
    if (!fdi) return 0;
    bool ok = RunPass(fdi, &name[0], &folder[0], run, error);
    if (ok) {
        CreateParents(run.destination, 3);
        run.namesOnly = false;
        ok = RunPass(fdi, &name[0], &folder[0], run, error);
    }
    FDIDestroy(fdi);
    bool moved = ok && MoveStagedFiles(run);
    if (!ok) DiscardStagedFiles(run);

    std::string outcome = std::string(cabinet) + ": ";
    if (moved)
        outcome += std::to_string(run.files) + " files unpacked into " + destination;
    else if (!run.refusedName.empty())
        outcome += "refused, the name '" + run.refusedName + "' would be written outside " + destination;
    else
        outcome += std::string("failed, ") + (ok ? "cannot replace a file" : Reason(error)) + "; nothing replaced";
    Log("InstallCab()", outcome.c_str());
    return moved ? 1 : 0;
}
