#include "uninstall.h"

#include "bounded_text.h"
#include "content_names.h"
#include "host/corvane.h"

bool RemoveSharedContent(const ScriptRun& run) {
    const char* root = GetDestinationManager()->Get(DEST_ROOT, "");
    if (root[0] == '\0' || !EqualIgnoringAsciiCase(run.componentDir, root)) return true;

    // A path that did not fit comes back empty and is never handed on: deleting a cut-off
    // path could delete the wrong tree.
    char path[CORVANE_PATH_SIZE];
    if (BuildPath(path, root, content::kContentDirNoSlash) && path[0])
        RemoveDirTree(path, 1);
    if (BuildPath(path, root, content::kStylesheetDir) && path[0])
        RemoveFile(path, content::kStylesheet);
    return true;
}
