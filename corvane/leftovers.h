// What a host process that was stopped (a setup killed, a power cut) left in a folder: its
// staging folder, maybe with the journal of a commit it did not finish, and a copy it had
// under way. The first host operation in a folder settles it before it does anything
// else there: an unfinished commit is rolled back from its journal, then what is left goes.
#pragma once

#include <string>

// Settles `folder` (ends in a backslash): the staging folders and copies of processes that
// are gone, and this process's own from an earlier run (an id is used again once its
// process ended), but never a staging folder a live process is using. Logged and
// recorded; nothing in a dry run. False when an unfinished commit could not be rolled back:
// its staging folder is kept whole for the next try, and nothing should change there.
bool SettleFolder(const std::wstring& folder);
