// The extension's bounded text operations, at and past every bound.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "extension/bounded_text.h"
#include "extension/exports.h"

namespace {

// A buffer with guard bytes on both sides, to see any write past its size.
template <std::size_t N>
struct Guarded {
    char before[8];
    char buffer[N];
    char after[8];
    Guarded() {
        std::memset(before, 'G', sizeof before);
        std::memset(buffer, 'B', sizeof buffer);
        std::memset(after, 'G', sizeof after);
    }
    bool GuardsIntact() const {
        for (char c : before) if (c != 'G') return false;
        for (char c : after) if (c != 'G') return false;
        return true;
    }
};

}  // namespace

// A text of size-1 bytes fits; one more byte does not and leaves the buffer empty.
TEST(BoundedText, CopyFitsUpToTheTerminatorAndNoFurther) {
    Guarded<16> g;
    EXPECT_TRUE(CopyText(g.buffer, std::string(15, 'a').c_str()));
    EXPECT_EQ(std::string(g.buffer), std::string(15, 'a'));
    EXPECT_FALSE(CopyText(g.buffer, std::string(16, 'a').c_str()));
    EXPECT_STREQ(g.buffer, "");
    EXPECT_FALSE(CopyText(g.buffer, std::string(4000, 'a').c_str()));
    EXPECT_TRUE(g.GuardsIntact());
}

// Appending to the bound fits; one past it empties the buffer rather than cutting.
TEST(BoundedText, AppendNeverCutsAPath) {
    Guarded<16> g;
    ASSERT_TRUE(CopyText(g.buffer, "C:\\dir\\"));  // 7 bytes
    EXPECT_TRUE(AppendText(g.buffer, "12345678"));  // 15 bytes
    EXPECT_STREQ(g.buffer, "C:\\dir\\12345678");
    ASSERT_TRUE(CopyText(g.buffer, "C:\\dir\\"));
    EXPECT_FALSE(AppendText(g.buffer, "123456789"));  // would be 16
    EXPECT_STREQ(g.buffer, "");
    EXPECT_TRUE(g.GuardsIntact());
}

// The cutting copy keeps size-1 bytes and always terminates.
TEST(BoundedText, CutCopyKeepsWhatFits) {
    Guarded<8> g;
    EXPECT_TRUE(CopyTextCut(g.buffer, sizeof g.buffer, "1234567"));
    EXPECT_STREQ(g.buffer, "1234567");
    EXPECT_FALSE(CopyTextCut(g.buffer, sizeof g.buffer, "12345678"));
    EXPECT_STREQ(g.buffer, "1234567");
    EXPECT_TRUE(g.GuardsIntact());
}

// The cutting append fills up to size-1 bytes, cuts what is past them, and appends
// nothing more to a full buffer.
TEST(BoundedText, CutAppendKeepsWhatFits) {
    Guarded<8> g;
    ASSERT_TRUE(CopyText(g.buffer, "123"));
    EXPECT_TRUE(AppendTextCut(g.buffer, sizeof g.buffer, "4567"));
    EXPECT_STREQ(g.buffer, "1234567");
    EXPECT_FALSE(AppendTextCut(g.buffer, sizeof g.buffer, "8"));
    EXPECT_TRUE(AppendTextCut(g.buffer, sizeof g.buffer, ""));
    ASSERT_TRUE(CopyText(g.buffer, "123"));
    EXPECT_FALSE(AppendTextCut(g.buffer, sizeof g.buffer, "45678"));
    EXPECT_STREQ(g.buffer, "1234567");
    EXPECT_TRUE(g.GuardsIntact());
}

// The file name starts after the last separator; a bare name is its own file name.
TEST(BoundedText, FileNameIsAfterTheLastSeparator) {
    EXPECT_STREQ(FileNameOf("C:\\Data_000.1\\kordalin\\QMT_Kordalin_001.cab"), "QMT_Kordalin_001.cab");
    EXPECT_STREQ(FileNameOf("QMT_Kordalin_000.cab"), "QMT_Kordalin_000.cab");
    EXPECT_STREQ(FileNameOf("C:\\dir\\"), "");
}

// Only A-Z fold; bytes of 0x80 and above (here cp1252 capital and small A umlaut) differ.
TEST(BoundedText, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(EqualIgnoringAsciiCase("C:\\PROG", "c:\\prog"));
    EXPECT_TRUE(EqualIgnoringAsciiCase("", ""));
    EXPECT_FALSE(EqualIgnoringAsciiCase("C:\\PROG", "C:\\PROG\\"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("C:\\PROG\\SUB", "C:\\PROG"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("C:\\\xC4RGER", "C:\\\xE4RGER"));
    EXPECT_TRUE(EqualIgnoringAsciiCase("C:\\\xC4rger", "c:\\\xC4RGER"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("@", "`"));  // neighbours of the letters do not fold
    EXPECT_FALSE(EqualIgnoringAsciiCase("[", "{"));
}

// The script path beside the module: the file name is replaced, within the bound.
TEST(BoundedText, ScriptFileReplacesTheModuleFileName) {
    char path[260] = "C:\\dir\\x.dll";
    EXPECT_TRUE(ReplaceFileName(path, sizeof path, "Kordex.inf"));
    EXPECT_STREQ(path, "C:\\dir\\Kordex.inf");
    char bare[260] = "x.dll";
    EXPECT_TRUE(ReplaceFileName(bare, sizeof bare, "Kordex.inf"));
    EXPECT_STREQ(bare, "Kordex.inf");
}

// A directory of 249 bytes plus "Kordex.inf" is 259 and fits; one more byte does not.
TEST(BoundedText, ScriptFileAtAndPastThePathBound) {
    Guarded<260> g;
    std::string dir = "C:\\" + std::string(245, 'd') + "\\";  // 249 bytes
    std::strcpy(g.buffer, (dir + "a.dll").c_str());
    EXPECT_TRUE(ReplaceFileName(g.buffer, sizeof g.buffer, "Kordex.inf"));
    EXPECT_EQ(std::strlen(g.buffer), 259u);
    std::strcpy(g.buffer, ("C:\\" + std::string(246, 'd') + "\\a.dll").c_str());
    EXPECT_FALSE(ReplaceFileName(g.buffer, sizeof g.buffer, "Kordex.inf"));
    EXPECT_STREQ(g.buffer, "");
    EXPECT_TRUE(g.GuardsIntact());
}
