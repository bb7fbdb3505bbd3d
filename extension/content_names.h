// The names of the shared content: directories and files, and what its log entries say
// (their tags are the decisions of host/decisions.h).
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

// What the entries of a restored subdirectory say.
constexpr const char* kPutBack = ": put back as it was";
constexpr const char* kNotPutBack = ": could not be put back";
constexpr const char* kLeftByEarlierSetup = "found set aside by an earlier setup that did not finish";
constexpr const char* kBaseWasInPlace = "left by an earlier setup whose base package was already in place; removed";
constexpr const char* kUnsettled =
    ": an unfinished commit of a setup that was stopped could not be settled there; the content is left alone";

// The lowest real version: a version text that ranks below it is no version at all.
constexpr const char* kLowestVersion = "0.0.0.0";

}  // namespace content
