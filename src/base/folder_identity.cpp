#include "base/folder_identity.h"

#include "base/path.h"
#include "base/scoped_handle.h"

namespace {

// A two-call text query: the size first, then the text.
template <typename Query> std::string queried(Query query) {
    const DWORD needed = query(nullptr, 0);
    if (needed == 0) {
        return std::string();
    }
    std::string text(needed, '\0');
    const DWORD length = query(&text[0], needed);
    if (length == 0 || length >= needed) {
        return std::string();
    }
    text.resize(length);
    return text;
}

bool isDriveName(const std::string& path) {
    return path.size() == 2 && path[1] == ':';
}

// The folder above, as a path that names it ("D:\" for a folder directly in a drive); empty
// at a root.
std::string parentOf(const std::string& path) {
    const std::size_t separator = path::lastSeparator(path);
    // Nothing is above a drive's root, a share (\\server\share) or a path of one name.
    if (separator == std::string::npos || separator + 1 == path.size() || separator <= 1) {
        return std::string();
    }
    std::string parent = path.substr(0, separator);
    if (isDriveName(parent)) {
        parent += "\\";
    }
    return parent;
}

} // namespace

std::string fullLongPath(const std::string& path) {
    // "D:" alone is the current folder of that drive to the platform; here it is the drive.
    const std::string given = isDriveName(path) ? path + "\\" : path;
    const std::string full = queried([&](char* buffer, DWORD size) {
        return GetFullPathNameA(given.c_str(), size, buffer, nullptr);
    });
    if (full.empty()) {
        return path;
    }
    std::string longForm = queried(
        [&](char* buffer, DWORD size) { return GetLongPathNameA(full.c_str(), buffer, size); });
    if (longForm.empty()) {
        longForm = full;
    }
    // A separator at the end names the same folder; only a drive's root keeps its own.
    longForm.resize(path::lengthWithoutTrailingSeparators(longForm.data(), longForm.size()));
    if (isDriveName(longForm)) {
        longForm += "\\";
    }
    return longForm.empty() ? path : longForm;
}

std::string folderSpelling(const std::string& path) {
    std::string spelling = isDriveName(path) ? path : fullLongPath(path);
    if (spelling.size() >= 2 && spelling[1] == ':' && spelling[0] >= 'a' && spelling[0] <= 'z') {
        spelling[0] = static_cast<char>(spelling[0] - 'a' + 'A');
    }
    return spelling;
}

bool identityOf(const std::string& path, FileIdentity& identity) {
    // No access is asked for: the identity is readable from any handle, and a folder in use
    // must not refuse it. Backup semantics open folders.
    FileHandle file(CreateFileA(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file || !GetFileInformationByHandle(file.get(), &information)) {
        return false;
    }
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    return true;
}

FolderPlace::FolderPlace(const std::string& folder) : fullPath_(fullLongPath(folder)) {
    known_ = identityOf(fullPath_, own_);
    if (known_) {
        chain_.push_back(own_);
    }
    for (std::string above = parentOf(fullPath_); !above.empty(); above = parentOf(above)) {
        FileIdentity identity;
        if (identityOf(above, identity)) {
            chain_.push_back(identity);
        }
    }
}

bool FolderPlace::isSameOrInside(const FolderPlace& outer) const {
    if (path::isSameOrInside(fullPath_, outer.fullPath_)) {
        return true;
    }
    if (!outer.known_) {
        return false;
    }
    for (const FileIdentity& identity : chain_) {
        if (identity == outer.own_) {
            return true;
        }
    }
    return false;
}

bool FolderPlace::isSameOrInside(const std::string& inner, const std::string& outer) {
    return FolderPlace(inner).isSameOrInside(FolderPlace(outer));
}
