// POSTCOPY and WSKordalin against the recording fake host: every branch of the update,
// with the exact host calls, and the lock released on every way out.
#include "extension/exports.h"
#include "unit_support.h"

namespace {

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFake();
        DllMain(nullptr, WSK_PROCESS_ATTACH, nullptr);
        Fake().destinationRoot = tree.Root();
        Fake().componentDir = tree.Root() + "\\comp";
        installed = tree.Root() + "\\comp\\WsKordalin.dll";
    }
    void TearDown() override {
        EXPECT_FALSE(tree.HasFile("VAlmanor.sem")) << "the lock was left behind";
    }
    int PostCopy(const char* text) {
        ScriptArgs args{text};
        return POSTCOPY(0, &args, "C:\\setup\\Kordex.inf");
    }
    void Versions(const char* installedVersion, const char* markerVersion) {
        Fake().versions[installed] = installedVersion;
        if (markerVersion) Fake().versions[tree.Marker()] = markerVersion;
    }
    std::string LastExit() const { return CallsNamed("_ExitSkript").back(); }
    ContentTree tree;
    std::string installed;
};

}  // namespace

// Every stop word, in any letter case and anywhere in the text, ends the run at once.
TEST_F(UpdateTest, StopWordsEndTheRunAtOnce) {
    for (const char* text : {"DIAG", "diag", "/q netmode=1", "setup -ws", "news", "xWSx", "DiAg NETMODE WS"}) {
        ResetFake();
        EXPECT_EQ(PostCopy(text), 1) << text;
        EXPECT_EQ(CallsOf({"UpString", "Get", "FileLocked", "_ExitSkript"}).size(), 2u) << text;
        EXPECT_EQ(CallsNamed("UpString").size(), 1u) << text;
        EXPECT_TRUE(LastExit().find(", 0)") != std::string::npos) << text;
    }
}

// "?EXIT", an empty text and plain options do not stop the update.
TEST_F(UpdateTest, OtherTextsRunTheUpdate) {
    for (const char* text : {"?EXIT", "", "/Q /S", "W S", "DIA G"}) {
        ResetFake();
        Fake().destinationRoot = tree.Root();
        Fake().componentDir = tree.Root() + "\\comp";
        Versions("5.1.1.0", "5.1.1.0");
        EXPECT_EQ(PostCopy(text), 1) << text;
        EXPECT_EQ(CallsNamed("FileLocked").size(), 1u) << text;
    }
}

// A lock another setup holds: logged with the content directory, nothing else touched,
// result 1 (that setup does the update). A lock file that cannot be opened at all (a
// folder of its name): logged with the system's reason, nothing touched, result 0. A
// folder whose stopped commit the host cannot settle: logged, nothing touched, result 0.
TEST_F(UpdateTest, RefusedLockLeavesTheContentAlone) {
    enum Refusal { Held, Unusable, Unsettled };
    for (Refusal refusal : {Held, Unusable, Unsettled}) {
        ResetFake();
        ContentTree fresh;
        Fake().destinationRoot = fresh.Root();
        Fake().componentDir = fresh.Root() + "\\comp";
        fresh.AddPackage("QMT_Kordalin_001.cab");
        if (refusal == Unusable) std::filesystem::create_directory(fresh.Dir().Below("shared\\velm\\kordalin\\VAlmanor.sem"));
        if (refusal == Held) Fake().lockedFiles.insert(fresh.LockFile());
        if (refusal == Unsettled) Fake().unsettledFiles.insert(fresh.LockFile());
        EXPECT_EQ(PostCopy(""), refusal == Held ? 1 : 0);
        ASSERT_EQ(CallsNamed("Log").size(), 1u);
        std::string expected = refusal == Unusable ? "Log(_OpenAlmanorSemaphore(), " + fresh.LockFile() + ": cannot be opened ("
                               : refusal == Held   ? "Log(_FindAlmanorSemaphore(), " + fresh.Content() + ")"
                                                   : "Log(_SettleContent(), " + fresh.Content() + ": an unfinished commit";
        EXPECT_EQ(CallsNamed("Log")[0].rfind(expected, 0), 0u) << CallsNamed("Log")[0];
        EXPECT_TRUE(CallsOf({"GetFileVersion", "RemoveFile", "InstallCab", "CopyCreateFile"}).empty());
        EXPECT_TRUE(fresh.HasFile("QMT_Kordalin_001.cab"));
        EXPECT_NE(LastExit().find(refusal == Held ? ", 0)" : ", 1)"), std::string::npos);
    }
}

// Installed content as new as the packages, or newer: logged, packages deleted, result 1.
TEST_F(UpdateTest, UpToDateContentDeletesThePackages) {
    for (const char* marker : {"5.1.1.0", "5.2.0.0"}) {
        ResetFake();
        Fake().destinationRoot = tree.Root();
        Fake().componentDir = tree.Root() + "\\comp";
        Versions("5.1.1.0", marker);
        tree.AddPackage("QMT_Kordalin_000.cab");
        EXPECT_EQ(PostCopy(""), 1);
        Calls expected = {
            "GetFileVersion(" + installed + ")",
            "GetFileVersion(" + tree.Marker() + ")",
            "VerCompare(5.1.1.0, 0.0.0.0)",
            "VerCompare(5.1.1.0, " + std::string(marker) + ")",
            "Log(_FindKordalin(), " + std::string(marker) + ")",
            "RemoveFile(" + tree.Content() + ", QMT_Kordalin*.cab)",
        };
        EXPECT_EQ(CallsOf({"GetFileVersion", "VerCompare", "Log", "RemoveFile", "InstallCab", "CopyCreateFile"}),
                  expected);
    }
}

// Newer packages: the whole road, in order, ending with the marker copied and status 0.
TEST_F(UpdateTest, NewerVersionUnpacksAndRecordsTheVersion) {
    Versions("5.1.1.0", nullptr);  // no marker yet: a first installation
    tree.AddPackage("QMT_Kordalin_000.cab");
    EXPECT_EQ(PostCopy("?exit"), 1);
    std::string content = tree.Content();
    Calls expected = {
        "UpString(?exit)",
        "Get(21, )",
        "FileLocked(, " + tree.LockFile() + ")",
        "GetFileVersion(" + installed + ")",
        "GetFileVersion(" + tree.Marker() + ")",
        "VerCompare(5.1.1.0, 0.0.0.0)",
        "VerCompare(5.1.1.0, none)",
        "InstallCab(" + content + "QMT_Kordalin_000.cab, " + content + ", 1, 0)",
        "SafeDeleteFile(" + content + "QMT_Kordalin_000.cab)",
        "CopyCreateFile(" + installed + ", " + tree.Marker() + ")",
    };
    EXPECT_EQ(CallsOf({"UpString", "Get", "FileLocked", "GetFileVersion", "VerCompare", "InstallCab",
                       "SafeDeleteFile", "CopyCreateFile"}),
              expected);
    EXPECT_EQ(CallsNamed("BuildPath").at(0), "BuildPath(" + tree.Root() + ", shared\\velm\\kordalin\\)");
    EXPECT_TRUE(CallsNamed("Log").empty());
    EXPECT_TRUE(LastExit().find(", 0)") != std::string::npos);
}

// The installed module missing or without a version, whatever the marker says: the
// packages stay untouched for a later run, the reason is logged with the module's path,
// the lock is released and the run fails (result 0).
TEST_F(UpdateTest, UnreadableModuleVersionKeepsThePackages) {
    for (const char* marker : {static_cast<const char*>(nullptr), "5.1.0.9", "5.1.1.0"}) {
        ResetFake();
        Fake().destinationRoot = tree.Root();
        Fake().componentDir = tree.Root() + "\\comp";
        if (marker) Fake().versions[tree.Marker()] = marker;  // the module itself has no version
        tree.AddPackage("QMT_Kordalin_000.cab");
        EXPECT_EQ(PostCopy(""), 0) << (marker ? marker : "no marker");
        EXPECT_EQ(CallsNamed("Log"), (Calls{"Log(_GetModuleVersion(), " + installed +
                                            ": no file version (missing or without a version resource);"
                                            " the packages stay for a later run)"}));
        EXPECT_TRUE(CallsOf({"RemoveFile", "InstallCab", "SafeDeleteFile", "CopyCreateFile", "RemoveDirTree"}).empty());
        EXPECT_TRUE(tree.HasFile("QMT_Kordalin_000.cab"));
        EXPECT_TRUE(LastExit().find(", 1)") != std::string::npos);
    }
}

// What a stopped setup left is dealt with before anything else: a tree to delete goes; a
// set-aside subdirectory goes back where none is in its place, and goes where its base
// package had replaced it whole. When it cannot go back, nothing else is done and the run
// fails, so the old content is never lost.
TEST_F(UpdateTest, SetAsideContentIsDealtWithBeforeAnythingElse) {
    struct Case { const char* scenario; bool baseInPlace, blocked; };
    for (const Case& c : {Case{"set aside, nothing in its place", false, false},
                          Case{"set aside, its base package in place", true, false},
                          Case{"set aside, a file in its way that will not go", false, true}}) {
        ResetFake();
        ContentTree stopped;
        Fake().destinationRoot = stopped.Root();
        Fake().componentDir = stopped.Root() + "\\comp";
        for (const char* file : {"Kordex.old\\page.html", "Kordex.del\\page.html", "QMT_Kordalin_001.cab"})
            stopped.AddPackage(file);
        if (c.baseInPlace) stopped.AddPackage("Kordex\\new.html");
        if (c.blocked) stopped.AddPackage("Kordex");  // a file, and Kordex.del cannot go
        std::string content = stopped.Content();
        if (c.blocked) Fake().failingTrees.insert(content + "Kordex.del");
        Fake().versions[stopped.Root() + "\\comp\\WsKordalin.dll"] = "5.1.1.0";
        Fake().versions[stopped.Marker()] = "5.1.1.0";
        EXPECT_EQ(PostCopy(""), c.blocked ? 0 : 1) << c.scenario;
        // Nothing but the recovery when it fails: no version is read, no package touched.
        Calls expected = {"RemoveDirTree(" + content + "Kordex.del, 1)"};
        if (c.baseInPlace) expected.push_back("RemoveDirTree(" + content + "Kordex.old, 1)");
        if (c.blocked) expected.push_back("RemoveDirTree(" + content + "Kordex.del, 1)");
        if (!c.blocked) {
            std::string module = stopped.Root() + "\\comp\\WsKordalin.dll";
            expected.insert(expected.end(), {"GetFileVersion(" + module + ")", "GetFileVersion(" + stopped.Marker() + ")"});
        }
        EXPECT_EQ(CallsOf({"RemoveDirTree", "GetFileVersion", "InstallCab"}), expected) << c.scenario;
        EXPECT_EQ(stopped.HasFile("Kordex\\page.html"), !c.baseInPlace && !c.blocked) << c.scenario;
        EXPECT_EQ(stopped.HasFile("Kordex\\new.html"), c.baseInPlace) << c.scenario;
        EXPECT_EQ(stopped.HasFile("Kordex.old\\page.html"), c.blocked) << c.scenario;
        EXPECT_TRUE(stopped.HasFile("QMT_Kordalin_001.cab")) << c.scenario;
        EXPECT_FALSE(stopped.HasFile("VAlmanor.sem")) << c.scenario;
    }
}

// A package that fails to unpack: status 1, result 0, the marker left alone.
TEST_F(UpdateTest, FailedUnpackKeepsTheOldMarker) {
    Versions("5.1.1.0", "5.1.0.9");
    tree.AddPackage("QMT_Kordalin_001.cab");
    Fake().failingCabinets.insert(tree.Content() + "QMT_Kordalin_001.cab");
    EXPECT_EQ(PostCopy(""), 0);
    EXPECT_TRUE(CallsNamed("CopyCreateFile").empty());
    EXPECT_TRUE(LastExit().find(", 1)") != std::string::npos);
}

// A version that could not be recorded fails the run: reported as done, it would claim a
// version the content does not carry until the next run records it.
TEST_F(UpdateTest, FailedMarkerCopyFailsTheRun) {
    Versions("5.1.1.0", "5.1.0.9");
    tree.AddPackage("QMT_Kordalin_001.cab");
    Fake().failingCopies.insert(tree.Marker());
    EXPECT_EQ(PostCopy(""), 0);
    EXPECT_EQ(CallsNamed("SafeDeleteFile").size(), 1u);
    EXPECT_TRUE(LastExit().find(", 1)") != std::string::npos);
}

// Newer version but no packages: the marker is still brought up to date.
TEST_F(UpdateTest, NoPackagesStillRecordsTheVersion) {
    Versions("5.1.1.0", "5.1.0.9");
    EXPECT_EQ(PostCopy(""), 1);
    EXPECT_EQ(CallsNamed("CopyCreateFile"), (Calls{"CopyCreateFile(" + installed + ", " + tree.Marker() + ")"}));
    EXPECT_EQ(Fake().listsMade, 0);
}

// A host call that throws mid-update: the run fails cleanly, the lock and list released.
TEST_F(UpdateTest, ThrowingHostCallReleasesLockAndList) {
    Versions("5.1.1.0", nullptr);
    tree.AddPackage("QMT_Kordalin_000.cab");
    for (const char* call : {"InstallCab", "GetFileVersion", "VerCompare", "CopyCreateFile"}) {
        ResetFake();
        Fake().destinationRoot = tree.Root();
        Fake().componentDir = tree.Root() + "\\comp";
        Versions("5.1.1.0", nullptr);
        Fake().throwOn = call;
        EXPECT_EQ(PostCopy(""), 0) << call;
        EXPECT_FALSE(tree.HasFile("VAlmanor.sem")) << call;
        EXPECT_EQ(Fake().listsAlive, 0) << call;
        EXPECT_TRUE(LastExit().find(", 1)") != std::string::npos) << call;
    }
}

// An empty root would put the content wherever the setup runs: logged, nothing else done.
TEST_F(UpdateTest, EmptyRootLeavesEverythingAlone) {
    Fake().destinationRoot = "";
    EXPECT_EQ(PostCopy(""), 1);
    EXPECT_EQ(CallsNamed("Log"), (Calls{"Log(_FindDestinationRoot(), empty: shared content left alone)"}));
    EXPECT_TRUE(CallsOf({"BuildPath", "FileLocked", "GetFileVersion"}).empty());
}

// Paths that do not fit: logged, nothing acted on, the run reports failure.
TEST_F(UpdateTest, OverlongPathsAreNeverActedOn) {
    std::string longRoot = "C:\\" + std::string(240, 'r');  // the content directory fits, the lock path not
    Fake().destinationRoot = longRoot;
    EXPECT_EQ(PostCopy(""), 0);
    EXPECT_EQ(CallsNamed("Log"), (Calls{"Log(_BuildContentPath(), " + longRoot + ")"}));
    EXPECT_TRUE(CallsOf({"FileLocked", "GetFileVersion", "RemoveFile", "InstallCab"}).empty());

    ResetFake();
    Fake().destinationRoot = tree.Root();
    Fake().componentDir = "C:\\" + std::string(250, 'c');
    EXPECT_EQ(PostCopy(""), 0);
    EXPECT_EQ(CallsNamed("Log"), (Calls{"Log(_BuildContentPath(), " + Fake().componentDir + ")"}));
    EXPECT_TRUE(CallsOf({"FileLocked", "GetFileVersion"}).empty());
}

// WSKordalin runs POSTCOPY with "?EXIT" and the script beside the module.
TEST_F(UpdateTest, StandaloneRunUsesTheScriptBesideTheModule) {
    Versions("5.1.1.0", "5.1.1.0");
    EXPECT_EQ(WSKordalin(0, 0, 0, 0), 1);
    std::string init = CallsNamed("_InitSkript").at(0);
    char module[4096];
    unsigned length = platform::ModuleFileName(nullptr, module, sizeof module);
    std::string script(module, length);
    script = script.substr(0, script.find_last_of("\\/") + 1) + "Kordex.inf";
    EXPECT_EQ(init.rfind("_InitSkript(" + script + ", ?EXIT, ", 0), 0u) << init;
    EXPECT_EQ(CallsNamed("Log"), (Calls{"Log(_FindKordalin(), 5.1.1.0)"}));
}
