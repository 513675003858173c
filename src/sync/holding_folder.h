#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "sync/pass_context.h"

// What a pass takes out of a target folder is kept, not destroyed, where nothing else would
// keep it: in the target's holding folder, "<target>\_Syncoravel保管\<run stamp>\<its path
// below the target>". An entry the master lacks goes there on a drive without a recycle bin
// (removable, remote: the shell's "to the recycle bin" deletes for good there); the old
// version of a file that a copy replaces goes there on every drive. Each is a rename on the
// same drive, never a copy.
//
// A folder of that name directly in a definition's folder belongs to the program: a walk
// never lists it, so it is never mirrored, deleted or counted.

inline const char kHoldingFolderName[] = "_Syncoravel保管";

// Whether a name directly in a definition's folder is the holding folder's (in any case,
// as the file system compares names).
bool isHoldingFolderName(const wchar_t* name);

// The name of a dated folder for the local time now: "YYYYMMDD-HHMMSS".
std::string holdingStampNow();

// Whether deletions in the folder would be final: it lies on a drive without a recycle
// bin, or on one whose kind cannot be told.
bool deletionsAreFinal(const std::string& folder);

// The holding folder of one target of a pass. A pass selects it (PassContext::holding)
// while it deletes from the target and while it copies into it; deleteEntry and the copy's
// final rename hand their entries to it. Used by one thread at a time: the deletions run on
// the pass's thread, the copies' renames on the finisher's, never at once.
class HoldingFolder {
  public:
    HoldingFolder(const std::string& targetRoot, const std::string& stamp);

    HoldingFolder(const HoldingFolder&) = delete;
    HoldingFolder& operator=(const HoldingFolder&) = delete;

    // Whether entries the master lacks are held here instead of going to the recycle bin.
    bool holdsDeletions() const { return holdsDeletions_; }

    // Moves the file or folder (a full path below the target) into the dated folder, under
    // its path below the target; a name that is taken there already gets " (2)", " (3)"...
    // before its extension. Tells the report window (kMsgHolding). False, with the entry
    // where it was, when it cannot be moved (a path too long for the platform, a locked
    // file, a name no folder may hold). `heldAt` receives where it went.
    bool take(const PassContext& context, const std::string& path, std::string& heldAt);

    // Moves a held entry back to where it was, when what was to take its place could not.
    bool giveBack(const std::string& heldAt, const std::string& path);

    const std::string& datedFolder() const { return dated_; }
    std::size_t heldCount() const { return held_; }

  private:
    // Makes a folder of the dated tree, with the folders above it, unless it is there.
    bool makeFolder(const std::string& folder);

    std::string root_;
    std::string dated_;
    bool holdsDeletions_;
    std::size_t held_ = 0;
    // The folder of the last entry taken, which needs no second making: entries come in
    // the walk's order, a folder's together.
    std::string readyFolder_;
    DWORD lastReport_ = 0;
    bool reportedAny_ = false;
};

// The holding folders of the targets of one pass, in the order of the definition's
// folders (none for the master). Each target's line "【保管】" + dated folder + " (N 件)"
// goes to the copy list once its copies are done; a pass that ends early says it for every
// target that received anything.
class PassHolding {
  public:
    PassHolding(PassContext& context, const std::vector<std::string>& folders, std::size_t master);
    ~PassHolding();

    PassHolding(const PassHolding&) = delete;
    PassHolding& operator=(const PassHolding&) = delete;

    // Makes target i's holding folder the context's, until done() or the next select().
    void select(std::size_t i);
    // Leaves target i's holding folder and records its line.
    void done(std::size_t i);

  private:
    void report(std::size_t i);

    PassContext& context_;
    std::vector<std::unique_ptr<HoldingFolder>> targets_;
    std::vector<bool> reported_;
};

// Removes the dated folders of the folder's holding folder that are older than the
// context's holding days (none when 0), at the start of a definition's pass: to the
// recycle bin where there is one, for good elsewhere. Records "【削除】" + dated folder (or
// "【エラー削除】"); in preview mode "【削除予定】" instead, and nothing is removed. An
// emptied holding folder goes too, without a line. Folders of other names stay.
void removeOldDatedFolders(PassContext& context, const std::string& folder);

// In preview mode, after the line of a deletion or of a copy that replaces an existing file
// (the caller knows which copies do): "【保管予定】" + path when the run would hold the entry.
void planHolding(PassContext& context, StringList& list, const std::string& path, bool deletion);
