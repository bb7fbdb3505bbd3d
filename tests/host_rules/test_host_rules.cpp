// The host's pure rules: path joining, upper-casing, version order, the key/value list
// and the names a cabinet may write.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "corvane/cabinet_names.h"
#include "corvane/host_rules.h"
#include "host/corvane.h"

using host_rules::CompareVersionTexts;
using host_rules::JoinPath;

namespace {
bool Accepted(const std::string& stored, std::string& relative) {
    return CheckCabinetName(stored, relative).fault == NameFault::None;
}
}  // namespace

// One backslash between directory and name, whatever each side brings.
TEST(JoinPath, JoinsWithOneBackslash) {
    char out[CORVANE_PATH_SIZE];
    ASSERT_TRUE(JoinPath(out, "C:\\root", "shared\\velm\\kordalin\\"));
    EXPECT_STREQ(out, "C:\\root\\shared\\velm\\kordalin\\");
    ASSERT_TRUE(JoinPath(out, "C:\\root\\", "x"));
    EXPECT_STREQ(out, "C:\\root\\x");
    ASSERT_TRUE(JoinPath(out, "C:\\root\\", "\\x"));
    EXPECT_STREQ(out, "C:\\root\\x");
    ASSERT_TRUE(JoinPath(out, "", "x"));
    EXPECT_STREQ(out, "x");
}

// 259 bytes fit; 260 do not and give an empty result, never a cut one.
TEST(JoinPath, AtAndPastThePathBound) {
    char guard[CORVANE_PATH_SIZE + 8];
    std::memset(guard, 'G', sizeof guard);
    std::string dir = "C:\\" + std::string(250, 'd');  // 253 bytes, plus "\" and the name
    EXPECT_TRUE(JoinPath(guard, dir.c_str(), "12345"));
    EXPECT_EQ(std::strlen(guard), 259u);
    EXPECT_FALSE(JoinPath(guard, dir.c_str(), "123456"));
    EXPECT_STREQ(guard, "");
    EXPECT_FALSE(JoinPath(guard, std::string(5000, 'd').c_str(), "x"));
    for (std::size_t i = CORVANE_PATH_SIZE; i < sizeof guard; ++i) EXPECT_EQ(guard[i], 'G');
}

// A text handed to a caller's buffer: whole with its terminator, or not at all; nothing
// is written past the size given, and a buffer of no bytes is not written.
TEST(CopyIfFits, AtAndPastItsBound) {
    struct Case { std::size_t size, length; bool fits; };
    for (const Case& c : {Case{8, 7, true}, Case{8, 8, false}, Case{8, 9, false}, Case{1, 0, true}, Case{0, 0, false}}) {
        char guard[16];
        std::memset(guard, 'G', sizeof guard);
        std::string text(c.length, 't');
        EXPECT_EQ(host_rules::CopyIfFits(guard, c.size, text), c.fits) << c.size << " " << c.length;
        if (c.size > 0) {
            EXPECT_EQ(std::string(guard), c.fits ? text : "") << c.size << " " << c.length;
        }
        for (std::size_t i = c.size; i < sizeof guard; ++i) EXPECT_EQ(guard[i], 'G') << c.size << " " << c.length;
    }
    EXPECT_FALSE(host_rules::CopyIfFits(nullptr, 8, "x"));
}

// Only a-z are upper-cased; bytes of 0x80 and above stay.
TEST(UpperAscii, LeavesEverythingButAsciiLetters) {
    char text[] = "diag -ws news \xE4\xFF{}";
    host_rules::UpperAscii(text);
    EXPECT_STREQ(text, "DIAG -WS NEWS \xE4\xFF{}");
}

// Four numbers in order; anything that is no version ranks below 0.0.0.0.
TEST(VersionOrder, RanksRealVersionsAboveMissingOnes) {
    EXPECT_GT(CompareVersionTexts("5.1.1.0", "5.1.0.9"), 0);
    EXPECT_LT(CompareVersionTexts("5.1.0.9", "5.1.1.0"), 0);
    EXPECT_EQ(CompareVersionTexts("5.1.1.0", "5.1.1.0"), 0);
    EXPECT_GT(CompareVersionTexts("10.0.0.0", "9.9.9.9"), 0);  // numbers, not text
    EXPECT_GT(CompareVersionTexts("0.0.0.0", host_rules::kNoFileVersion), 0);
    EXPECT_GT(CompareVersionTexts("0.0.0.0", host_rules::kNoVersionResource), 0);
    EXPECT_LT(CompareVersionTexts("", "0.0.0.0"), 0);
    EXPECT_EQ(CompareVersionTexts(host_rules::kNoFileVersion, host_rules::kNoVersionResource), 0);
    EXPECT_EQ(CompareVersionTexts("5.1", "5.1.0.0"), 0);
}

// Malformed texts are no versions: no overflow, no stray characters, at most four parts.
TEST(VersionOrder, RejectsMalformedTexts) {
    unsigned long parts[4];
    for (const char* bad : {"", ".", "1.", "1..2", "a.b.c.d", "1.2.3.4.5", "65536.0.0.0",
                            "99999999999999999999", "1.2.3.4 ", "-1.0.0.0"})
        EXPECT_FALSE(host_rules::ParseVersionText(bad, parts)) << bad;
    EXPECT_TRUE(host_rules::ParseVersionText("65535.0.0.1", parts));
    EXPECT_EQ(parts[0], 65535ul);
    EXPECT_EQ(parts[3], 1ul);
}

// The list sorts by unsigned byte value and keeps its own copies.
TEST(MemInf, SortsByUnsignedBytesAndKeepsCopies) {
    CMemInf list(nullptr, nullptr);
    char key[32];
    for (const char* k : {"b", "\xE4", "B", "a", "A", "\x80"}) {
        std::strcpy(key, k);
        list.AppendValue(key, "1");
    }
    std::strcpy(key, "overwritten");
    list.Sort(1, 0);
    std::string order;
    char *k, *v;
    for (int more = list.GetFirstValue(k, v); more; more = list.GetNextValue(k, v)) {
        order += k;
        order += ',';
        EXPECT_STREQ(v, "1");
    }
    EXPECT_EQ(order, "A,B,a,b,\x80,\xE4,");
}

// Every name that would leave the destination, or that Windows would not write under that
// very name, is refused with what is wrong with it (an escape before anything else);
// safe names pass, '/' turned.
TEST(CabinetNames, RefusesEveryUnsafeNameWithItsFault) {
    struct Case { const char* name; NameFault fault; unsigned char character; } cases[] = {
        {"..\\x", NameFault::Escapes, 0}, {"a\\..\\..\\x", NameFault::Escapes, 0}, {"../x", NameFault::Escapes, 0},
        {"a/../../x", NameFault::Escapes, 0}, {"\\x", NameFault::Escapes, 0}, {"/x", NameFault::Escapes, 0},
        {"C:\\x", NameFault::Escapes, 0}, {"C:x", NameFault::Escapes, 0}, {"\\\\server\\share\\x", NameFault::Escapes, 0},
        {"//server/share/x", NameFault::Escapes, 0}, {"...\\x", NameFault::Escapes, 0}, {".. \\x", NameFault::Escapes, 0},
        {"a?b\\..\\..\\x", NameFault::Escapes, 0},
        {"x:stream", NameFault::Escapes, 0}, {"page:stream", NameFault::Character, ':'},
        {"a*b", NameFault::Character, '*'}, {"a\nb", NameFault::Character, '\n'},
        {"Kordex\\\xE2\xC5?\xD4.html", NameFault::Character, '?'}, {"a|b", NameFault::Character, '|'},
        {"", NameFault::Malformed, 0}, {"a\\", NameFault::Malformed, 0}, {"a\\\\b", NameFault::Malformed, 0},
        {"a\\.\\b", NameFault::Malformed, 0}, {"page.", NameFault::Malformed, 0}, {"page ", NameFault::Malformed, 0},
        {"Kordex\\nul.html", NameFault::Device, 0},
        {"~ck99\\page.txt", NameFault::WorkName, 0}, {"Kordex/~CK1A4.s/x", NameFault::WorkName, 0},
        {"notes.txt.~ck99", NameFault::WorkName, 0}, {"a\\b.~Ckffffffff", NameFault::WorkName, 0},
    };
    std::string relative;
    for (const Case& c : cases) {
        NameCheck check = CheckCabinetName(c.name, relative);
        EXPECT_EQ(check.fault, c.fault) << c.name;
        EXPECT_EQ(check.character, c.character) << c.name;
    }
    EXPECT_TRUE(Accepted("Kordex/sub/page.html", relative));
    EXPECT_EQ(relative, "Kordex\\sub\\page.html");
    EXPECT_TRUE(Accepted("a..b\\.hidden", relative));
    EXPECT_TRUE(Accepted("caf\xC3\xA9.txt", relative));
    // Only the host's very work names: a mark among other text, or with a tail, is content.
    for (const char* plain : {"~ck", "~ckg1", "~ck123456789", "x~ck99", "~ck99.txt", "~ck99.ss", ".~ck99", "a.~ck", "a.~ck9z"})
        EXPECT_TRUE(Accepted(plain, relative)) << plain;
}

// Names Windows takes for devices, with any extension, in any folder and letter case,
// are refused (and said to be devices); names that only begin alike pass.
TEST(CabinetNames, RefusesDeviceNames) {
    std::string relative;
    for (const char* device : {"CON", "con.txt", "Kordex\\nul.html", "Kordex/aux/page.html", "PRN", "com1",
                               "COM9.log", "lpt1", "LPT9.x.y", "CONIN$", "conout$.txt", "nul .txt"}) {
        EXPECT_EQ(CheckCabinetName(device, relative).fault, NameFault::Device) << device;
    }
    for (const char* plain : {"console.txt", "com10", "COM0", "lpt", "nul_x", "com.txt", "Kordex\\connect.html",
                              "xcon", "auxiliary\\a"}) {
        EXPECT_TRUE(Accepted(plain, relative)) << plain;
    }
}
