#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

// What a run of a definition text would do, found by the run's own parser, snapshots and
// pass in preview mode: nothing on disk changes and no external program starts.

struct DefinitionPreview {
    std::string master;
    std::vector<std::string> lines; // deletions, then copies, as the run's log holds them
    // "【削除予定】" and "【一時ファイル削除予定】" lines
    std::size_t deletions = 0;
    std::size_t copies = 0;         // "【コピー予定】" lines
    std::size_t errors = 0;         // error lines
    std::size_t questions = 0;      // "【確認予定】" lines: targets the run will ask about
};

// Takes the definitions of the text one after another on the calling thread, each with at
// least two existing folders through a pass in preview mode. `reportWindow` receives the
// parser's and the pass's messages (the "Sync.Run." commands too, which it must not
// start). False when the stop flag ended it early; what was found until then stays.
bool previewDefinitions(const std::string& text, HWND reportWindow, const std::atomic<bool>* stop,
                        std::vector<DefinitionPreview>& result);
