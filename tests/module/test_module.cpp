// The built WSKORDALIN.DLL as Windows sees it: its version block read through the
// version API, its exports looked up by name, its module entry at load.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "version.h"

namespace {

std::string BinDir() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

// The module beside this program, or the file WSK_MODULE names: a 64-bit test program
// reads the PE32 module's version block as file data, which needs no 32-bit code.
std::string ModulePath() {
    const char* named = std::getenv("WSK_MODULE");
    return named && *named ? named : BinDir() + "WSKORDALIN.DLL";
}

class VersionBlock : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(ModulePath().c_str(), &ignored);
        ASSERT_GT(size, 0u);
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(ModulePath().c_str(), 0, size, block_.data()));
    }
    std::string Value(const char* key) {
        char* text = nullptr;
        UINT size = 0;
        std::string query = std::string("\\StringFileInfo\\" WSK_STRING_TABLE "\\") + key;
        if (!VerQueryValueA(block_.data(), query.c_str(), reinterpret_cast<void**>(&text), &size))
            return "(missing)";
        return text ? text : "";
    }
    std::vector<char> block_;
};

}  // namespace

// The fixed part: versions, DLL type, operating-system field and flags.
TEST_F(VersionBlock, FixedPart) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block_.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 5));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(3, 10));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 0));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
}

// One translation, German with code page 1252, and the string table keyed to match.
TEST_F(VersionBlock, TranslationAndStrings) {
    WORD* translation = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block_.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &size));
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(translation[0], 0x0407);
    EXPECT_EQ(translation[1], 0x04E4);

    EXPECT_EQ(Value("FileVersion"), "5.1.001");
    EXPECT_EQ(Value("ProductVersion"), "10.3.000");
    EXPECT_EQ(Value("InternalName"), "WSKORDALIN");
    EXPECT_EQ(Value("OriginalFilename"), "WSKORDALIN.DLL");
    EXPECT_EQ(Value("FileDescription"), WSK_MAKER " Kordalin Extension Script");
    EXPECT_EQ(Value("LegalTrademarks"), "");
    EXPECT_EQ(Value("CompanyName"), WSK_MAKER);
    EXPECT_EQ(Value("ProductName"), WSK_PRODUCT_FAMILY);
    EXPECT_NE(Value("LegalCopyright").find(WSK_MAKER), std::string::npos);
}

// The version resource itself is filed under US English.
TEST(ModuleResources, VersionResourceIsFiledUnderUsEnglish) {
    HMODULE data = LoadLibraryExA(ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    EXPECT_NE(FindResourceExA(data, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              nullptr);
    EXPECT_EQ(FindResourceExA(data, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                              MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)),
              nullptr);
    FreeLibrary(data);
}

// The three entry points are found by their plain names, and only by those.
TEST(ModuleExports, FoundByUndecoratedName) {
    HMODULE module = LoadLibraryA(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    for (const char* name : {"POSTCOPY", "DEINSTALL", "WSKordalin"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    for (const char* name : {"_POSTCOPY@12", "POSTCOPY@12", "DllMain", "wskordalin"})
        EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
    FreeLibrary(module);
}

// Loaded by the system, the module entry records the handle: the host then sees the
// module's own directory (not the host library's or the program's) as module directory.
TEST(ModuleEntry, RunSeesTheModulesOwnDirectory) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string script = std::string(temp) + "wsk-module-test.inf";
    std::string log = std::string(temp) + "wsk-module-test.log";
    DeleteFileA(log.c_str());
    std::ofstream(script) << "[Setup]\nComponentDir=C:\\elsewhere\nDestinationRoot=\n";

    HMODULE module = LoadLibraryA(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    using Entry = int(__stdcall*)(DWORD, void*, const char*);
    auto deinstall = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DEINSTALL")));
    const char* text = "";
    EXPECT_EQ(deinstall(0, &text, script.c_str()), 1);
    FreeLibrary(module);

    std::stringstream content;
    content << std::ifstream(log).rdbuf();
    std::string dir = BinDir();
    dir.pop_back();
    EXPECT_NE(content.str().find("module=" + dir + " "), std::string::npos) << content.str();
    EXPECT_NE(content.str().find("_ExitSkript() status 0"), std::string::npos) << content.str();
    DeleteFileA(script.c_str());
    DeleteFileA(log.c_str());
}
