#pragma once

#include <windows.h>

#include "base/string_list.h"

// What the parser fills in for one definition and what its mirror pass reads and records.
// The run context holds one for the whole life of the program.
struct PassContext {
    // Private heap of the run context; snapshot tables are allocated from it. None means
    // the process heap.
    HANDLE heap = nullptr;

    // Receives the parser's and the pass's messages; set by every parse.
    HWND reportWindow = nullptr;

    // The existing folders of the current definition, in line order.
    StringList folders;
    int folderCount = 0;

    // Off while the current definition carries the no-subfolder option.
    bool withSubfolders = true;

    // Outcome lines of a run.
    StringList deleteList;
    StringList copyList;
    StringList newestList;
};
