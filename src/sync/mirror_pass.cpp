#include "sync/mirror_pass.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/file_time.h"
#include "base/folder_identity.h"
#include "base/path.h"
#include "base/scoped_handle.h"
#include "sync/entry_clashes.h"
#include "sync/file_operations.h"
#include "sync/folder_snapshot.h"
#include "sync/holding_folder.h"
#include "sync/messages.h"
#include "sync/pass_preview.h"
#include "sync/pass_progress.h"

namespace {

const char kNewestTag[] = "【最新更新ファイル】";
const char kCancelledTag[] = "【確認で中止】";
const char kQuestionPlannedTag[] = "【確認予定】";

// Copy decisions compare write times in whole units of 4 seconds, the resolution of the
// coarsest file systems the folders may live on.
constexpr FileTime kTimeBucket = 40'000'000;

// FAT keeps write times in units of 2 seconds and rounds a copy's time up, so a copy can be
// up to that much newer than its original. A folder whose newest file is that close to the
// newest of all ties with it: otherwise a stick would become the master through its own
// rounding and delete from the real master whatever the stick lacks.
constexpr FileTime kMasterTieWindow = 20'000'000;

FileTime bucketOf(FileTime time) {
    return time / kTimeBucket;
}

using Snapshots = std::vector<std::unique_ptr<FolderSnapshot>>;

// Files that take part in the choice of the master: every listed file but links and names
// that are never mirrored for want of a usable name or path. A second name equal to an
// earlier one but for case still counts: it is the user's file all the same.
bool countsForMaster(const FolderSnapshot& snapshot, std::size_t index) {
    constexpr std::uint16_t kIgnored =
        FolderSnapshot::kLink | FolderSnapshot::kUnmappable | FolderSnapshot::kTooLong;
    return snapshot.isFile(index) && (snapshot.flags(index) & kIgnored) == 0;
}

struct Newest {
    FileTime time = 0;
    std::size_t folder = 0;
    std::string path;
    // Per folder: its own newest file lies within the tie window of the newest of all.
    std::vector<bool> tied;
};

// The first file with the greatest write time names the newest file; every folder whose own
// newest file comes within the tie window of it ties with its folder.
Newest findNewest(const Snapshots& snapshots) {
    Newest newest;
    std::vector<FileTime> folderNewest(snapshots.size(), 0);
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        const FolderSnapshot& snapshot = *snapshots[i];
        for (std::size_t j = 0; j < snapshot.entryCount(); ++j) {
            if (!countsForMaster(snapshot, j)) {
                continue;
            }
            const FileTime time = snapshot.writeTime(j);
            folderNewest[i] = std::max(folderNewest[i], time);
            if (time > newest.time) {
                newest.time = time;
                newest.folder = i;
                newest.path = snapshot.fullPath(j);
            }
        }
    }
    newest.tied.assign(snapshots.size(), false);
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        newest.tied[i] = newest.time != 0 && folderNewest[i] != 0 &&
                         newest.time - folderNewest[i] <= kMasterTieWindow;
    }
    return newest;
}

// The folder of the newest file, or on a tie the first with the most entries among the tied
// folders only: a folder whose files are all older, however full, would delete the newest
// file from every other folder.
std::size_t chooseMaster(const Newest& newest, const Snapshots& snapshots) {
    std::size_t best = newest.folder;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (!newest.tied[i] || i == best) {
            continue;
        }
        const std::size_t count = snapshots[i]->entryCount();
        const std::size_t bestCount = snapshots[best]->entryCount();
        if (count > bestCount || (count == bestCount && i < best)) {
            best = i;
        }
    }
    return best;
}

// The first pair of folders of which one is the other or lies inside it, on disk: the same
// folder can be spelt in many ways (see FolderPlace). False when none.
bool findOverlap(const std::vector<std::string>& folders, std::size_t count, std::size_t& inner,
                 std::size_t& outer) {
    std::vector<FolderPlace> places;
    for (std::size_t i = 0; i < count; ++i) {
        places.emplace_back(folders[i]);
    }
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = 0; j < count; ++j) {
            if (i != j && places[i].isSameOrInside(places[j])) {
                inner = i;
                outer = j;
                return true;
            }
        }
    }
    return false;
}

// One folder's walk on a thread of its own.
struct Walk {
    FolderSnapshot* snapshot;
    const std::string* root;
    const PassContext* context;
};

DWORD WINAPI walkBody(void* argument) {
    const Walk& walk = *static_cast<const Walk*>(argument);
    walk.snapshot->buildSnapshot(*walk.root, walk.context->withSubfolders, walk.context->stop,
                                 &walk.context->exclusions);
    return 0;
}

// Walks every folder at once: a walk mostly waits for the file system, and the folders of
// a definition are often on different drives. A walk whose thread cannot be made runs on
// this one. A stop request ends each walk between two entries.
void walkAll(const PassContext& context, const std::vector<std::string>& folders,
             Snapshots& snapshots) {
    std::vector<Walk> walks;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        walks.push_back(Walk{snapshots[i].get(), &folders[i], &context});
    }
    std::vector<KernelHandle> threads;
    for (std::size_t i = 1; i < walks.size(); ++i) {
        KernelHandle thread(CreateThread(nullptr, 0, walkBody, &walks[i], 0, nullptr));
        if (!thread) {
            walkBody(&walks[i]);
        }
        threads.push_back(std::move(thread));
    }
    if (!walks.empty()) {
        walkBody(&walks[0]);
    }
    for (const KernelHandle& thread : threads) {
        if (thread) {
            WaitForSingleObject(thread.get(), INFINITE);
        }
    }
}

void sendText(HWND window, UINT message, WPARAM wParam, const std::string& text) {
    SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(text.c_str()));
}

// The deletion and copy messages of a pass, no more often than the context allows: the
// window shows the latest path, the log keeps every line.
class Progress {
  public:
    explicit Progress(const PassContext& context)
        : window_(context.reportWindow), interval_(context.reportIntervalMs) {}
    ~Progress() { flush(); }

    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void send(UINT message, WPARAM wParam, const std::string& text) {
        const DWORD now = GetTickCount();
        if (interval_ != 0 && sentAny_ && now - lastSent_ < interval_) {
            held_ = true;
            heldMessage_ = message;
            heldWParam_ = wParam;
            heldText_ = text;
            return;
        }
        held_ = false;
        sentAny_ = true;
        lastSent_ = now;
        sendText(window_, message, wParam, text);
    }

    // Shows the latest held path, so that the window never stays behind the pass.
    void flush() {
        if (held_) {
            held_ = false;
            lastSent_ = GetTickCount();
            sendText(window_, heldMessage_, heldWParam_, heldText_);
        }
    }

  private:
    HWND window_;
    DWORD interval_;
    bool sentAny_ = false;
    DWORD lastSent_ = 0;
    bool held_ = false;
    UINT heldMessage_ = 0;
    WPARAM heldWParam_ = 0;
    std::string heldText_;
};

// One line for each entry of the master that no pass will mirror, and for each of its
// folders that could not be listed (nothing below it is deleted anywhere).
void reportMasterLeftOut(PassContext& context, const FolderSnapshot& master) {
    for (std::size_t j = 0; j < master.entryCount(); ++j) {
        const std::uint16_t flags = master.flags(j);
        if ((flags & FolderSnapshot::kNeverMirrored) != 0) {
            recordCopyError(context, master.fullPath(j));
        } else if ((flags & FolderSnapshot::kUnlisted) != 0) {
            recordDeleteError(context, master.fullPath(j));
        }
    }
    if (!master.rootListed()) {
        recordDeleteError(context, master.root());
    }
}

// The master root is gone (a drive pulled, a folder renamed): nothing more may be decided
// from its snapshot.
bool masterStillThere(PassContext& context, const FolderSnapshot& master, bool forDeletions) {
    if (folderExists(master.root())) {
        return true;
    }
    if (forDeletions) {
        recordDeleteError(context, master.root());
    } else {
        recordCopyError(context, master.root());
    }
    return false;
}

enum class Deletion { none, error, entry };

// What the deletion pass does with entry j of the target. The entries come in walk order;
// `clash` keeps the name below which nothing is deleted.
Deletion deletionOf(const FolderSnapshot& master, const FolderSnapshot& target, std::size_t j,
                    ClashedName& clash) {
    const std::string relative = target.relativePath(j);
    if (clash.holds(relative)) {
        return Deletion::none;
    }
    if (folderWhereMasterHasFile(master, target, j, relative)) {
        clash.set(relative);
        return Deletion::none; // the copy pass names it
    }
    const std::uint16_t flags = target.flags(j);
    if ((flags & FolderSnapshot::kUnmappable) != 0) {
        return Deletion::error;
    }
    const FolderSnapshot::Answer answer = master.answerFor(relative);
    if ((flags & FolderSnapshot::kNeverMirrored) != 0) {
        return answer == FolderSnapshot::Answer::absent || (flags & FolderSnapshot::kTooLong) != 0
                   ? Deletion::error
                   : Deletion::none;
    }
    if ((flags & FolderSnapshot::kUnlisted) != 0 && answer == FolderSnapshot::Answer::present) {
        return Deletion::error; // what it holds could not be compared
    }
    if (answer != FolderSnapshot::Answer::absent) {
        return Deletion::none;
    }
    // Deleting a folder that holds what must stay would take that along; what may go goes
    // one by one as the entries below come up.
    return (flags & FolderSnapshot::kHoldsKept) != 0 ? Deletion::none : Deletion::entry;
}

// Deletes from the target what the master is known to lack. False when the pass must end.
bool deleteFromTarget(PassContext& context, const FolderSnapshot& master,
                      const FolderSnapshot& target, Progress& progress) {
    if (!target.rootListed()) {
        recordDeleteError(context, target.root());
    }
    PlannedDeletions planned;
    ClashedName clash;
    for (std::size_t j = 0; j < target.entryCount(); ++j) {
        if (context.stopRequested()) {
            return false;
        }
        const Deletion deletion = deletionOf(master, target, j, clash);
        if (deletion == Deletion::none) {
            continue;
        }
        const std::string path = target.fullPath(j);
        if (deletion == Deletion::error) {
            recordDeleteError(context, path);
            continue;
        }
        noteStep(context);
        progress.send(kMsgDeleting, 0, path);
        if (context.preview) {
            planDelete(context, planned, path);
        } else {
            deleteEntry(context, path);
        }
    }
    return true;
}

// What the deletion pass would remove from a target: the entries, those below a deleted
// folder included, and the folders among them whose listing failed, since what they hold
// goes with them unseen.
struct PlannedRemoval {
    std::size_t entries = 0;
    std::size_t unlistedFolders = 0;
};

PlannedRemoval deletionsIn(const FolderSnapshot& master, const FolderSnapshot& target) {
    PlannedDeletions folders;
    ClashedName clash;
    PlannedRemoval removal;
    for (std::size_t j = 0; j < target.entryCount(); ++j) {
        const std::string path = target.fullPath(j);
        if (folders.goesWithFolder(path)) {
            ++removal.entries;
        } else if (deletionOf(master, target, j, clash) == Deletion::entry) {
            ++removal.entries;
            if (target.isFolder(j)) {
                folders.add(path);
                if ((target.flags(j) & FolderSnapshot::kUnlisted) != 0) {
                    ++removal.unlistedFolders;
                }
            }
        }
    }
    return removal;
}

// A run whose deletions would empty a target folder is asked about first: the master may be
// the wrong medium. So is one that would remove a folder it could not list: nobody knows how
// much that holds. False, with one line for the first such target, when the definition must
// be skipped. A preview asks nothing; it marks each target the run would ask about, since
// the question's default answer skips the definition.
bool deletionsConfirmed(PassContext& context, const Snapshots& snapshots, std::size_t master) {
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (i == master) {
            continue;
        }
        const FolderSnapshot& target = *snapshots[i];
        const PlannedRemoval removal = deletionsIn(*snapshots[master], target);
        if (!isMassDeletion(target.entryCount(), removal.entries) && removal.unlistedFolders == 0) {
            continue;
        }
        if (context.preview) {
            context.deleteList.append(kQuestionPlannedTag + target.root());
            continue;
        }
        const DeletionQuestion question = {target.root().c_str(), snapshots[master]->root().c_str(),
                                           target.entryCount(), removal.entries,
                                           removal.unlistedFolders};
        if (SendMessageA(context.reportWindow, kMsgConfirmDeletions, 0,
                         reinterpret_cast<LPARAM>(&question)) == 0) {
            context.deleteList.append(kCancelledTag + target.root());
            return false;
        }
    }
    return true;
}

// What the target holds at the relative path: whether anything, and then its write time,
// whether it is a folder and its index when its walk recorded it. The target's walk answers
// without a system call: the pass deletes only what the master lacks, and asks only of what
// the master has, so nothing it asks of has changed since the walk but by others. Where the
// walk cannot vouch (below a folder it could not list, a folder name seen by a walk that did
// not descend), the file system is asked.
struct TargetEntry {
    FileTime time = 0;
    bool folder = false;
    std::size_t index = FolderSnapshot::kNone;
};

bool targetHolds(FolderSnapshot& target, const std::string& relative, TargetEntry& entry) {
    switch (target.answerFor(relative)) {
    case FolderSnapshot::Answer::absent:
        return false;
    case FolderSnapshot::Answer::present:
        entry.index = target.recordedIndex(relative);
        if (entry.index != FolderSnapshot::kNone) {
            entry.time = target.writeTime(entry.index);
            entry.folder = target.isFolder(entry.index);
            return true;
        }
        break;
    case FolderSnapshot::Answer::unknown:
        break;
    }
    const bool exists = target.lookupInFolder(relative);
    entry.time = target.lastLookupTime();
    entry.folder = target.lastLookupFolder();
    return exists;
}

// The target's entry as the target spells it, for a line that names it.
std::string targetPath(const FolderSnapshot& target, const std::string& relative,
                       const TargetEntry& entry) {
    return entry.index != FolderSnapshot::kNone ? target.fullPath(entry.index)
                                                : target.root() + "\\" + relative;
}

// Copies into the target what it lacks or holds older. False when the pass must end.
bool copyIntoTarget(PassContext& context, const FolderSnapshot& master, FolderSnapshot& target,
                    Progress& progress) {
    if (!folderExists(target.root())) {
        recordCopyError(context, target.root()); // never made again by its copies
        return true;
    }
    // Ends with this target's copies, so that each target's lines are complete before the
    // next target's begin.
    std::optional<CopyFinisher> finisher;
    if (!context.preview) {
        finisher.emplace(context);
    }
    ClashedName clash;
    for (std::size_t j = 0; j < master.entryCount(); ++j) {
        if (context.stopRequested()) {
            return false;
        }
        if ((master.flags(j) & FolderSnapshot::kNeverMirrored) != 0) {
            continue; // said once for the whole pass
        }
        const std::string relative = master.relativePath(j);
        if (clash.holds(relative)) {
            continue; // said once, for the name above
        }
        const std::string destination = target.root() + "\\" + relative;
        if (destination.size() >= FolderSnapshot::kMaxPathBytes || target.blockedAt(relative)) {
            recordCopyError(context, destination);
            continue;
        }
        TargetEntry there;
        const bool replaces = targetHolds(target, relative, there);
        if (replaces) {
            if (there.folder != master.isFolder(j)) {
                recordCopyError(context, targetPath(target, relative, there));
                clash.set(relative);
                continue;
            }
            if (master.isFolder(j) || bucketOf(there.time) >= bucketOf(master.writeTime(j))) {
                continue;
            }
            OutputDebugStringA((master.fullPath(j) + "\r\n").c_str());
        }
        const std::string source = master.fullPath(j);
        // Destination and source travel as two terminated texts in one block; wParam says
        // where the source begins.
        std::string both = destination;
        both.push_back('\0');
        both += source;
        noteStep(context);
        progress.send(kMsgCopying, destination.size() + 1, both);
        if (context.preview) {
            if (master.isFolder(j)) {
                planFolder(context, destination);
            } else {
                planCopy(context, destination, source, replaces);
            }
        } else if (master.isFolder(j)) {
            makeFolder(context, destination);
        } else {
            copyEntry(context, destination, source, false);
        }
    }
    return true;
}

// Leftovers of copies that were cut off, which the walks have passed over, go once the run
// is sure to go on; a preview lists them.
void removeLeftovers(PassContext& context, const Snapshots& snapshots) {
    for (const auto& snapshot : snapshots) {
        if (context.preview) {
            planLeftoverRemoval(context, snapshot->temporaryFiles());
        } else {
            removeLeftoverCopies(context, snapshot->temporaryFiles());
        }
    }
}

} // namespace

bool isMassDeletion(std::size_t entries, std::size_t deletions) {
    return deletions >= kMassDeletionMinimum && deletions * 100 > entries * kMassDeletionPercent;
}

// Short lines, each folder on a line of its own: a message box wraps a long line wherever
// it must, and a long path then breaks only itself, never the sentences around it.
std::string deletionQuestionText(const DeletionQuestion& question) {
    std::string text = std::string("次のフォルダの項目を削除します。\r\n") + question.target +
                       "\r\n（" + std::to_string(question.entries) + " 項目のうち " +
                       std::to_string(question.deletions) + " 項目）\r\n";
    if (question.unlistedFolders != 0) {
        text += "中を読めなかったフォルダ " + std::to_string(question.unlistedFolders) +
                " 個も、中身ごと削除します。\r\n";
    }
    return text + "\r\n合わせる元のフォルダ（マスター）：\r\n" + question.master +
           "\r\n\r\n続けますか？";
}

// The deletion and copy passes' own choices, without their lines and without a look at the
// disk: where the target's walk cannot tell, a copy is counted.
TargetPlan planForTarget(const FolderSnapshot& master, const FolderSnapshot& target) {
    TargetPlan plan;
    ClashedName deletionClash;
    for (std::size_t j = 0; j < target.entryCount(); ++j) {
        if (deletionOf(master, target, j, deletionClash) == Deletion::entry) {
            ++plan.deletions;
        }
    }
    ClashedName copyClash;
    for (std::size_t j = 0; j < master.entryCount(); ++j) {
        if ((master.flags(j) & FolderSnapshot::kNeverMirrored) != 0) {
            continue;
        }
        const std::string relative = master.relativePath(j);
        if (copyClash.holds(relative)) {
            continue;
        }
        if (target.root().size() + 1 + relative.size() >= FolderSnapshot::kMaxPathBytes ||
            target.blockedAt(relative)) {
            continue;
        }
        const std::size_t index = target.answerFor(relative) == FolderSnapshot::Answer::present
                                      ? target.recordedIndex(relative)
                                      : FolderSnapshot::kNone;
        if (index != FolderSnapshot::kNone) {
            if (target.isFolder(index) != master.isFolder(j)) {
                copyClash.set(relative);
                continue;
            }
            if (master.isFolder(j) ||
                bucketOf(target.writeTime(index)) >= bucketOf(master.writeTime(j))) {
                continue;
            }
        }
        ++plan.copies;
        plan.bytes += master.fileSize(j);
    }
    return plan;
}

void runMirrorPass(PassContext& context) {
    const std::vector<std::string> folders(context.folders.begin(), context.folders.end());
    context.masterFolder.clear();
    const std::size_t count =
        std::min(folders.size(), static_cast<std::size_t>(std::max(context.folderCount, 0)));
    if (count == 0 || refuseUnusableExclusions(context, folders[0])) {
        return;
    }

    std::size_t inner = 0;
    std::size_t outer = 0;
    if (findOverlap(folders, count, inner, outer)) {
        // Mirroring a folder into itself or into its own subfolder deletes the one through
        // the other; such a definition is never run.
        recordDeleteError(context, folders[inner] + " (" + folders[outer] +
                                       " と重なっているため同期しません)");
        return;
    }

    for (std::size_t i = 0; i < count; ++i) {
        removeOldDatedFolders(context, folders[i]);
    }

    Snapshots snapshots;
    for (std::size_t i = 0; i < count; ++i) {
        OutputDebugStringA((folders[i] + "\r\n").c_str());
        snapshots.push_back(std::make_unique<FolderSnapshot>(context.heap));
    }
    walkAll(context, folders, snapshots);
    if (context.stopRequested()) {
        return;
    }
    for (const auto& snapshot : snapshots) {
        if (!snapshot->complete()) {
            recordDeleteError(context, snapshot->root()); // no memory for its table
            return;
        }
    }

    const Newest newest = findNewest(snapshots);
    const std::size_t master = chooseMaster(newest, snapshots);
    if (!deletionsConfirmed(context, snapshots, master)) {
        return;
    }
    removeLeftovers(context, snapshots);
    if (context.stopRequested()) {
        return;
    }
    context.masterFolder = folders[master];
    const std::string newestLine = kNewestTag + newest.path;
    context.newestList.append(newestLine);
    OutputDebugStringA((newestLine + "\r\n").c_str());

    sendText(context.reportWindow, kMsgMasterFolder, 0, folders[master]);
    const FolderSnapshot& masterSnapshot = *snapshots[master];
    reportMasterLeftOut(context, masterSnapshot);
    planPassProgress(context, snapshots, master);

    // Says for each target what its holding folder received, after that target's copies.
    PassHolding holding(context, std::vector<std::string>(folders.begin(), folders.begin() + count),
                        master);
    {
        Progress progress(context);
        for (std::size_t i = 0; i < count; ++i) {
            if (i == master) {
                continue;
            }
            holding.select(i);
            if (!masterStillThere(context, masterSnapshot, true) ||
                !deleteFromTarget(context, masterSnapshot, *snapshots[i], progress)) {
                return;
            }
        }
    }
    // The master is looked at before and after each target's copies: copies from a master
    // that went meanwhile failed, and no further target may be served from its snapshot.
    Progress progress(context);
    for (std::size_t i = 0; i < count; ++i) {
        if (i == master) {
            continue;
        }
        holding.select(i);
        if (!masterStillThere(context, masterSnapshot, false) ||
            !copyIntoTarget(context, masterSnapshot, *snapshots[i], progress) ||
            !masterStillThere(context, masterSnapshot, false)) {
            return;
        }
        holding.done(i);
    }
}
