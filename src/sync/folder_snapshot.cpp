#include "sync/folder_snapshot.h"

#include <cstring>

#include "base/file_system.h"
#include "base/path.h"
#include "base/scoped_handle.h"
#include "sync/file_operations.h"

namespace {

bool isDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool isDirectory(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The temporary file of a copy in progress or of one that was cut off: never an entry.
bool isTemporaryCopy(const WIN32_FIND_DATAA& entry) {
    return !isDirectory(entry) && isTemporaryCopyName(entry.cFileName);
}

} // namespace

FolderSnapshot::FolderSnapshot(HANDLE heap) : heap_(heap != nullptr ? heap : GetProcessHeap()) {}

FolderSnapshot::~FolderSnapshot() {
    release();
}

void FolderSnapshot::release() {
    if (entries_ != nullptr) {
        HeapFree(heap_, 0, entries_);
        entries_ = nullptr;
    }
    capacity_ = 0;
    count_ = 0;
    folderOf_.clear();
    folders_.clear();
    temporaryFiles_.clear();
}

std::size_t FolderSnapshot::countEntries(const std::string& folder, bool descend) const {
    if (!folderExists(folder)) {
        return 0;
    }
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) {
        return 0;
    }
    std::size_t count = 0;
    do {
        if (isDotEntry(found.cFileName) || isTemporaryCopy(found)) {
            continue;
        }
        if (!isDirectory(found)) {
            ++count;
        } else if (descend) {
            count += 1 + countEntries(folder + "\\" + found.cFileName, true);
        }
    } while (FindNextFileA(search.get(), &found));
    return count;
}

// Appends the entries below folders_[folderIndex]. The table has the capacity of the
// earlier count; entries that appeared since then find no slot and are left out.
void FolderSnapshot::fillWalk(std::uint32_t folderIndex, bool descend) {
    const std::string folder = folders_[folderIndex];
    if (!folderExists(folder)) {
        return;
    }
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) {
        return;
    }
    do {
        if (isDotEntry(found.cFileName)) {
            continue;
        }
        if (isTemporaryCopy(found)) {
            temporaryFiles_.push_back(folder + "\\" + found.cFileName);
            continue;
        }
        const bool directory = isDirectory(found);
        if (directory && !descend) {
            continue;
        }
        if (count_ == capacity_) {
            return;
        }
        entries_[count_] = found;
        folderOf_.push_back(folderIndex);
        ++count_;
        if (directory) {
            folders_.push_back(folder + "\\" + found.cFileName);
            fillWalk(static_cast<std::uint32_t>(folders_.size() - 1), true);
        }
    } while (FindNextFileA(search.get(), &found));
}

std::size_t FolderSnapshot::buildSnapshot(const std::string& root, bool withSubfolders) {
    release();
    root_ = root;
    // Sized for the full tree whatever the switch, so one allocation serves either walk.
    const std::size_t capacity = countEntries(root_, true);
    if (capacity == 0) {
        return 0;
    }
    void* table = HeapAlloc(heap_, HEAP_ZERO_MEMORY, capacity * sizeof(WIN32_FIND_DATAA));
    if (table == nullptr) {
        return 0;
    }
    entries_ = static_cast<WIN32_FIND_DATAA*>(table);
    capacity_ = capacity;
    folderOf_.reserve(capacity);
    folders_.push_back(root_);
    // The count is what the walk really filled: when the tree changed since the counting
    // walk, a fresh count could name slots that hold nothing.
    fillWalk(0, withSubfolders);
    return count_;
}

bool FolderSnapshot::isFolder(std::size_t index) const {
    return index < count_ && isDirectory(entries_[index]);
}

bool FolderSnapshot::isFile(std::size_t index) const {
    return index < count_ && !isDirectory(entries_[index]);
}

FileTime FolderSnapshot::writeTime(std::size_t index) const {
    return index < count_ ? toFileTime(entries_[index].ftLastWriteTime) : 0;
}

std::string FolderSnapshot::name(std::size_t index) const {
    return index < count_ ? std::string(entries_[index].cFileName) : std::string();
}

std::string FolderSnapshot::fullPath(std::size_t index) const {
    if (index >= count_) {
        return std::string();
    }
    return folders_[folderOf_[index]] + "\\" + entries_[index].cFileName;
}

std::string FolderSnapshot::relativePath(std::size_t index) const {
    if (index >= count_) {
        return std::string();
    }
    const std::string& folder = folders_[folderOf_[index]];
    if (folder.size() <= root_.size()) {
        return entries_[index].cFileName;
    }
    // Below the root the folder path continues with "\" after the root's own bytes.
    return folder.substr(root_.size() + 1) + "\\" + entries_[index].cFileName;
}

bool FolderSnapshot::lookupInFolder(const std::string& relativePath) {
    // Root + "\" + anything is longer than a drive name, so "exists as a file or a folder"
    // is exactly "the path names an entry". A pass asks this once or twice per entry and
    // target, so the entry's own attributes are read instead of starting a directory
    // search, which costs many times more; the answer and the write time are the same.
    // Names holding "*" or "?" are refused as the search would refuse them.
    const std::string full = root_ + "\\" + relativePath;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (relativePath.empty() || path::hasWildcard(full) ||
        !GetFileAttributesExA(full.c_str(), GetFileExInfoStandard, &data)) {
        lastLookupTime_ = 0;
        return false;
    }
    lastLookupTime_ = toFileTime(data.ftLastWriteTime);
    return true;
}
