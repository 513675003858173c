#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/file_time.h"

class ExclusionFilter;

// The entries below one folder at one moment, in the order the directory search returned
// them, parent before children. A mirror pass reads the tables by index. What the walk saw
// answers whether an entry is absent from this folder (answerFor); whether an entry exists
// now is asked of the file system itself (lookupInFolder), so that what the pass has
// already changed is seen.
//
// Some entries are recorded but must never be mirrored (see the flags): links, names the
// code-page calls cannot reach exactly, paths too long for the platform, a second name that
// equals an earlier one but for case, and folders whose listing failed. A pass leaves them
// where they are and says so.
class FolderSnapshot {
  public:
    // Entries the pass must not copy, delete or walk into, each with its reason.
    enum Flag : std::uint16_t {
        kLink = 1,       // a reparse point: junction or symbolic link
        kUnmappable = 2, // a name the code-page calls cannot reach exactly: one without an
                         // exact form in the code page, or one the path rules change (a
                         // final "." or " ", a reserved character, a device name)
        kTooLong = 4,    // the full path has kMaxPathBytes bytes or more
        kDuplicate = 8,  // equals an earlier name of the same folder but for case
        kUnlisted = 16,  // a folder whose listing failed: what it holds is unknown
        kHoldsKept = 32, // a folder holding, at any depth, an entry that is never deleted
        kHasTwin = 64,   // a later name of the same folder equals it but for case: a path by
                         // that name cannot say which of the two it means
    };
    static constexpr std::uint16_t kNeverMirrored = kLink | kUnmappable | kTooLong | kDuplicate;

    // Full paths of this many bytes or more cannot be handed to the platform's calls.
    static constexpr std::size_t kMaxPathBytes = MAX_PATH;

    // What the walk can tell of a relative path.
    enum class Answer {
        present, // an entry of that name (ignoring case) was listed
        absent,  // the folder that would hold it was listed in full and it was not there
        unknown, // it lies below a link, an unlisted folder, a name never mirrored or a
                 // name with a twin, or the walk did not finish: nobody can say that it is
                 // absent
    };

    // The entry table is allocated from `heap` (the process heap when none is given).
    explicit FolderSnapshot(HANDLE heap = nullptr);
    ~FolderSnapshot();

    FolderSnapshot(const FolderSnapshot&) = delete;
    FolderSnapshot& operator=(const FolderSnapshot&) = delete;

    // Takes the snapshot of `root` (a folder path without trailing backslash, or a drive
    // name such as "D:") in one walk. Without subfolders only the files directly in the
    // root are entries. A set stop flag ends the walk between two entries; the snapshot is
    // then incomplete. Entries the exclusions name are not recorded, nor is anything below
    // them; their names still answer for entries of that name elsewhere, and the folders
    // above them hold something kept. Returns the entry count.
    std::size_t buildSnapshot(const std::string& root, bool withSubfolders,
                              const std::atomic<bool>* stop = nullptr,
                              const ExclusionFilter* exclusions = nullptr);

    std::size_t entryCount() const { return count_; }
    const std::string& root() const { return root_; }

    // Whether the walk ran to its end: it was not stopped and had the memory it needed.
    // A subfolder whose listing failed does not make it incomplete; its entry is flagged.
    bool complete() const { return complete_; }
    // Whether the root itself could be listed.
    bool rootListed() const { return rootListed_; }

    // Entry queries; an index at or beyond the count is neither folder nor file, has write
    // time 0, no flags and empty paths. Names the code page cannot hold are shown with "?".
    bool isFolder(std::size_t index) const;
    bool isFile(std::size_t index) const;
    FileTime writeTime(std::size_t index) const;
    // A file's size as the walk saw it, in bytes (0 for a folder).
    std::uint64_t fileSize(std::size_t index) const;
    std::uint16_t flags(std::size_t index) const;
    std::string name(std::size_t index) const;
    std::string fullPath(std::size_t index) const;
    std::string relativePath(std::size_t index) const;

    // What the walk saw of the relative path (any case), with no look at the disk.
    Answer answerFor(const std::string& relativePath) const;

    // The index of the entry the walk recorded under that name (any case); kNone when there
    // is none. A folder's name seen by a walk that did not descend is not an entry.
    static constexpr std::size_t kNone = ~static_cast<std::size_t>(0);
    std::size_t recordedIndex(const std::string& relativePath) const;

    // Whether the relative path is, or lies below, an entry that is never mirrored, an
    // unlisted folder or a name with a twin: nothing may be copied there.
    bool blockedAt(const std::string& relativePath) const;

    // Whether root + "\" + relativePath exists now, as a file or a folder. Records its
    // last-write time (0 when it does not exist) and whether it is a folder.
    bool lookupInFolder(const std::string& relativePath);
    FileTime lastLookupTime() const { return lastLookupTime_; }
    bool lastLookupFolder() const { return lastLookupFolder_; }

    // Temporary files of copies that the walk passed over (full paths): leftovers of copies
    // that were cut off, for the pass to remove.
    const std::vector<std::string>& temporaryFiles() const { return temporaryFiles_; }

  private:
    struct Entry {
        std::uint32_t folder;     // index into folders_
        std::uint32_t nameOffset; // into names_
        std::uint32_t nameLength;
        std::uint32_t attributes;
        std::uint16_t flags;
        // The size in 48 bits fills what would be padding: the table stays 32 bytes an
        // entry however large it grows.
        std::uint16_t sizeHigh;
        std::uint32_t sizeLow;
        FileTime writeTime;
    };
    // A folder of the walk: its full path, its path below the root, and its own entry
    // (none for the root).
    struct Folder {
        std::string fullPath;
        std::string relativePath;
        std::size_t entry;
    };

    void release();
    bool reserve(std::size_t count);
    bool append(const Entry& entry);
    bool walk(std::uint32_t folderIndex, const std::wstring& widePath, bool descend,
              const std::atomic<bool>* stop);
    void markHoldsKept(std::uint32_t folderIndex);
    const Entry* recorded(const std::string& relativePath) const;

    HANDLE heap_;
    std::string root_;
    Entry* entries_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
    std::string names_;
    std::vector<Folder> folders_;
    // Folded relative path of every mirrored entry (and of every folder of the root when
    // the walk does not descend) to its index; ~0 marks a folder that is not an entry.
    std::unordered_map<std::wstring, std::size_t> byKey_;
    std::vector<std::string> temporaryFiles_;
    bool complete_ = false;
    bool rootListed_ = false;
    FileTime lastLookupTime_ = 0;
    bool lastLookupFolder_ = false;
    const ExclusionFilter* exclusions_ = nullptr; // none when nothing is excluded
};
