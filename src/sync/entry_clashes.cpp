#include "sync/entry_clashes.h"

bool folderWhereMasterHasFile(const FolderSnapshot& master, const FolderSnapshot& target,
                              std::size_t index, const std::string& relativePath) {
    if (!target.isFolder(index)) {
        return false;
    }
    const std::size_t inMaster = master.recordedIndex(relativePath);
    return inMaster != FolderSnapshot::kNone && master.isFile(inMaster);
}
