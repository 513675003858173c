#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_time.h"

// The entries below one folder at one moment, in the order the directory search returned
// them, parent before children. A mirror pass reads the tables by index; whether an entry
// exists elsewhere is asked of the file system itself (lookupInFolder), so that what the
// pass has already changed is seen.
class FolderSnapshot {
  public:
    // The entry table is allocated from `heap` (the process heap when none is given).
    explicit FolderSnapshot(HANDLE heap = nullptr);
    ~FolderSnapshot();

    FolderSnapshot(const FolderSnapshot&) = delete;
    FolderSnapshot& operator=(const FolderSnapshot&) = delete;

    // Takes the snapshot of `root` (a folder path without trailing backslash, or a drive
    // name such as "D:"). Without subfolders only the files directly in the root are
    // entries. Returns the entry count; what cannot be read is simply absent.
    std::size_t buildSnapshot(const std::string& root, bool withSubfolders);

    std::size_t entryCount() const { return count_; }
    const std::string& root() const { return root_; }

    // Entry queries; an index at or beyond the count is neither folder nor file, has write
    // time 0 and empty paths.
    bool isFolder(std::size_t index) const;
    bool isFile(std::size_t index) const;
    FileTime writeTime(std::size_t index) const;
    std::string name(std::size_t index) const;
    std::string fullPath(std::size_t index) const;
    std::string relativePath(std::size_t index) const;

    // Whether root + "\" + relativePath exists now, as a file or a folder. Records its
    // last-write time, or 0 when it does not exist.
    bool lookupInFolder(const std::string& relativePath);
    FileTime lastLookupTime() const { return lastLookupTime_; }

    // Temporary files of copies that the walk passed over (full paths): leftovers of copies
    // that were cut off, for the pass to remove.
    const std::vector<std::string>& temporaryFiles() const { return temporaryFiles_; }

  private:
    void release();
    std::size_t countEntries(const std::string& folder, bool descend) const;
    void fillWalk(std::uint32_t folderIndex, bool descend);

    HANDLE heap_;
    std::string root_;
    WIN32_FIND_DATAA* entries_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
    // The folder of each entry, as an index into folders_: a tree of many files in few
    // folders keeps each folder path once.
    std::vector<std::uint32_t> folderOf_;
    std::vector<std::string> folders_;
    std::vector<std::string> temporaryFiles_;
    FileTime lastLookupTime_ = 0;
};
