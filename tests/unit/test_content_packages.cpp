// Unpacking the content packages: strict order whatever the letter case, the base package
// rule, one overall result, a folder that cannot be searched, the list released on every
// way out, and paths at the 260-byte bound.
#include <algorithm>

#include "extension/content_packages.h"
#include "extension/content_set_aside.h"
#include "unit_support.h"

namespace {

class PackagesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFake(); }
    int Install() { return InstallContentPackages(tree.Content().c_str(), "QMT_Kordalin*.cab"); }
    std::string Package(const char* number) const {
        return tree.Content() + "QMT_Kordalin_" + number + ".cab";
    }
    ContentTree tree;
};

// A path as the package list orders it: the letters A-Z folded onto a-z.
std::string Folded(std::string path) {
    for (char& c : path)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return path;
}

std::size_t LogsTagged(const std::string& tag) {
    return static_cast<std::size_t>(std::count_if(Fake().calls.begin(), Fake().calls.end(), [&](const std::string& call) {
        return call.rfind("Log(" + tag + ", ", 0) == 0;
    }));
}

}  // namespace

// A base and two numbered packages, found in any order: sorted; the old subdirectory set
// aside just before the base package and deleted once it is in place; each package
// unpacked, then deleted.
TEST_F(PackagesTest, BaseThenNumberedInOrder) {
    for (const char* n : {"002", "000", "001"}) tree.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
    tree.AddPackage("unrelated.cab");
    tree.AddPackage("Kordex\\stale.html");
    EXPECT_EQ(Install(), 0);
    std::string content = tree.Content();
    Calls expected = {
        "Sort(1, 0)",
        "InstallCab(" + Package("000") + ", " + content + ", 1, 0)",
        "RemoveDirTree(" + content + "Kordex.old, 1)",
        "SafeDeleteFile(" + Package("000") + ")",
        "InstallCab(" + Package("001") + ", " + content + ", 1, 0)",
        "SafeDeleteFile(" + Package("001") + ")",
        "InstallCab(" + Package("002") + ", " + content + ", 1, 0)",
        "SafeDeleteFile(" + Package("002") + ")",
    };
    EXPECT_EQ(CallsOf({"Sort", "RemoveDirTree", "InstallCab", "SafeDeleteFile"}), expected);
    for (const char* gone : {"Kordex", "Kordex.old", "Kordex.del"}) EXPECT_FALSE(tree.HasFile(gone)) << gone;
    auto appended = CallsOf({"AppendValue"});
    std::sort(appended.begin(), appended.end());
    EXPECT_EQ(appended, (Calls{"AppendValue(" + Folded(Package("000")) + ", " + Package("000") + ")",
                               "AppendValue(" + Folded(Package("001")) + ", " + Package("001") + ")",
                               "AppendValue(" + Folded(Package("002")) + ", " + Package("002") + ")"}));
    EXPECT_EQ(Fake().calls.front(), "CMemInf((null), (null))");
    EXPECT_TRUE(CallsNamed("Log").empty());
    EXPECT_EQ(Fake().listsAlive, 0);
}

// A base package that is not in place, for any reason, leaves the old subdirectory as it
// was (whatever the host wrote into it goes first) and keeps the packages after it back
// for the next run: unpacked over the old content, they would be lost with it when the
// base package comes again.
TEST_F(PackagesTest, ABasePackageNotInPlaceLeavesTheOldSubdirectoryAndWhatFollows) {
    struct Case { const char* scenario; bool hadOld, failUnpack, leaveFiles, failDelete, blockSetAside; int unpacks; };
    const Case cases[] = {
        {"damaged", true, true, false, false, false, 1},
        {"damaged, the host left files", true, true, true, false, false, 1},
        {"damaged, no old subdirectory, the host left files", false, true, true, false, false, 1},
        {"a file in the way of the set-aside name", true, false, false, false, true, 0},
        {"unpacked but not deleted", true, false, false, true, false, 1},
    };
    for (const Case& c : cases) {
        ResetFake();
        ContentTree fresh;
        for (const char* n : {"000", "001", "002"}) fresh.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
        if (c.hadOld) fresh.AddPackage("Kordex\\old\\page.html");
        if (c.blockSetAside) fresh.AddPackage("Kordex.old");
        std::string base = fresh.Content() + "QMT_Kordalin_000.cab";
        if (c.failUnpack) Fake().failingCabinets.insert(base);
        if (c.leaveFiles) Fake().failedCabinetLeaves = "Kordex\\new\\a.html";
        if (c.failDelete) Fake().undeletableFiles.insert(base);

        EXPECT_EQ(InstallContentPackages(fresh.Content().c_str(), "QMT_Kordalin*.cab"), -1) << c.scenario;
        EXPECT_EQ(CallsNamed("InstallCab").size(), static_cast<std::size_t>(c.unpacks)) << c.scenario;
        for (const char* n : {"000", "001", "002"}) EXPECT_TRUE(fresh.HasFile(std::string("QMT_Kordalin_") + n + ".cab")) << c.scenario;
        EXPECT_EQ(LogsTagged("_KeepPackage()"), 2u) << c.scenario;
        EXPECT_FALSE(fresh.HasFile("Kordex\\new")) << c.scenario;
        EXPECT_EQ(fresh.HasFile("Kordex\\old\\page.html"), c.hadOld && !c.failDelete) << c.scenario;
        EXPECT_EQ(fresh.HasFile("Kordex.old"), c.blockSetAside) << c.scenario;
        EXPECT_FALSE(fresh.HasFile("Kordex.del")) << c.scenario;
    }
}

// Putting the old subdirectory back fails when what the host left cannot be renamed out
// of the way (something named Kordex.del that will not go is in the way): the old tree
// stays set aside, the log says so, and once what the host left is gone (our host rolls
// its unfinished commit back when the lock is next asked for) the next run puts it back
// first.
TEST_F(PackagesTest, AnOldSubdirectoryThatCannotGoBackStaysSetAside) {
    tree.AddPackage("QMT_Kordalin_000.cab");
    tree.AddPackage("Kordex\\old\\page.html");
    tree.AddPackage("Kordex.del\\stuck.html");
    Fake().failingCabinets.insert(Package("000"));
    Fake().failedCabinetLeaves = "Kordex\\new\\a.html";
    Fake().failingTrees.insert(tree.Content() + "Kordex.del");
    EXPECT_EQ(Install(), -1);
    EXPECT_TRUE(tree.HasFile("Kordex.old\\old\\page.html"));
    ASSERT_EQ(CallsNamed("Log").size(), 1u);
    EXPECT_NE(CallsNamed("Log")[0].find(tree.Content() + "Kordex.old: could not be put back"), std::string::npos);

    Fake().failingTrees.clear();
    std::filesystem::remove_all(tree.Dir().Below("shared\\velm\\kordalin\\Kordex"));
    EXPECT_TRUE(RecoverSubdirectory(tree.Content().c_str()));
    EXPECT_TRUE(tree.HasFile("Kordex\\old\\page.html"));
    EXPECT_FALSE(tree.HasFile("Kordex\\new"));
    EXPECT_FALSE(tree.HasFile("Kordex.old"));
    EXPECT_FALSE(tree.HasFile("Kordex.del"));
}

// Strictly in order: the first package not in place (not unpacked, or unpacked and not
// deleted) keeps every later one back, each logged; a later package put in place first
// would be overwritten when the earlier one comes again.
TEST_F(PackagesTest, TheFirstPackageNotInPlaceKeepsTheLaterOnesBack) {
    for (bool undeletable : {false, true}) {
        ResetFake();
        ContentTree fresh;
        for (const char* n : {"000", "001", "002", "003"}) fresh.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
        std::string second = fresh.Content() + "QMT_Kordalin_001.cab";
        (undeletable ? Fake().undeletableFiles : Fake().failingCabinets).insert(second);
        EXPECT_EQ(InstallContentPackages(fresh.Content().c_str(), "QMT_Kordalin*.cab"), -1);
        EXPECT_EQ(CallsNamed("InstallCab").size(), 2u) << undeletable;
        EXPECT_EQ(CallsNamed("SafeDeleteFile").size(), undeletable ? 2u : 1u);
        ASSERT_EQ(LogsTagged("_KeepPackage()"), 2u) << undeletable;
        EXPECT_NE(CallsNamed("Log").back().find("QMT_Kordalin_003.cab: not unpacked, it stays for the next run to "
                                                "follow QMT_Kordalin_001.cab"), std::string::npos);
    }
}

// Letter case does not reorder: capitals sort before small letters by byte value, but
// QMT_KORDALIN_001.CAB still follows the base package QMT_Kordalin_000.cab.
TEST_F(PackagesTest, LetterCaseDoesNotReorder) {
    tree.AddPackage("QMT_KORDALIN_001.CAB");
    tree.AddPackage("QMT_Kordalin_000.cab");
    EXPECT_EQ(Install(), 0);
    EXPECT_EQ(CallsNamed("InstallCab"), (Calls{"InstallCab(" + Package("000") + ", " + tree.Content() + ", 1, 0)",
                                               "InstallCab(" + tree.Content() + "QMT_KORDALIN_001.CAB, " +
                                                   tree.Content() + ", 1, 0)"}));
}

// No package: 0, no list made, nothing touched.
TEST_F(PackagesTest, NothingFoundTouchesNothing) {
    tree.AddPackage("QMT_Other_000.cab");
    EXPECT_EQ(Install(), 0);
    EXPECT_TRUE(Fake().calls.empty());
    EXPECT_EQ(Fake().listsMade, 0);
}

#if !defined(_WIN32)
// A folder the search cannot get into (a link loop: ELOOP) is not one without packages. The
// Windows suites fail the search itself, in the every-step test.
TEST_F(PackagesTest, AFolderThatCannotBeSearchedFailsTheRun) {
    std::filesystem::create_directory_symlink("loop", tree.Dir().Below("loop"));
    std::string content = tree.Dir().Text() + "\\loop\\";
    EXPECT_EQ(InstallContentPackages(content.c_str(), "QMT_Kordalin*.cab"), -1);
    EXPECT_EQ(Fake().calls, (Calls{"CMemInf((null), (null))", "Log(_FindPackages(), " + content +
                                   "QMT_Kordalin*.cab: the folder could not be searched (Too many levels of symbolic "
                                   "links); nothing unpacked)"}));
}
#endif

// Names match whatever their letter case.
TEST_F(PackagesTest, MatchIgnoresLetterCase) {
    tree.AddPackage("qmt_kordalin_003.CAB");
    EXPECT_EQ(Install(), 0);
    EXPECT_EQ(CallsNamed("InstallCab"), (Calls{"InstallCab(" + tree.Content() + "qmt_kordalin_003.CAB, " +
                                               tree.Content() + ", 1, 0)"}));
}

// A host call that throws while the list exists: the list is still released.
TEST_F(PackagesTest, ThrowingHostCallReleasesTheList) {
    for (const char* call : {"InstallCab", "Sort", "SafeDeleteFile", "RemoveDirTree", "AppendValue"}) {
        ContentTree fresh;
        for (const char* n : {"000", "001"}) fresh.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
        fresh.AddPackage("Kordex\\page.html");  // an old subdirectory, removed once the base is in
        ResetFake();
        Fake().throwOn = call;
        EXPECT_THROW(InstallContentPackages(fresh.Content().c_str(), "QMT_Kordalin*.cab"), FakeHostError) << call;
        EXPECT_EQ(Fake().listsMade, 1) << call;
        EXPECT_EQ(Fake().listsAlive, 0) << call;
    }
}

// Only the file name makes a base package: a content directory below "Data_000.1" must not
// clear the subdirectory before every package.
TEST(PackagesBaseRule, DirectoryNamedLikeABasePackageDoesNotCount) {
    ResetFake();
    ScratchDir dir;
    dir.Write("Data_000.1\\kordalin\\QMT_Kordalin_001.cab");
    dir.Write("Data_000.1\\kordalin\\QMT_Kordalin_002.cab");
    std::string content = dir.Text() + "\\Data_000.1\\kordalin\\";
    EXPECT_EQ(InstallContentPackages(content.c_str(), "QMT_Kordalin*.cab"), 0);
    EXPECT_TRUE(CallsNamed("RemoveDirTree").empty());

    dir.Write("Data_000.1\\kordalin\\QMT_Kordalin_000.cab");
    dir.Write("Data_000.1\\kordalin\\Kordex\\page.html");
    ResetFake();
    EXPECT_EQ(InstallContentPackages(content.c_str(), "QMT_Kordalin*.cab"), 0);
    EXPECT_EQ(CallsNamed("RemoveDirTree"), (Calls{"RemoveDirTree(" + content + "Kordex.old, 1)"}));
}

// Paths at the bound: a content directory of 239 bytes names "QMT_Kordalin_000.cab" in 259;
// at 240 the name no longer fits (that package is left, -1); at 243 not even the pattern.
TEST(PackagesBounds, ContentDirectoryAtAndPastThePathBound) {
    for (std::size_t length : {239u, 240u, 243u}) {
        ResetFake();
        ScratchDir dir;
        std::string base = dir.Text() + "\\";
        std::string padding(length - base.size() - 1, 'p');
        std::string content = base + padding + "\\";
        ASSERT_EQ(content.size(), length);
        dir.Write(padding + "\\QMT_Kordalin_000.cab");
        int result = InstallContentPackages(content.c_str(), "QMT_Kordalin*.cab");
        if (length == 239) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(CallsNamed("InstallCab").size(), 1u);
        } else {
            EXPECT_EQ(result, -1) << length;
            EXPECT_TRUE(CallsNamed("InstallCab").empty()) << length;
            EXPECT_TRUE(CallsNamed("RemoveDirTree").empty()) << length;
            if (length == 240) {
                EXPECT_EQ(CallsNamed("Log"), (Calls{"Log(_BuildContentPath(), QMT_Kordalin_000.cab)"}));
            }
        }
    }
}
