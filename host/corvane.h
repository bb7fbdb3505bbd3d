// The setup host services as the extension sees them. The host library (Corvane.dll)
// implements them; the native unit tests link a recording fake instead.
//
// Texts are zero-terminated narrow strings in the ANSI code page. Path buffers are
// CORVANE_PATH_SIZE bytes and text buffers CORVANE_TEXT_SIZE bytes, owned by the caller.
#pragma once

#if defined(CORVANE_BUILDING_DLL)
#define CORVANE_API __declspec(dllexport)
#else
#define CORVANE_API
#endif

enum { CORVANE_PATH_SIZE = 260, CORVANE_TEXT_SIZE = 1024 };

// The record a setup host passes to an entry point. Only the first field belongs to the
// contract; the pointer and the text may each be null.
struct ScriptArgs {
    const char* commandText;
};

// Destination keys of the destination manager.
enum ENUM_DEST_KEY {
    DEST_ROOT = 21,  // the destination root of the product family
};

class CORVANE_API CDestinationManager {
public:
    // The directory recorded for `key`, or `defaultValue` when there is none; never null.
    const char* Get(ENUM_DEST_KEY key, const char* defaultValue);
};

// The destination manager of the current script run; never null.
CORVANE_API CDestinationManager* GetDestinationManager();

// Opens a script run on `scriptFile`: fills `scriptDir` with the script's directory and
// `componentDir` with the component directory, may rewrite `commandText`, sets *runFlag.
CORVANE_API int _InitSkript(const char* scriptFile, char* scriptDir, char* componentDir,
                            char* commandText, const char* moduleDir, int* runFlag);

// Closes the script run opened last, logging `status` (0 success, 1 failure).
CORVANE_API int _ExitSkript(ScriptArgs* args, const char* moduleDir, int status);

// Rewrites a module file path in place into the module's directory in long form.
CORVANE_API int GetLongDir(char* modulePath);

// Joins `dir` and `name` with one backslash into `out`; a result that does not fit the
// path buffer is not returned: `out` becomes empty and the result is 0.
CORVANE_API int BuildPath(char* out, const char* dir, const char* name);

// Upper-cases the ASCII letters of `text` in place.
CORVANE_API int UpString(char* text);

// What FileLocked answers besides 0 (free) and 1 (locked): the folder holds the commit of
// a setup that was stopped, which could not be settled. Nothing may change there, and no
// run there can succeed until it is (the host's log and run record say why).
enum { CORVANE_UNSETTLED = 2 };

// Non-zero when `path` exists and another open of it denies us access, or when another
// setup works in its folder; CORVANE_UNSETTLED as above. `host` must be "".
CORVANE_API int FileLocked(const char* host, const char* path);

// Deletes one file (read-only or not); non-zero when it was deleted.
CORVANE_API int SafeDeleteFile(const char* path);

// Deletes the files in `dir` that match `pattern` (a name with * and ?); non-zero when
// at least one matched and every match was deleted.
CORVANE_API int RemoveFile(const char* dir, const char* pattern);

// Deletes everything below `dir`, and `dir` itself when `removeSelf` is non-zero. A link
// or junction is removed as an entry, never descended into. Non-zero when all went.
CORVANE_API int RemoveDirTree(const char* dir, int removeSelf);

// Copies `source` over `destination`, creating missing directories; non-zero on success.
CORVANE_API int CopyCreateFile(const char* source, const char* destination);

// Writes the fixed file version of `file` as "a.b.c.d" into `version` (a text buffer),
// or a text VerCompare ranks below every real version when the file has none.
// `scratch` (a text buffer) receives the version resource's FileVersion string, if any.
CORVANE_API int GetFileVersion(const char* file, char* version, char* scratch);

// Greater than 0 when version `a` is newer than `b`, 0 when equal, less than 0 when older.
CORVANE_API int VerCompare(const char* a, const char* b);

// Unpacks every file of the cabinet into `destination`, creating subdirectories and
// replacing existing files. `flags` and `reserved` are accepted for compatibility and
// must be 1 and 0. Non-zero on success; 0 writes nothing outside `destination`.
CORVANE_API int InstallCab(const char* cabinet, const char* destination, int flags, int reserved);

// Appends one entry (time, process, tag, value) to the current run's log file.
CORVANE_API int Log(const char* tag, const char* value);

// A list of key/value pairs holding copies of what is appended.
class CORVANE_API CMemInf {
public:
    // Both arguments are reserved and must be null: the list starts empty.
    CMemInf(const char* reserved1, const char* reserved2);
    ~CMemInf();
    CMemInf(const CMemInf&) = delete;
    CMemInf& operator=(const CMemInf&) = delete;

    // Stores copies of `key` and `value` at the end of the list.
    void AppendValue(const char* key, const char* value);
    // Sort(1, 0): orders the pairs by key, ascending by unsigned byte value, stable.
    void Sort(int byKey, int descending);
    // Non-zero while a pair comes; the pointers stay valid while the list lives.
    int GetFirstValue(char*& key, char*& value);
    int GetNextValue(char*& key, char*& value);

private:
    struct Impl;
    Impl* impl_;
};
