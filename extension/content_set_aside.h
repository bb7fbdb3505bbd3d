// The content subdirectory replaced by a base package all or nothing. The old tree is
// set aside (renamed) before the package is unpacked; once the package is unpacked (the
// host's commit puts all of it in place, or none), the old tree goes. When the package is
// not unpacked, whatever the host wrote into the subdirectory is renamed out of the way
// and the old tree is put back. Each rename is one step, so a setup stopped at any moment
// leaves the old tree whole under its set-aside name or in place, and the next run knows
// what to do with it before it does anything else: beside a subdirectory it goes (the
// package was in place), alone it goes back.
#pragma once

// Start of a locked run: a tree left to be deleted is deleted; a set-aside tree goes when
// the subdirectory is there (its base package was in place), else it is put back. False
// when a set-aside tree could not be put back: the run must then change nothing, so that
// the old content is not lost.
bool RecoverSubdirectory(const char* contentDir);

// Unpacks the base package `package` into `contentDir` (which ends in a backslash) so
// that it replaces the content subdirectory whole; when it cannot, the old subdirectory
// stays as it was. True when the package is in place. Every outcome but the plain one is
// logged.
bool ReplaceSubdirectory(const char* contentDir, const char* package);
