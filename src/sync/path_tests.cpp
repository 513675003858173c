#include "sync/path_tests.h"

#include <windows.h>

#include "base/path.h"
#include "base/scoped_handle.h"

namespace {

// A drive letter whose medium is missing still has a drive type, so readiness is asked of
// the root itself.
bool driveReady(const std::string& drive) {
    const std::string root = drive + "\\";
    if (GetDriveTypeA(root.c_str()) <= DRIVE_NO_ROOT_DIR) {
        return false;
    }
    return GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool searchEntry(const std::string& path, WIN32_FIND_DATAA& found) {
    if (path.empty() || path::hasWildcard(path)) {
        return false;
    }
    FindHandle search(FindFirstFileA(path.c_str(), &found));
    return search.valid();
}

bool folderExists(const std::string& path) {
    if (path::hasWildcard(path)) {
        return false;
    }
    if (path.size() == 2) {
        return driveReady(path);
    }
    WIN32_FIND_DATAA found;
    return searchEntry(path, found) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool fileExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    return searchEntry(path, found) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
