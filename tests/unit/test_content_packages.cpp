// Unpacking the content packages: order, the base package rule, one overall result, the
// list released on every way out, and paths at the 260-byte bound.
#include <algorithm>

#include "extension/content_packages.h"
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

}  // namespace

// A base and two numbered packages, found in any order: sorted, the subdirectory cleared
// just before the base package only, each unpacked and then deleted.
TEST_F(PackagesTest, BaseThenNumberedInOrder) {
    for (const char* n : {"002", "000", "001"}) tree.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
    tree.AddPackage("unrelated.cab");
    EXPECT_EQ(Install(), 0);
    std::string content = tree.Content();
    Calls expected = {
        "Sort(1, 0)",
        "BuildPath(" + content + ", Kordex)",
        "RemoveDirTree(" + content + "Kordex, 1)",
        "InstallCab(" + Package("000") + ", " + content + ", 1, 0)",
        "SafeDeleteFile(" + Package("000") + ")",
        "InstallCab(" + Package("001") + ", " + content + ", 1, 0)",
        "SafeDeleteFile(" + Package("001") + ")",
        "InstallCab(" + Package("002") + ", " + content + ", 1, 0)",
        "SafeDeleteFile(" + Package("002") + ")",
    };
    EXPECT_EQ(CallsOf({"Sort", "BuildPath", "RemoveDirTree", "InstallCab", "SafeDeleteFile"}), expected);
    auto appended = CallsOf({"AppendValue"});
    std::sort(appended.begin(), appended.end());
    EXPECT_EQ(appended, (Calls{"AppendValue(" + Package("000") + ", 1)", "AppendValue(" + Package("001") + ", 1)",
                               "AppendValue(" + Package("002") + ", 1)"}));
    EXPECT_EQ(Fake().calls.front(), "CMemInf((null), (null))");
    EXPECT_EQ(Fake().listsAlive, 0);
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
    for (const char* n : {"000", "001"}) tree.AddPackage(std::string("QMT_Kordalin_") + n + ".cab");
    for (const char* call : {"InstallCab", "Sort", "SafeDeleteFile", "RemoveDirTree", "AppendValue"}) {
        ResetFake();
        Fake().throwOn = call;
        EXPECT_THROW(Install(), FakeHostError) << call;
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
    ResetFake();
    EXPECT_EQ(InstallContentPackages(content.c_str(), "QMT_Kordalin*.cab"), 0);
    EXPECT_EQ(CallsNamed("RemoveDirTree").size(), 1u);
    EXPECT_EQ(CallsOf({"RemoveDirTree", "InstallCab"}).at(0), "RemoveDirTree(" + content + "Kordex, 1)");
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
