#include "run/run_preview.h"

#include "run/run_context.h"

#include "base/scoped_handle.h"
#include "sync/definition_parser.h"
#include "sync/mirror_pass.h"
#include "sync/pass_context.h"
#include "sync/unsynced_definitions.h"

namespace {

const char kPlannedDeleteTag[] = "【削除予定】";
const char kPlannedLeftoverTag[] = "【一時ファイル削除予定】";
const char kPlannedCopyTag[] = "【コピー予定】";
const char kPlannedQuestionTag[] = "【確認予定】";
const char kPlannedHoldTag[] = "【保管予定】";
const char kUnsyncedTag[] = "【未同期】";

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

void takeLines(StringList& list, DefinitionPreview& preview) {
    std::string line;
    while (list.takeFirst(line)) {
        if (startsWith(line, kPlannedDeleteTag) || startsWith(line, kPlannedLeftoverTag)) {
            ++preview.deletions;
        } else if (startsWith(line, kPlannedCopyTag)) {
            ++preview.copies;
        } else if (startsWith(line, kPlannedQuestionTag)) {
            ++preview.questions;
        } else if (startsWith(line, kPlannedHoldTag)) {
            ++preview.held;
        } else if (startsWith(line, kUnsyncedTag)) {
            // said by the definition's place in the list
        } else {
            ++preview.errors;
        }
        preview.lines.push_back(std::move(line));
    }
}

} // namespace

bool previewDefinitions(const std::string& text, HWND reportWindow, const std::atomic<bool>* stop,
                        std::vector<DefinitionPreview>& result, int holdingDays) {
    PrivateHeap heap(HeapCreate(0, 0, 0));
    PassContext context;
    context.heap = heap.get();
    context.stop = stop;
    context.preview = true;
    context.holdingDays = holdingDays;
    // The window shows the latest path as a run's does; a message per planned line, each
    // waited for, made the plan of 100,000 files take over half a minute.
    context.reportIntervalMs = kReportIntervalMs;
    // The parser cuts the lines of what it reads, so it works on a copy of its own.
    std::string copy = text;
    copy.push_back('\0');
    std::size_t offset = 0;
    while (offset < text.size()) {
        if (context.stopRequested()) {
            return false;
        }
        StringList folders;
        int folderCount = 0;
        const int read = parseSyncBlock(context, &copy[offset], reportWindow, kParseLoading,
                                        folderCount, folders);
        if (read <= 0) {
            break;
        }
        offset += static_cast<std::size_t>(read);
        if (folderCount >= 2) {
            context.folders = std::move(folders);
            context.folderCount = folderCount;
            runMirrorPass(context);
            if (context.stopRequested()) {
                return false;
            }
            DefinitionPreview preview;
            preview.master = context.masterFolder;
            takeLines(context.unsyncedList, preview);
            takeLines(context.deleteList, preview);
            takeLines(context.copyList, preview);
            result.push_back(std::move(preview));
        } else if (reportUnsyncedDefinition(context, folderCount, folders)) {
            DefinitionPreview preview;
            preview.unsynced = true;
            takeLines(context.unsyncedList, preview);
            result.push_back(std::move(preview));
        }
        context.unsyncedList.clear();
        context.folders.clear();
        context.folderCount = 0;
        context.newestList.clear();
        context.withSubfolders = true;
    }
    return !context.stopRequested();
}
