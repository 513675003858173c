#include "base/path_on_disk.h"

#include <windows.h>

#include "base/path.h"
#include "base/scoped_handle.h"

namespace {

bool isDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The long form of the longest part of the full path that exists, and the rest as it
// stands: a protected folder is often absent, moved into the store.
bool longForm(const std::string& full, std::string& form) {
    std::string existing = full;
    std::string rest;
    for (;;) {
        char buffer[MAX_PATH] = {};
        const DWORD length = GetLongPathNameA(existing.c_str(), buffer, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            form = std::string(buffer, length) + rest;
            return form.size() < MAX_PATH;
        }
        if (length >= MAX_PATH) {
            return false;
        }
        const std::size_t separator = path::lastSeparator(existing);
        // Nothing of it exists, not even the drive's root: the full path is all there is.
        if (separator == std::string::npos || separator < 3) {
            form = full;
            return true;
        }
        rest = existing.substr(separator) + rest;
        existing.erase(separator);
    }
}

struct Identity {
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;

    bool operator==(const Identity& other) const {
        return volume == other.volume && high == other.high && low == other.low;
    }
};

// The folder or file the path leads to, links followed.
bool identityOf(const std::string& path, Identity& identity) {
    FileHandle entry(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!entry || !GetFileInformationByHandle(entry.get(), &information)) {
        return false;
    }
    identity.volume = information.dwVolumeSerialNumber;
    identity.high = information.nFileIndexHigh;
    identity.low = information.nFileIndexLow;
    return true;
}

} // namespace

bool canonicalPath(const std::string& path, std::string& form) {
    form = path;
    if (path.size() == 2 && isDriveLetter(path[0]) && path[1] == ':') {
        form = std::string(1, upper(path[0])) + ":";
        return true;
    }
    char buffer[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    std::string full(buffer, length);
    // A drive root keeps its separator; any other folder loses its last one.
    const std::size_t keep = path::lengthWithoutTrailingSeparators(full.data(), full.size());
    if (keep > 2 || full.size() <= 3) {
        full.erase(keep > 2 ? keep : full.size());
    } else {
        full.erase(3);
    }
    std::string result;
    if (!longForm(full, result)) {
        return false;
    }
    if (result.size() >= 2 && result[1] == ':' && isDriveLetter(result[0])) {
        result[0] = upper(result[0]);
    }
    form = result;
    return true;
}

std::string canonicalPath(const std::string& path) {
    std::string form;
    canonicalPath(path, form);
    return form;
}

bool liesWithin(const std::string& inner, const std::string& outer) {
    const std::string innerForm = canonicalPath(inner);
    const std::string outerForm = canonicalPath(outer);
    if (path::isSameOrInside(innerForm, outerForm)) {
        return true;
    }
    Identity target;
    if (!identityOf(outerForm, target)) {
        return false; // nothing there: only its spelling could have been inside
    }
    std::string folder = innerForm;
    while (!folder.empty()) {
        Identity identity;
        if (identityOf(folder, identity) && identity == target) {
            return true;
        }
        const std::size_t separator = path::lastSeparator(folder);
        if (separator == std::string::npos) {
            break;
        }
        // "D:\x" goes up to the root "D:\", and the root to nothing.
        folder = separator == 2 && folder.size() > 3 ? folder.substr(0, 3)
                                                     : folder.substr(0, separator);
        if (folder.size() == 2) {
            break;
        }
    }
    return false;
}
