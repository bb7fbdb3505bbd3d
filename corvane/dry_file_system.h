// The dry run's file system: a second table, installed where the real one is
// (CorvaneSetDryRun). It changes nothing on the disk: creates, writes, moves and removals
// are recorded in memory, and every question (is it there, what is it, is it held, is
// there room) is answered from the disk as the run has changed it so far. Opens that only
// read or probe go to the disk. So the unpack, the commit, recovery and every file
// service take their one path in a dry run too, and meet what the real run would meet: a
// folder or a held file in the way, a disk without room.
#pragma once

#include "file_system.h"

const FileSystem& DryFileSystem();

// Forgets what the dry run recorded (when a run ends).
void ForgetDryChanges();
