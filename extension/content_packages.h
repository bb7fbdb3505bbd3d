// Unpacking the content packages that lie in a content directory.
#pragma once

// Finds the files matching `pattern` in `contentDir` (which ends in a backslash) and puts
// them in place strictly in the order of their names, letter case ignored: each one is
// unpacked into `contentDir` and deleted, a base package ("_000." in its file name)
// replacing the content subdirectory whole. The first package that is not in place
// (not unpacked whole, or not deleted) keeps every later one back with it, each logged.
// 0 when all are in place or none was found; -1 when any package was left. A folder that
// could not be searched, or a package whose path does not fit a path buffer, unpacks
// nothing and is logged.
int InstallContentPackages(const char* contentDir, const char* pattern);
