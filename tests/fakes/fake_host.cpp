#include "fake_host.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "corvane/host_rules.h"
#include "fakes/scratch_dir.h"
#include "host/corvane.h"

namespace {

FakeHost* current = new FakeHost;

std::string Text(const char* text) {
    return text ? text : "(null)";
}

// Records one call and throws when the test asked this call to.
void Record(const std::string& name, const std::vector<std::string>& args) {
    FakeHost& fake = Fake();
    std::string line = name + "(";
    for (std::size_t i = 0; i < args.size(); ++i) line += (i ? ", " : "") + args[i];
    fake.calls.push_back(line + ")");
    int count = ++fake.callCounts[name];
    if (name == fake.throwOn && count == fake.throwAt) throw FakeHostError("fake host: " + name);
}

void CopyOut(char* buffer, std::size_t size, const std::string& text) {
    if (!buffer) return;
    std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

}  // namespace

FakeHost& Fake() {
    return *current;
}

void ResetFake() {
    delete current;
    current = new FakeHost;
}

std::vector<std::string> CallsNamed(const std::string& name) {
    std::vector<std::string> found;
    for (const auto& call : Fake().calls)
        if (call.compare(0, name.size() + 1, name + "(") == 0) found.push_back(call);
    return found;
}

const char* CDestinationManager::Get(ENUM_DEST_KEY key, const char* defaultValue) {
    Record("Get", {std::to_string(static_cast<int>(key)), Text(defaultValue)});
    return key == DEST_ROOT ? Fake().destinationRoot.c_str() : defaultValue;
}

CDestinationManager* GetDestinationManager() {
    static CDestinationManager manager;
    return &manager;
}

int _InitSkript(const char* scriptFile, char* scriptDir, char* componentDir, char* commandText,
                const char* moduleDir, int* runFlag) {
    Fake().lastCommandText = Text(commandText);
    Record("_InitSkript", {Text(scriptFile), Text(commandText), Text(moduleDir),
                           runFlag ? std::to_string(*runFlag) : "(null)"});
    CopyOut(scriptDir, CORVANE_PATH_SIZE, "C:\\scripts");
    CopyOut(componentDir, CORVANE_PATH_SIZE, Fake().componentDir);
    if (runFlag) *runFlag = 1;
    return 1;
}

int _ExitSkript(ScriptArgs* args, const char* moduleDir, int status) {
    Fake().lastExitArgs = args;
    Record("_ExitSkript", {Text(moduleDir), std::to_string(status)});
    return 1;
}

int GetLongDir(char* modulePath) {
    Record("GetLongDir", {Text(modulePath)});
    return 1;
}

int BuildPath(char* out, const char* dir, const char* name) {
    Record("BuildPath", {Text(dir), Text(name)});
    return host_rules::JoinPath(out, dir, name) ? 1 : 0;
}

int UpString(char* text) {
    Record("UpString", {Text(text)});
    host_rules::UpperAscii(text);
    return 1;
}

int FileLocked(const char* host, const char* path) {
    Record("FileLocked", {Text(host), Text(path)});
    if (Fake().unsettledFiles.count(Text(path))) return CORVANE_UNSETTLED;
    return Fake().lockedFiles.count(Text(path)) ? 1 : 0;
}

int SafeDeleteFile(const char* path) {
    Record("SafeDeleteFile", {Text(path)});
    return Fake().undeletableFiles.count(Text(path)) ? 0 : 1;
}

int RemoveFile(const char* dir, const char* pattern) {
    Record("RemoveFile", {Text(dir), Text(pattern)});
    return 1;
}

int RemoveDirTree(const char* dir, int removeSelf) {
    Record("RemoveDirTree", {Text(dir), std::to_string(removeSelf)});
    if (Fake().failingTrees.count(Text(dir))) return 0;
    std::error_code ignored;
    if (dir && removeSelf) std::filesystem::remove_all(ScratchDir::LocalPath(dir), ignored);
    return 1;
}

int CopyCreateFile(const char* source, const char* destination) {
    Record("CopyCreateFile", {Text(source), Text(destination)});
    return Fake().failingCopies.count(Text(destination)) ? 0 : 1;
}

int GetFileVersion(const char* file, char* version, char* scratch) {
    Record("GetFileVersion", {Text(file)});
    auto found = Fake().versions.find(Text(file));
    CopyOut(version, CORVANE_TEXT_SIZE, found == Fake().versions.end() ? "none" : found->second);
    CopyOut(scratch, CORVANE_TEXT_SIZE, "");
    return found != Fake().versions.end();
}

int VerCompare(const char* a, const char* b) {
    Record("VerCompare", {Text(a), Text(b)});
    return host_rules::CompareVersionTexts(a, b);
}

int InstallCab(const char* cabinet, const char* destination, int flags, int reserved) {
    Record("InstallCab", {Text(cabinet), Text(destination), std::to_string(flags),
                          std::to_string(reserved)});
    if (!Fake().failingCabinets.count(Text(cabinet))) return 1;
    // A host that writes some files of a cabinet before it fails, unlike ours.
    if (!Fake().failedCabinetLeaves.empty()) {
        std::filesystem::path left = ScratchDir::LocalPath(Text(destination) + Fake().failedCabinetLeaves);
        std::filesystem::create_directories(left.parent_path());
        std::ofstream(left) << "partial";
    }
    return 0;
}

int Log(const char* tag, const char* value) {
    Record("Log", {Text(tag), Text(value)});
    return 1;
}

struct CMemInf::Impl : host_rules::PairList {};

CMemInf::CMemInf(const char* a, const char* b) : impl_(nullptr) {
    Record("CMemInf", {Text(a), Text(b)});
    impl_ = new Impl;
    ++Fake().listsAlive;
    ++Fake().listsMade;
}

CMemInf::~CMemInf() {
    --Fake().listsAlive;
    delete impl_;
}

void CMemInf::AppendValue(const char* key, const char* value) {
    Record("AppendValue", {Text(key), Text(value)});
    impl_->Append(key, value);
}

void CMemInf::Sort(int byKey, int descending) {
    Record("Sort", {std::to_string(byKey), std::to_string(descending)});
    impl_->Sort(byKey != 0, descending != 0);
}

int CMemInf::GetFirstValue(char*& key, char*& value) {
    return impl_->First(key, value) ? 1 : 0;
}

int CMemInf::GetNextValue(char*& key, char*& value) {
    return impl_->Next(key, value) ? 1 : 0;
}
