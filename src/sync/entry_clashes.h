#pragma once

#include <string>

#include "sync/folder_snapshot.h"

// A name that is a file in the master and a folder in a target, or the other way round: the
// pass can settle neither without losing one of them, so nothing at or below that name is
// deleted or copied in that target, and the copy pass names the target's entry on every run
// until the user settles it.

// Whether entry `index` of the target, at `relativePath`, is a folder that the master holds
// as a file. (A target file against a master folder holds nothing below it; the copy pass
// finds it.)
bool folderWhereMasterHasFile(const FolderSnapshot& master, const FolderSnapshot& target,
                              std::size_t index, const std::string& relativePath);

// The entries below a clashing name, as a pass meets them: the walk lists a folder's
// entries right after the folder itself, so what lies below the last clash met follows it.
class ClashedName {
  public:
    void set(const std::string& relativePath) { below_ = relativePath + "\\"; }
    // Whether the relative path lies below the clashing name.
    bool holds(const std::string& relativePath) const {
        return !below_.empty() && relativePath.compare(0, below_.size(), below_) == 0;
    }

  private:
    // The name and a separator: paths are built name by name, so a byte-exact prefix that
    // ends in a real separator is the folder (a trail byte 0x5C cannot end it).
    std::string below_;
};
