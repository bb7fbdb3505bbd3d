// Unpacking the content packages that lie in a content directory.
#pragma once

// Finds the files matching `pattern` in `contentDir` (which ends in a backslash), unpacks
// them in ascending name order into `contentDir` and deletes each one unpacked. A base
// package ("_000." in its file name) replaces the content subdirectory whole, or leaves
// it as it was together with the packages after it. 0 when all went well or none was
// found; -1 when any package was left. A package whose path does not fit a path buffer
// is left alone and logged.
int InstallContentPackages(const char* contentDir, const char* pattern);
