#include "sync/pass_preview.h"

#include "base/file_system.h"
#include "base/path.h"
#include "sync/file_operations.h"
#include "sync/holding_folder.h"

namespace {

const char kPlannedDeleteTag[] = "【削除予定】";
const char kPlannedCopyTag[] = "【コピー予定】";
const char kPlannedLeftoverTag[] = "【一時ファイル削除予定】";

} // namespace

bool PlannedDeletions::goesWithFolder(const std::string& path) const {
    if (folders_.empty()) {
        return false;
    }
    // The pass names an entry by its folder's path and its name, so a planned folder is a
    // byte-exact prefix of every path below it.
    std::size_t end = path::lastSeparator(path);
    while (end != std::string::npos && end > 0) {
        const std::string folder = path.substr(0, end);
        if (folders_.count(folder) != 0) {
            return true;
        }
        end = path::lastSeparator(folder);
    }
    return false;
}

void planDelete(PassContext& context, PlannedDeletions& planned, const std::string& path) {
    if (path::hasWildcard(path)) {
        recordDeleteError(context, path);
        return;
    }
    if (planned.goesWithFolder(path)) {
        return;
    }
    if (folderExists(path)) {
        planned.add(path);
    } else if (!fileExists(path)) {
        return;
    }
    context.deleteList.append(kPlannedDeleteTag + path);
    planHolding(context, context.deleteList, path, true);
}

void planCopy(PassContext& context, const std::string& destination, const std::string& source,
              bool replaces) {
    if (path::hasWildcard(destination) || path::hasWildcard(source)) {
        recordCopyError(context, destination);
        return;
    }
    // The walks have just listed the source as a file and said whether the destination
    // holds one: asking the file system again for each copy (a search of the whole folder
    // under Wine) made the plan of 100,000 files take over a minute.
    context.copyList.append(kPlannedCopyTag + destination);
    if (replaces) {
        planHolding(context, context.copyList, destination, false);
    }
}

void planLeftoverRemoval(PassContext& context, const std::vector<std::string>& paths) {
    for (const std::string& leftover : paths) {
        context.deleteList.append(kPlannedLeftoverTag + leftover);
    }
}

void planFolder(PassContext& context, const std::string& path) {
    if (path::hasWildcard(path)) {
        recordCopyError(context, path);
        return;
    }
    if (folderExists(path)) {
        return;
    }
    if (fileExists(path)) {
        recordCopyError(context, path); // the run could not make it either
        return;
    }
    context.copyList.append(kPlannedCopyTag + path);
}
