#include "secure/file_attributes.h"

void restoreFileAttributes(const std::string& path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA(path.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
    }
    SetFileAttributesA(path.c_str(), attributes);
}
