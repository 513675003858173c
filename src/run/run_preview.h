#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "sync/pass_context.h"

// What a run of a definition text would do, found by the run's own parser, snapshots and
// pass in preview mode: nothing on disk changes and no external program starts.

struct DefinitionPreview {
    std::string master;
    // The lines on folder lines the run cannot use, then deletions, then copies, as the
    // run's log holds them; a "【保管予定】" line follows the deletion or copy that would
    // move an entry into the holding folder.
    std::vector<std::string> lines;
    // "【削除予定】" and "【一時ファイル削除予定】" lines
    std::size_t deletions = 0;
    std::size_t copies = 0;    // "【コピー予定】" lines
    std::size_t held = 0;      // "【保管予定】" lines
    std::size_t errors = 0;    // error lines
    std::size_t questions = 0; // "【確認予定】" lines: targets the run will ask about
    // A definition a run would pass over for want of two existing folders; its lines name
    // them ("【未同期】") and it has no master.
    bool unsynced = false;
};

// Takes the definitions of the text one after another on the calling thread, each with at
// least two existing folders through a pass in preview mode; one with fewer is listed as
// unsynced, as a run names it. `reportWindow` receives the parser's and the pass's messages
// (the "Sync.Run." commands too, which it must not start). False when the stop flag ended
// it early; what was found until then stays. Dated folders of holding folders older than
// `holdingDays` are named as a run would remove them.
bool previewDefinitions(const std::string& text, HWND reportWindow, const std::atomic<bool>* stop,
                        std::vector<DefinitionPreview>& result,
                        int holdingDays = kDefaultHoldingDays);
