#include "sync/folder_snapshot.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "base/ansi_name.h"
#include "base/file_system.h"
#include "base/path.h"
#include "base/scoped_handle.h"
#include "sync/exclusion_filter.h"
#include "sync/holding_folder.h"

namespace {

constexpr std::size_t kNoEntry = ~static_cast<std::size_t>(0);
constexpr std::size_t kFirstCapacity = 256;

bool isDotEntry(const wchar_t* name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// The comparison the file system makes of names: without regard to case.
std::wstring folded(std::wstring text) {
    if (!text.empty()) {
        CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    }
    return text;
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
    names_.clear();
    folders_.clear();
    byKey_.clear();
    temporaryFiles_.clear();
    complete_ = false;
    rootListed_ = false;
}

bool FolderSnapshot::reserve(std::size_t count) {
    if (count <= capacity_) {
        return true;
    }
    void* table = entries_ == nullptr ? HeapAlloc(heap_, 0, count * sizeof(Entry))
                                      : HeapReAlloc(heap_, 0, entries_, count * sizeof(Entry));
    if (table == nullptr) {
        return false;
    }
    entries_ = static_cast<Entry*>(table);
    capacity_ = count;
    return true;
}

bool FolderSnapshot::append(const Entry& entry) {
    if (count_ == capacity_ && !reserve(capacity_ == 0 ? kFirstCapacity : capacity_ * 2)) {
        return false;
    }
    entries_[count_++] = entry;
    return true;
}

void FolderSnapshot::markHoldsKept(std::uint32_t folderIndex) {
    for (std::size_t entry = folders_[folderIndex].entry; entry != kNoEntry;
         entry = folders_[entries_[entry].folder].entry) {
        if ((entries_[entry].flags & kHoldsKept) != 0) {
            return; // and so is every folder above it
        }
        entries_[entry].flags |= kHoldsKept;
    }
}

// Lists folders_[folderIndex] and, when descending, every folder below it, appending their
// entries. False when the listing did not reach its end (a failed search, a stop, no
// memory); whatever was appended before stays.
bool FolderSnapshot::walk(std::uint32_t folderIndex, const std::wstring& widePath, bool descend,
                          const std::atomic<bool>* stop) {
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW((widePath + L"\\*").c_str(), &found));
    if (!search) {
        // A drive root without entries has not even "." and "..": listed, and empty.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    const std::wstring folderKey = folded(wideFromAnsi(folders_[folderIndex].relativePath));
    std::string name;
    do {
        if (stop != nullptr && stop->load()) {
            complete_ = false;
            return false;
        }
        if (isDotEntry(found.cFileName)) {
            continue;
        }
        const bool exact = exactAnsiName(found.cFileName, name) && reachedByName(found.cFileName);
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory && folderIndex == 0 && isHoldingFolderName(found.cFileName)) {
            continue; // the program's own, never mirrored (holding_folder.h)
        }
        if (exact && !directory && isTemporaryFileName(name.c_str())) {
            temporaryFiles_.push_back(folders_[folderIndex].fullPath + "\\" + name);
            continue;
        }
        std::wstring key;
        if (exact) {
            key = folderKey.empty() ? folded(found.cFileName)
                                    : folderKey + L"\\" + folded(found.cFileName);
        }
        if (exact && exclusions_ != nullptr &&
            exclusions_->excludes(folders_[folderIndex].relativePath, name, directory)) {
            // Left alone, but its name answers for an entry of that name elsewhere, and the
            // folders above it may not be deleted whole.
            byKey_.emplace(key, kNoEntry);
            markHoldsKept(folderIndex);
            continue;
        }
        if (directory && !descend) {
            // Not an entry, but its name answers for a file of that name elsewhere.
            if (exact) {
                byKey_.emplace(key, kNoEntry);
            }
            continue;
        }

        std::uint16_t flags = 0;
        if (!exact) {
            flags |= kUnmappable;
        } else if (const auto twin = byKey_.find(key); twin != byKey_.end()) {
            flags |= kDuplicate;
            if (twin->second != kNoEntry) {
                entries_[twin->second].flags |= kHasTwin;
            }
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            flags |= kLink;
        }
        if (folders_[folderIndex].fullPath.size() + 1 + name.size() >= kMaxPathBytes) {
            flags |= kTooLong;
        }
        const Entry entry = {
            folderIndex,
            static_cast<std::uint32_t>(names_.size()),
            static_cast<std::uint32_t>(name.size()),
            found.dwFileAttributes,
            flags,
            static_cast<std::uint16_t>(std::min<DWORD>(found.nFileSizeHigh, 0xFFFF)),
            found.nFileSizeHigh > 0xFFFF ? 0xFFFFFFFFu : found.nFileSizeLow,
            makeFileTime(found.ftLastWriteTime.dwHighDateTime,
                         found.ftLastWriteTime.dwLowDateTime)};
        if (!append(entry)) {
            complete_ = false;
            return false;
        }
        names_ += name;
        const std::size_t index = count_ - 1;
        if (exact && (flags & kDuplicate) == 0) {
            byKey_.emplace(key, index);
        }
        if ((flags & kNeverMirrored) != 0) {
            markHoldsKept(folderIndex);
            continue; // never walked into
        }
        if (directory) {
            const Folder& parent = folders_[folderIndex];
            folders_.push_back(
                {parent.fullPath + "\\" + name,
                 parent.relativePath.empty() ? name : parent.relativePath + "\\" + name, index});
            const bool listed = walk(static_cast<std::uint32_t>(folders_.size() - 1),
                                     widePath + L"\\" + found.cFileName, true, stop);
            if (!listed) {
                entries_[index].flags |= kUnlisted;
                if (stop != nullptr && stop->load()) {
                    complete_ = false;
                    return false;
                }
            }
        }
    } while (FindNextFileW(search.get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

std::size_t FolderSnapshot::buildSnapshot(const std::string& root, bool withSubfolders,
                                          const std::atomic<bool>* stop,
                                          const ExclusionFilter* exclusions) {
    release();
    root_ = root;
    exclusions_ = exclusions != nullptr && !exclusions->empty() ? exclusions : nullptr;
    folders_.push_back({root_, std::string(), kNoEntry});
    complete_ = true;
    // A root with a separator at its end ("D:\", "D:\A\") is not the form a definition
    // holds; its entries would get paths with doubled separators.
    const bool plainRoot = !root_.empty() && path::lengthWithoutTrailingSeparators(
                                                 root_.data(), root_.size()) == root_.size();
    rootListed_ = plainRoot && walk(0, wideFromAnsi(root_), withSubfolders, stop);
    if (!rootListed_) {
        complete_ = false;
    }
    return count_;
}

bool FolderSnapshot::isFolder(std::size_t index) const {
    return index < count_ && (entries_[index].attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderSnapshot::isFile(std::size_t index) const {
    return index < count_ && (entries_[index].attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileTime FolderSnapshot::writeTime(std::size_t index) const {
    return index < count_ ? entries_[index].writeTime : 0;
}

std::uint64_t FolderSnapshot::fileSize(std::size_t index) const {
    if (index >= count_ || isFolder(index)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(entries_[index].sizeHigh) << 32) | entries_[index].sizeLow;
}

std::uint16_t FolderSnapshot::flags(std::size_t index) const {
    return index < count_ ? entries_[index].flags : 0;
}

std::string FolderSnapshot::name(std::size_t index) const {
    if (index >= count_) {
        return std::string();
    }
    return names_.substr(entries_[index].nameOffset, entries_[index].nameLength);
}

std::string FolderSnapshot::fullPath(std::size_t index) const {
    if (index >= count_) {
        return std::string();
    }
    return folders_[entries_[index].folder].fullPath + "\\" + name(index);
}

std::string FolderSnapshot::relativePath(std::size_t index) const {
    if (index >= count_) {
        return std::string();
    }
    const std::string& folder = folders_[entries_[index].folder].relativePath;
    return folder.empty() ? name(index) : folder + "\\" + name(index);
}

FolderSnapshot::Answer FolderSnapshot::answerFor(const std::string& relativePath) const {
    std::wstring key = folded(wideFromAnsi(relativePath));
    if (key.empty()) {
        return Answer::unknown;
    }
    if (byKey_.count(key) != 0) {
        return Answer::present;
    }
    // The nearest recorded folder above the path says whether its listing can be trusted.
    for (;;) {
        const std::size_t separator = key.rfind(L'\\');
        if (separator == std::wstring::npos) {
            return complete_ && rootListed_ ? Answer::absent : Answer::unknown;
        }
        key.resize(separator);
        const auto found = byKey_.find(key);
        if (found == byKey_.end()) {
            continue;
        }
        if (found->second == kNoEntry || !complete_) {
            return Answer::unknown;
        }
        const Entry& above = entries_[found->second];
        const bool folder = (above.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Below a name with a twin, the twin's listing (never walked) may hold it.
        if (folder && (above.flags & (kNeverMirrored | kUnlisted | kHasTwin)) != 0) {
            return Answer::unknown;
        }
        return Answer::absent; // a listed folder without it, or a file, which holds nothing
    }
}

std::size_t FolderSnapshot::recordedIndex(const std::string& relativePath) const {
    const auto found = byKey_.find(folded(wideFromAnsi(relativePath)));
    return found == byKey_.end() ? kNoEntry : found->second;
}

bool FolderSnapshot::blockedAt(const std::string& relativePath) const {
    std::wstring key = folded(wideFromAnsi(relativePath));
    while (!key.empty()) {
        const auto found = byKey_.find(key);
        if (found != byKey_.end() && found->second != kNoEntry &&
            (entries_[found->second].flags & (kNeverMirrored | kUnlisted | kHasTwin)) != 0) {
            return true;
        }
        const std::size_t separator = key.rfind(L'\\');
        key.resize(separator == std::wstring::npos ? 0 : separator);
    }
    return false;
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
        lastLookupFolder_ = false;
        return false;
    }
    lastLookupTime_ = toFileTime(data.ftLastWriteTime);
    lastLookupFolder_ = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}
