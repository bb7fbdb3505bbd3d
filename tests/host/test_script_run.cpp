// The host's script run: the script file's [Setup] section, the destination manager,
// the run log and GetLongDir, on real files.
#include <gtest/gtest.h>

#include <cstring>

#include "corvane/log_phrases.h"
#include "host/corvane.h"
#include "host_test_support.h"

namespace {

struct HostRun {
    char scriptDir[CORVANE_PATH_SIZE] = "sentinel";
    char componentDir[CORVANE_PATH_SIZE] = "sentinel";
    char commandText[CORVANE_TEXT_SIZE] = "/Q";
    int flag = 0;
    int Open(const std::string& script) {
        return _InitSkript(script.c_str(), scriptDir, componentDir, commandText, "C:\\mod", &flag);
    }
};

}  // namespace

// The run reports the component directory and root, and logs its opening and closing.
TEST(HostScriptRun, ReadsTheSetupSectionAndLogsTheRun) {
    ScratchDir dir;
    dir.Write("Kordex.inf", "[Setup]\r\nComponentDir=C:\\Prog\\Comp\r\nDestinationRoot=C:\\Prog\r\n");
    HostRun run;
    EXPECT_EQ(run.Open(dir.Text() + "\\Kordex.inf"), 1);
    EXPECT_STREQ(run.componentDir, "C:\\Prog\\Comp");
    EXPECT_EQ(std::string(run.scriptDir), dir.Text());
    EXPECT_EQ(run.flag, 1);
    EXPECT_STREQ(GetDestinationManager()->Get(DEST_ROOT, ""), "C:\\Prog");
    EXPECT_STREQ(GetDestinationManager()->Get(static_cast<ENUM_DEST_KEY>(3), "dflt"), "dflt");
    EXPECT_EQ(Log("_Tag()", "a value\r\nsecond line"), 1);
    EXPECT_EQ(_ExitSkript(nullptr, "C:\\mod", 1), 1);
    EXPECT_STREQ(GetDestinationManager()->Get(DEST_ROOT, ""), "");  // run closed

    std::string log = ReadAll(dir.Text() + "\\Kordex.log");
    EXPECT_NE(log.find("] _InitSkript() script=" + dir.Text() + "\\Kordex.inf component=C:\\Prog\\Comp root=C:\\Prog module=C:\\mod command=\"/Q\"\n"),
              std::string::npos) << log;
    EXPECT_NE(log.find("] _Tag() a value  second line\n"), std::string::npos) << log;
    std::string exit = std::string("] ") + log_phrase::kExitSkript + " " + log_phrase::kFailed + "\n";
    EXPECT_NE(log.find(exit), std::string::npos) << log;
    EXPECT_EQ(Log("_After()", "x"), 0);  // no run, no log
}

// Relative paths are taken from the script's folder; an empty root stays empty; LogFile
// names the log.
TEST(HostScriptRun, RelativePathsAndExplicitLog) {
    ScratchDir dir;
    dir.Write("setup\\s.inf", "[Setup]\nComponentDir=..\\root\nDestinationRoot=\nLogFile=logs\\run.log\n");
    CreateDirectoryA((dir.Text() + "\\setup\\logs").c_str(), nullptr);
    HostRun run;
    EXPECT_EQ(run.Open(dir.Text() + "\\setup\\s.inf"), 1);
    EXPECT_EQ(std::string(run.componentDir), dir.Text() + "\\root");
    EXPECT_STREQ(GetDestinationManager()->Get(DEST_ROOT, ""), "");
    _ExitSkript(nullptr, "", 0);
    EXPECT_NE(ReadAll(dir.Text() + "\\setup\\logs\\run.log").find(log_phrase::kSucceeded),
              std::string::npos);
}

// A missing script still opens a run (and says so in the log) but reports failure.
TEST(HostScriptRun, MissingScriptIsReported) {
    ScratchDir dir;
    HostRun run;
    EXPECT_EQ(run.Open(dir.Text() + "\\absent.inf"), 0);
    EXPECT_STREQ(run.componentDir, "");
    _ExitSkript(nullptr, "", 0);
    EXPECT_NE(ReadAll(dir.Text() + "\\absent.log").find(std::string(log_phrase::kError) + log_phrase::kScriptMissing),
              std::string::npos);
}

// A component directory that does not fit the path buffer is not handed out cut off.
TEST(HostScriptRun, OverlongComponentDirIsNotCut) {
    ScratchDir dir;
    dir.Write("s.inf", "[Setup]\nComponentDir=C:\\" + std::string(257, 'c') + "\n");
    HostRun run;
    EXPECT_EQ(run.Open(dir.Text() + "\\s.inf"), 0);
    EXPECT_STREQ(run.componentDir, "");
    _ExitSkript(nullptr, "", 0);
    dir.Write("s.inf", "[Setup]\nComponentDir=C:\\" + std::string(256, 'c') + "\n");
    EXPECT_EQ(run.Open(dir.Text() + "\\s.inf"), 1);
    EXPECT_EQ(std::strlen(run.componentDir), 259u);
    _ExitSkript(nullptr, "", 0);
}

// GetLongDir turns a module file path into its directory.
TEST(HostScriptRun, GetLongDirGivesTheModulesDirectory) {
    ScratchDir dir;
    dir.Write("WSKORDALIN.DLL");
    char path[CORVANE_PATH_SIZE];
    std::strcpy(path, (dir.Text() + "\\WSKORDALIN.DLL").c_str());
    EXPECT_EQ(GetLongDir(path), 1);
    EXPECT_EQ(std::string(path), dir.Text());
    char empty[CORVANE_PATH_SIZE] = "";
    EXPECT_EQ(GetLongDir(empty), 0);
}
