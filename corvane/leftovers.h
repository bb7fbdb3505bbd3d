// What a host process that was stopped (a setup killed, a power cut) left in a folder: its
// staging folder, maybe with the journal of a commit it did not finish. The first host
// operation in a folder settles it before it decides anything else there: whoever takes
// the staging folder's ownership (stage_area.h) rolls an unfinished commit back from its
// journal, or finishes a complete one, then removes what is left.
#pragma once

#include <string>

#include "run_record.h"

enum class FolderState {
    Settled,    // nothing a stopped setup left is there (any more)
    Held,       // a live setup works there (or settles it now): nobody else may
    Unsettled,  // a stopped setup's commit could not be settled: nothing may change there
};

// Settles `folder` (ends in a backslash): every staging folder there that no live process
// owns, whatever its name says, and an earlier build's copy that nobody holds; never one
// this process or another live one owns. Logged and recorded; nothing in a dry run. When
// a commit cannot be settled (a step of its rollback fails, or its journal is not to be
// trusted), its staging folder is kept whole and nothing else there should change.
FolderState SettleFolder(const std::wstring& folder);

// Settles `folder` once a run, before this process begins its work there (it settled it
// when it made its staging folder there): no failure when it may be worked in, else why not.
Failure SettleOnce(const std::wstring& folder);
