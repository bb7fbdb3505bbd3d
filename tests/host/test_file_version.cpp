// GetFileVersion on real files and the order VerCompare gives their versions.
#include <gtest/gtest.h>

#include <string>

#include "host/corvane.h"
#include "host_test_support.h"

namespace {

std::string VersionOf(const std::string& file, std::string* text = nullptr) {
    char version[CORVANE_TEXT_SIZE] = "sentinel";
    char scratch[CORVANE_TEXT_SIZE] = "sentinel";
    GetFileVersion(file.c_str(), version, scratch);
    if (text) *text = scratch;
    return version;
}

}  // namespace

// The fixed file version as a.b.c.d; the string version goes to the scratch buffer.
TEST(GetFileVersion, ReadsTheFixedFileVersion) {
    std::string text;
    EXPECT_EQ(VersionOf(BinDir() + "\\WSKORDALIN.DLL", &text), "5.1.1.0");
    EXPECT_EQ(text, "5.1.001");
    EXPECT_EQ(VersionOf(BinDir() + "\\version_5_1_0_9.dll"), "5.1.0.9");
    EXPECT_EQ(VersionOf(BinDir() + "\\version_0_0_0_0.dll"), "0.0.0.0");
}

// Newer, older, equal, missing and unversioned files rank as a first installation needs.
TEST(GetFileVersion, RanksMissingAndUnversionedBelowEverything) {
    ScratchDir dir;
    dir.Write("plain.txt", "no version here");
    std::string current = VersionOf(BinDir() + "\\WSKORDALIN.DLL");
    std::string older = VersionOf(BinDir() + "\\version_5_1_0_9.dll");
    std::string zero = VersionOf(BinDir() + "\\version_0_0_0_0.dll");
    std::string missing = VersionOf(dir.Text() + "\\absent.dll");
    std::string plain = VersionOf(dir.Text() + "\\plain.txt");
    std::string noResource = VersionOf(BinDir() + "\\lock_holder.exe");
    EXPECT_GT(VerCompare(current.c_str(), older.c_str()), 0);
    EXPECT_LT(VerCompare(older.c_str(), current.c_str()), 0);
    EXPECT_EQ(VerCompare(current.c_str(), current.c_str()), 0);
    for (const std::string* none : {&missing, &plain, &noResource}) {
        EXPECT_GT(VerCompare(zero.c_str(), none->c_str()), 0) << *none;
        EXPECT_GT(VerCompare(current.c_str(), none->c_str()), 0) << *none;
        EXPECT_LT(VerCompare(none->c_str(), zero.c_str()), 0) << *none;
    }
    EXPECT_EQ(missing, "none (file missing)");
    EXPECT_EQ(noResource, "none (no version resource)");
}
