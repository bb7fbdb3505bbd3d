// The names of the shared content: directories, files and log tags.
#pragma once

namespace content {

constexpr const char* kContentDir = "shared\\velm\\kordalin\\";  // under the destination root
constexpr const char* kContentDirNoSlash = "shared\\velm\\kordalin";
constexpr const char* kStylesheetDir = "shared\\velm";
constexpr const char* kStylesheet = "main.css";
constexpr const char* kSubdirectory = "Kordex";
// The old subdirectory while a base package is unpacked (put back when it fails, deleted
// once the package is in place), and what a failed unpack left there, until it is deleted.
constexpr const char* kSetAsideDir = "Kordex.old";
constexpr const char* kDiscardDir = "Kordex.del";
constexpr const char* kPackagePattern = "QMT_Kordalin*.cab";
constexpr const char* kBasePackageMark = "_000.";
constexpr const char* kLockFile = "VAlmanor.sem";
constexpr const char* kMarkerFile = "VAlmanor.dll";
constexpr const char* kInstalledModule = "WsKordalin.dll";
constexpr const char* kStandaloneScript = "Kordex.inf";
constexpr const char* kStandaloneCommand = "?EXIT";

// Words that stop the update when the upper-cased command text contains them, in order.
constexpr const char* kStopWords[] = {"DIAG", "NETMODE", "WS"};

constexpr const char* kTagLockRefused = "_FindAlmanorSemaphore()";
constexpr const char* kTagUpToDate = "_FindKordalin()";
constexpr const char* kTagNoRoot = "_FindDestinationRoot()";
constexpr const char* kTagPathTooLong = "_BuildContentPath()";
constexpr const char* kTagNoModuleVersion = "_GetModuleVersion()";
constexpr const char* kTagSetAside = "_SetAsideContent()";
constexpr const char* kTagRestore = "_RestoreContent()";
constexpr const char* kTagKeepPackage = "_KeepPackage()";
constexpr const char* kTagLockUnusable = "_OpenAlmanorSemaphore()";
constexpr const char* kTagSearchFailed = "_FindPackages()";
constexpr const char* kTagUnsettled = "_SettleContent()";

// What the entries of kTagRestore say, also read by the setup host for its sentence.
constexpr const char* kPutBack = ": put back as it was";
constexpr const char* kNotPutBack = ": could not be put back";
constexpr const char* kLeftByEarlierSetup = "found set aside by an earlier setup that did not finish";
constexpr const char* kBaseWasInPlace = "left by an earlier setup whose base package was already in place; removed";
constexpr const char* kUnsettled =
    ": an unfinished commit of a setup that was stopped could not be settled there; the content is left alone";

// The lowest real version: a version text that ranks below it is no version at all.
constexpr const char* kLowestVersion = "0.0.0.0";

}  // namespace content
