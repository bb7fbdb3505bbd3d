// DEINSTALL against the recording fake host: the shared content goes only when the
// component lived in the destination root itself.
#include "extension/exports.h"
#include "unit_support.h"

namespace {

int Deinstall(const std::string& component, const std::string& root, const char* text = "diag") {
    ResetFake();
    DllMain(nullptr, WSK_PROCESS_ATTACH, nullptr);
    Fake().componentDir = component;
    Fake().destinationRoot = root;
    ScriptArgs args{text};
    return DEINSTALL(0, &args, "C:\\setup\\Kordex.inf");
}

bool Removed() { return !CallsOf({"RemoveDirTree", "RemoveFile"}).empty(); }

}  // namespace

// Equal but for ASCII letter case: the content tree, then the stylesheet, then the close.
TEST(Uninstall, RootComponentRemovesContentAndStylesheet) {
    EXPECT_EQ(Deinstall("C:\\PROG", "c:\\prog"), 1);
    Calls expected = {
        "Get(21, )",
        "BuildPath(c:\\prog, shared\\velm\\kordalin)",
        "RemoveDirTree(c:\\prog\\shared\\velm\\kordalin, 1)",
        "BuildPath(c:\\prog, shared\\velm)",
        "RemoveFile(c:\\prog\\shared\\velm, main.css)",
    };
    Calls seen(Fake().calls.begin() + 2, Fake().calls.end() - 1);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Fake().calls.back().rfind("_ExitSkript(", 0), 0u);
    EXPECT_TRUE(CallsNamed("UpString").empty());  // the command text is not looked at
    EXPECT_EQ(Fake().lastCommandText, "diag");
}

// Texts that differ are not the root: both empty, a trailing backslash, a subdirectory,
// and a byte of 0x80 and above in another case (cp1252 A umlaut, capital and small).
TEST(Uninstall, OtherComponentsLeaveTheContent) {
    struct { const char* component; const char* root; } cases[] = {
        {"", ""}, {"C:\\PROG\\", "C:\\PROG"}, {"C:\\PROG", "C:\\PROG\\"}, {"C:\\PROG\\SUB", "C:\\PROG"},
        {"C:\\\xC4RGER", "C:\\\xE4RGER"}, {"C:\\PROG", ""}, {"", "C:\\PROG"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Deinstall(c.component, c.root), 1) << c.component << " | " << c.root;
        EXPECT_FALSE(Removed()) << c.component << " | " << c.root;
        EXPECT_EQ(CallsNamed("_ExitSkript").size(), 1u);
    }
    EXPECT_EQ(Deinstall("C:\\\xC4rger", "c:\\\xC4RGER"), 1);  // same high byte, ASCII case differs
    EXPECT_TRUE(Removed());
}

// A root so long that a path does not fit: that path is never handed on cut off.
TEST(Uninstall, OverlongPathsAreNeverActedOn) {
    std::string root = "C:\\" + std::string(240, 'r');  // "shared\velm" fits, the content path not
    EXPECT_EQ(Deinstall(root, root), 1);
    EXPECT_TRUE(CallsNamed("RemoveDirTree").empty());
    EXPECT_EQ(CallsNamed("RemoveFile"), (Calls{"RemoveFile(" + root + "\\shared\\velm, main.css)"}));
}
