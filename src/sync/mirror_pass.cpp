#include "sync/mirror_pass.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/file_time.h"
#include "sync/file_operations.h"
#include "sync/folder_snapshot.h"
#include "sync/messages.h"

namespace {

const char kNewestTag[] = "【最新更新ファイル】";

// Copy decisions compare write times in whole units of 4 seconds, the resolution of the
// coarsest file systems the folders may live on.
constexpr FileTime kTimeBucket = 40'000'000;

FileTime bucketOf(FileTime time) {
    return time / kTimeBucket;
}

using Snapshots = std::vector<std::unique_ptr<FolderSnapshot>>;

struct Newest {
    FileTime time = 0;
    std::size_t folder = 0;
    std::string path;
    bool tie = false;
};

// The first folder in which the greatest write time of any file appears; tie tells
// whether a later folder holds a file of exactly that time too.
Newest findNewest(const Snapshots& snapshots) {
    Newest newest;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        const FolderSnapshot& snapshot = *snapshots[i];
        for (std::size_t j = 0; j < snapshot.entryCount(); ++j) {
            if (!snapshot.isFile(j)) {
                continue;
            }
            const FileTime time = snapshot.writeTime(j);
            if (time > newest.time) {
                newest.time = time;
                newest.folder = i;
                newest.path = snapshot.fullPath(j);
                newest.tie = false;
            } else if (time == newest.time) {
                newest.tie = i != newest.folder;
            }
        }
    }
    return newest;
}

// Among all folders, the first with the most entries.
std::size_t mostEntries(const Snapshots& snapshots) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < snapshots.size(); ++i) {
        if (snapshots[i]->entryCount() > snapshots[best]->entryCount()) {
            best = i;
        }
    }
    return best;
}

void sendText(HWND window, UINT message, WPARAM wParam, const std::string& text) {
    SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(text.c_str()));
}

void deletionPass(PassContext& context, Snapshots& snapshots, std::size_t master) {
    FolderSnapshot& masterSnapshot = *snapshots[master];
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (i == master) {
            continue;
        }
        const FolderSnapshot& target = *snapshots[i];
        for (std::size_t j = 0; j < target.entryCount(); ++j) {
            if (context.stopRequested()) {
                return;
            }
            if (masterSnapshot.lookupInFolder(target.relativePath(j))) {
                continue;
            }
            const std::string path = target.fullPath(j);
            sendText(context.reportWindow, kMsgDeleting, 0, path);
            deleteEntry(context, path);
        }
    }
}

void copyPass(PassContext& context, Snapshots& snapshots, std::size_t master,
              const std::vector<std::string>& folders) {
    const FolderSnapshot& masterSnapshot = *snapshots[master];
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (i == master) {
            continue;
        }
        FolderSnapshot& target = *snapshots[i];
        for (std::size_t j = 0; j < masterSnapshot.entryCount(); ++j) {
            if (context.stopRequested()) {
                return;
            }
            const std::string relative = masterSnapshot.relativePath(j);
            if (target.lookupInFolder(relative)) {
                if (masterSnapshot.isFolder(j) ||
                    bucketOf(target.lastLookupTime()) >= bucketOf(masterSnapshot.writeTime(j))) {
                    continue;
                }
                OutputDebugStringA((masterSnapshot.fullPath(j) + "\r\n").c_str());
            }
            const std::string destination = folders[i] + "\\" + relative;
            const std::string source = masterSnapshot.fullPath(j);
            // Destination and source travel as two terminated texts in one block; wParam
            // says where the source begins.
            std::string both = destination;
            both.push_back('\0');
            both += source;
            sendText(context.reportWindow, kMsgCopying, destination.size() + 1, both);
            copyEntry(context, destination, source);
        }
    }
}

} // namespace

void runMirrorPass(PassContext& context) {
    const std::vector<std::string> folders(context.folders.begin(), context.folders.end());
    const std::size_t count =
        std::min(folders.size(), static_cast<std::size_t>(std::max(context.folderCount, 0)));
    if (count == 0) {
        return;
    }

    Snapshots snapshots;
    for (std::size_t i = 0; i < count; ++i) {
        if (context.stopRequested()) {
            return;
        }
        OutputDebugStringA((folders[i] + "\r\n").c_str());
        snapshots.push_back(std::make_unique<FolderSnapshot>(context.heap));
        snapshots.back()->buildSnapshot(folders[i], context.withSubfolders);
        // Left by a copy that was cut off; the walk has passed over them already.
        removeLeftoverCopies(snapshots.back()->temporaryFiles());
    }

    const Newest newest = findNewest(snapshots);
    const std::string newestLine = kNewestTag + newest.path;
    context.newestList.append(newestLine);
    OutputDebugStringA((newestLine + "\r\n").c_str());

    const std::size_t master = newest.tie ? mostEntries(snapshots) : newest.folder;
    sendText(context.reportWindow, kMsgMasterFolder, 0, folders[master]);

    deletionPass(context, snapshots, master);
    copyPass(context, snapshots, master, folders);
}
