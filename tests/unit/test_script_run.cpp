// The module frame: the module entry, the own handle, and the script run around every
// entry point.
#include <gtest/gtest.h>

#include <string>

#include "extension/exports.h"
#include "extension/module.h"
#include "extension/script_run.h"
#include "fakes/fake_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

class ScriptRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFake();
        DllMain(nullptr, WSK_PROCESS_ATTACH, nullptr);  // as if no attach was seen
        Fake().destinationRoot = "";  // keep the update out of these tests
    }
};

std::string ThisExecutable() {
    char path[4096];
    unsigned length = platform::ModuleFileName(nullptr, path, sizeof path);
    return std::string(path, length);
}

void* LoadHostLibrary() {
#if defined(_WIN32)
    return LoadLibraryA(CORVANE_DLL_PATH);
#else
    return dlopen(CORVANE_DLL_PATH, RTLD_NOW);
#endif
}

}  // namespace

// A null record and a null text both give an empty command text; the record pointer
// reaches _ExitSkript exactly as it was passed.
TEST_F(ScriptRunTest, NullRecordOrTextGivesEmptyCommandText) {
    EXPECT_EQ(DEINSTALL(0, nullptr, "C:\\s.inf"), 1);
    EXPECT_EQ(Fake().lastCommandText, "");
    EXPECT_EQ(Fake().lastExitArgs, nullptr);

    ScriptArgs nullText{nullptr};
    EXPECT_EQ(POSTCOPY(0, &nullText, "C:\\s.inf"), 1);
    EXPECT_EQ(Fake().lastCommandText, "");
    EXPECT_EQ(Fake().lastExitArgs, &nullText);
}

// _InitSkript gets the script, the command text, the module directory after GetLongDir,
// and a run flag of 0; the run closes last with status 0.
TEST_F(ScriptRunTest, InitSkriptArgumentsInOrder) {
    ScriptArgs args{"/q"};
    EXPECT_EQ(DEINSTALL(7, &args, "C:\\setup\\Kordex.inf"), 1);
    std::string module = ThisExecutable();
    std::string expected[] = {
        "GetLongDir(" + module + ")",
        "_InitSkript(C:\\setup\\Kordex.inf, /q, " + module + ", 0)",
        "Get(21, )",
        "_ExitSkript(" + module + ", 0)",
    };
    ASSERT_EQ(Fake().calls.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Fake().calls[i], expected[i]);
}

// The run is opened and closed once by each export, and each returns 1.
TEST_F(ScriptRunTest, EveryExportOpensAndClosesOneRun) {
    ScriptArgs args{""};
    EXPECT_EQ(POSTCOPY(0, &args, "C:\\s.inf"), 1);
    EXPECT_EQ(DEINSTALL(0, &args, "C:\\s.inf"), 1);
    EXPECT_EQ(WSKordalin(0, 0, 0, 0), 1);
    EXPECT_EQ(CallsNamed("_InitSkript").size(), 3u);
    EXPECT_EQ(CallsNamed("_ExitSkript").size(), 3u);
    EXPECT_EQ(Fake().calls.back(), CallsNamed("_ExitSkript").back());
}

// Command texts of 1023 bytes pass whole; longer ones are cut to 1023, never overrun.
TEST_F(ScriptRunTest, CommandTextAtAndPastItsBound) {
    for (std::size_t length : {1023u, 1024u, 100000u}) {
        ResetFake();
        std::string text(length, 'q');
        ScriptArgs args{text.c_str()};
        ScriptRun run;
        OpenScriptRun(run, &args, "C:\\s.inf");
        EXPECT_EQ(std::string(run.commandText), std::string(std::min<std::size_t>(length, 1023), 'q'))
            << length;
        EXPECT_EQ(Fake().lastCommandText.size(), std::min<std::size_t>(length, 1023));
    }
}

// Only process attach records the handle; thread attach and detach leave it.
TEST_F(ScriptRunTest, DllMainRecordsTheHandleOnlyAtProcessAttach) {
    int a = 0, b = 0;
    EXPECT_EQ(DllMain(&a, 1, nullptr), 1);
    EXPECT_EQ(GetOwnModuleHandle(), &a);
    for (unsigned long reason : {0ul, 2ul, 3ul}) {
        EXPECT_EQ(DllMain(&b, reason, nullptr), 1);
        EXPECT_EQ(GetOwnModuleHandle(), &a) << reason;
    }
}

// Before any attach, the module is the host library; without that, the executable.
TEST_F(ScriptRunTest, OwnHandleFallsBackToTheHostLibraryThenTheExecutable) {
    if (platform::LoadedModule("Corvane.dll") == nullptr) {
        EXPECT_EQ(GetOwnModuleHandle(), nullptr);
        ScriptRun run;
        OpenScriptRun(run, nullptr, "C:\\s.inf");
        EXPECT_EQ(CallsNamed("GetLongDir").at(0), "GetLongDir(" + ThisExecutable() + ")");
    }
    ASSERT_NE(LoadHostLibrary(), nullptr);
    ResetFake();
    ASSERT_NE(GetOwnModuleHandle(), nullptr);
    ScriptRun run;
    OpenScriptRun(run, nullptr, "C:\\s.inf");
    std::string seen = CallsNamed("GetLongDir").at(0);
    EXPECT_NE(seen.find("Corvane.dll)"), std::string::npos) << seen;
}

#if !defined(_WIN32)
#include <filesystem>
#include <fstream>

#include "fakes/scratch_dir.h"

// A module whose path does not fit the 260-byte buffer: WSKordalin has no script file to
// run with, returns 0 and calls nothing; nothing is written past the buffer.
TEST_F(ScriptRunTest, StandaloneRunWithAnOverlongModulePath) {
    ScratchDir dir;
    std::filesystem::path deep = dir.Path();
    while (deep.string().size() < 300) deep /= std::string(60, 'd');
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(CORVANE_DLL_PATH, deep / "WSKORDALIN.DLL");
    void* module = dlopen((deep / "WSKORDALIN.DLL").c_str(), RTLD_NOW);
    ASSERT_NE(module, nullptr);
    DllMain(module, WSK_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(WSKordalin(0, 0, 0, 0), 0);
    EXPECT_TRUE(Fake().calls.empty());
    DllMain(nullptr, WSK_PROCESS_ATTACH, nullptr);
    dlclose(module);
}
#endif
