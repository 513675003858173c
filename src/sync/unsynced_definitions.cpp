#include "sync/unsynced_definitions.h"

#include <windows.h>

#include "sync/messages.h"

namespace {

const char kUnsyncedTag[] = "【未同期】";

} // namespace

void recordUnsynced(PassContext& context, const std::string& line) {
    context.unsyncedList.append(line);
    if (context.reportWindow != nullptr) {
        SendMessageA(context.reportWindow, kMsgUnsynced, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
}

bool reportUnsyncedDefinition(PassContext& context, int folderCount, const StringList& folders) {
    if (folderCount >= 2) {
        return false;
    }
    const bool missing = !context.missingFolders.empty();
    if (!missing && context.ambiguousFolders == 0 && folders.empty()) {
        return false;
    }
    for (const std::string& folder : context.missingFolders) {
        recordUnsynced(context, kUnsyncedTag + folder);
    }
    if (!missing && context.ambiguousFolders == 0) {
        recordUnsynced(context,
                       kUnsyncedTag + *folders.begin() + " (ほかに存在するフォルダがありません)");
    }
    ++context.unsyncedDefinitions;
    return true;
}
