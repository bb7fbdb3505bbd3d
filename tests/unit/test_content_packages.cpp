// Unpacking the content packages: order, the base package rule, one overall result, the
// list released on every way out, and paths at the 260-byte bound.
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

std::size_t LogsTagged(const std::string& tag) {
    return static_cast<std::size_t>(std::count_if(Fake().calls.begin(), Fake().calls.end(), [&](const std::string& call) {
        return call.rfind("Log(" + tag + ", ", 0) == 0;
    }));
}

}  // namespace

// A base and two numbered packages, found in any order: sorted; the old subdirectory set
// aside just before the base package and deleted once it is in place (renamed first, so
// that it is never taken for a tree to put back); each package unpacked, then deleted.
TEST_F(PackagesTest, BaseThenNumberedInOrder) {
    for (const char* n : {"002", "000", "001"}) tree.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
    tree.AddPackage("unrelated.cab");
    tree.AddPackage("Kordex\\stale.html");
    EXPECT_EQ(Install(), 0);
    std::string content = tree.Content();
    Calls expected = {
        "Sort(1, 0)",
        "InstallCab(" + Package("000") + ", " + content + ", 1, 0)",
        "RemoveDirTree(" + content + "Kordex.del, 1)",
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
    EXPECT_EQ(appended, (Calls{"AppendValue(" + Package("000") + ", 1)", "AppendValue(" + Package("001") + ", 1)",
                               "AppendValue(" + Package("002") + ", 1)"}));
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

// Putting the old subdirectory back fails when what the host left cannot be removed: the
// old tree stays set aside, the log says so, and the next run puts it back first.
TEST_F(PackagesTest, AnOldSubdirectoryThatCannotGoBackStaysSetAside) {
    tree.AddPackage("QMT_Kordalin_000.cab");
    tree.AddPackage("Kordex\\old\\page.html");
    Fake().failingCabinets.insert(Package("000"));
    Fake().failedCabinetLeaves = "Kordex\\new\\a.html";
    Fake().failingTrees.insert(tree.Content() + "Kordex");
    EXPECT_EQ(Install(), -1);
    EXPECT_TRUE(tree.HasFile("Kordex.old\\old\\page.html"));
    ASSERT_EQ(CallsNamed("Log").size(), 1u);
    EXPECT_NE(CallsNamed("Log")[0].find(tree.Content() + "Kordex.old: could not be put back"), std::string::npos);

    Fake().failingTrees.clear();
    EXPECT_TRUE(RecoverSubdirectory(tree.Content().c_str()));
    EXPECT_TRUE(tree.HasFile("Kordex\\old\\page.html"));
    EXPECT_FALSE(tree.HasFile("Kordex\\new"));
    EXPECT_FALSE(tree.HasFile("Kordex.old"));
}

// The second of three fails to unpack: first and third done, second left, result -1.
TEST_F(PackagesTest, OneFailedUnpackLeavesThatPackageAndFails) {
    for (const char* n : {"000", "001", "002"}) tree.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
    Fake().failingCabinets.insert(Package("001"));
    EXPECT_EQ(Install(), -1);
    EXPECT_EQ(CallsOf({"InstallCab", "SafeDeleteFile"}).size(), 5u);
    EXPECT_EQ(CallsNamed("SafeDeleteFile"),
              (Calls{"SafeDeleteFile(" + Package("000") + ")", "SafeDeleteFile(" + Package("002") + ")"}));
}

// A package that unpacks but cannot be deleted fails the run; the others go on.
TEST_F(PackagesTest, UndeletablePackageFails) {
    for (const char* n : {"001", "002"}) tree.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
    Fake().undeletableFiles.insert(Package("001"));
    EXPECT_EQ(Install(), -1);
    EXPECT_EQ(CallsNamed("InstallCab").size(), 2u);
    EXPECT_TRUE(CallsNamed("RemoveDirTree").empty());
}

// No package: 0, no list made, nothing touched.
TEST_F(PackagesTest, NothingFoundTouchesNothing) {
    tree.AddPackage("QMT_Other_000.cab");
    EXPECT_EQ(Install(), 0);
    EXPECT_TRUE(Fake().calls.empty());
    EXPECT_EQ(Fake().listsMade, 0);
}

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
    EXPECT_EQ(CallsNamed("RemoveDirTree"), (Calls{"RemoveDirTree(" + content + "Kordex.del, 1)"}));
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
