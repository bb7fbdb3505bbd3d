// The module's decisions, one tag each, as it writes them into the host's log
// (Log(tag, value)) and as a setup host reads them back from the run's record
// (CORVANE_DECISION: subject the tag, detail the value). The module and any host include
// this one header, so that a host tells decisions apart by their tags alone; a value is
// for people, and is shown as it is.
//
// A POSTCOPY run that logs no decision and reads no version stopped at a stop word in its
// command text: the module's contract is to do nothing else then, not even log.
#pragma once

namespace decision {

// The content as it was found.
constexpr const char* kUpToDate = "_FindKordalin()";                // the installed version: the packages were deleted
constexpr const char* kNoRoot = "_FindDestinationRoot()";           // no destination root: the content was left alone
constexpr const char* kPathTooLong = "_BuildContentPath()";         // the directory a path does not fit below: nothing done
constexpr const char* kNoModuleVersion = "_GetModuleVersion()";     // "MODULE: ..." without a version: nothing unpacked
constexpr const char* kSearchFailed = "_FindPackages()";            // "PATTERN: the folder could not be searched (WHY) ..."
constexpr const char* kKeepPackage = "_KeepPackage()";              // "PACKAGE: not unpacked, ..." behind one not in place

// The lock, and a folder the host could not settle.
constexpr const char* kLockRefused = "_FindAlmanorSemaphore()";     // the content directory: another setup holds the lock
constexpr const char* kLockUnusable = "_OpenAlmanorSemaphore()";    // "LOCKFILE: cannot be opened (WHY) ...": nothing done
constexpr const char* kUnsettled = "_SettleContent()";              // "DIR: ...": a stopped setup's commit there is unsettled

// The content subdirectory a base package replaces.
constexpr const char* kNotSetAside = "_SetAsideContent()";          // "DIR: could not be set aside as ... (WHY), so ..."
constexpr const char* kPutBack = "_RestoreContent()";               // "DIR: put back as it was (PACKAGE is not in place)"
constexpr const char* kNotPutBack = "_KeepSetAsideContent()";       // "DIR.old: could not be put back (...)": kept there
constexpr const char* kEarlierPutBack = "_RestoreEarlierContent()";     // "DIR: put back as it was (...)", left set aside
                                                                        // by an earlier setup that did not finish
constexpr const char* kEarlierNotPutBack = "_KeepEarlierContent()";     // "DIR.old: could not be put back (...)": the run
                                                                        // did nothing else
constexpr const char* kEarlierRemoved = "_RemoveEarlierContent()";      // "DIR.old: ...": its base package was in place

}  // namespace decision
