#include "sync/file_operations.h"

#include <windows.h>

#include "base/path.h"
#include "sync/path_tests.h"

bool createFolderPath(const std::string& path) {
    // The parent ends at the last real separator; a trail byte 0x5C (ソ, 表) never splits.
    const std::size_t separator = path::lastSeparator(path);
    if (separator != std::string::npos) {
        const std::string parent = path.substr(0, separator);
        if (!folderExists(parent)) {
            createFolderPath(parent);
        }
    }
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}
