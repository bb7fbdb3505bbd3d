// The content subdirectory replaced by a base package all or nothing. The old tree is
// set aside (renamed) before the package is unpacked; once the package is in place it is
// renamed once more, to be deleted, and when the package is not, whatever the host wrote
// into the subdirectory goes and the old tree is put back. Each rename is one step, so a
// setup stopped at any moment leaves the old tree under exactly one of three names, and
// the next run knows what to do with it before it does anything else.
#pragma once

// Start of a locked run: a tree left to be deleted is deleted, a set-aside tree is put
// back. False when a set-aside tree is there and could not be put back: the run must
// then change nothing, so that the old content is not lost.
bool RecoverSubdirectory(const char* contentDir);

// Unpacks the base package `package` into `contentDir` (which ends in a backslash) so
// that it replaces the content subdirectory whole; when it cannot, the old subdirectory
// stays as it was. True when the package is in place. Every outcome but the plain one is
// logged.
bool ReplaceSubdirectory(const char* contentDir, const char* package);
