#pragma once

#include <windows.h>

#include <cstddef>

// Messages from the parser and the mirror worker to the report window (the main window
// during a run). All but kMsgNextDefinition are sent, so the sender waits until the text
// has been shown; the receiver copies any text it keeps.
constexpr UINT kMsgNextDefinition = WM_USER + 1; // wParam 1 after a pass, 0 for a skip
constexpr UINT kMsgDeleting = WM_USER + 2;       // lParam: full path about to be deleted
constexpr UINT kMsgCopying = WM_USER + 3;  // wParam: length of destination + 1; lParam:
                                           // destination, NUL, source, NUL
constexpr UINT kMsgMasterFolder = WM_USER + 4; // lParam: the master folder's path
constexpr UINT kMsgRunCommand = WM_USER + 5;   // lParam: the command of a "Sync.Run." line
constexpr UINT kMsgConfirmDeletions = WM_USER + 6; // lParam: const DeletionQuestion*; the
                                                   // answer: nonzero to go on, 0 to skip
// lParam: a line naming a definition or folder line the run does not use ("【未同期】"...)
constexpr UINT kMsgUnsynced = WM_USER + 7;
// lParam: the full path just moved into a holding folder, before whatever takes its place
constexpr UINT kMsgHolding = WM_USER + 8;

// A pass's deletions would remove `deletions` of the `entries` of the target folder, among
// them `unlistedFolders` folders it could not list, with whatever they hold.
struct DeletionQuestion {
    const char* target;
    const char* master;
    std::size_t entries;
    std::size_t deletions;
    std::size_t unlistedFolders;
};
