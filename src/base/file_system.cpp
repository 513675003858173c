#include "base/file_system.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "base/ansi_name.h"
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

// One write hands on at most this much, so that a count always fits the call's DWORD.
constexpr std::size_t kLargestWrite = 1u << 28;

const char kTemporaryPrefix[] = "~SCV";
const char kTemporarySuffix[] = ".TMP";
constexpr std::size_t kTemporaryNameLength = 12;

// The digits as the program writes them: "%04X" never gives lower case.
bool isUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The form of a path that the wide calls take beyond MAX_PATH: "\\?\" before the full path
// (which has to be made first, since that form takes the text as it is). Empty when the
// full path cannot be made.
std::wstring extendedForm(const std::string& path) {
    const std::wstring wide = wideFromAnsi(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (wide.empty() || needed == 0) {
        return std::wstring();
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) {
        return std::wstring();
    }
    full.resize(length);
    if (full.compare(0, 4, L"\\\\?\\") == 0) {
        return full;
    }
    if (full.compare(0, 2, L"\\\\") == 0) {
        return L"\\\\?\\UNC" + full.substr(1); // \\server\share becomes \\?\UNC\server\share
    }
    return L"\\\\?\\" + full;
}

// Paths of MAX_PATH bytes or more cannot go through the code-page calls; the temporary file
// beside a destination that fits may be that long.
bool needsExtendedForm(const std::string& path) {
    return path.size() >= MAX_PATH;
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

bool entryExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool createFolderPath(const std::string& path) {
    // The missing folders are gathered walking up and created walking down: a path read
    // from a damaged record may have any number of levels, and a call per level would run
    // out of stack long before the platform refuses the path.
    // The parent ends at the last real separator; a trail byte 0x5C (ソ, 表) never splits.
    std::vector<std::string> missing;
    std::string parent = path::folderPart(path);
    while (!parent.empty() && !folderExists(parent)) {
        std::string above = path::folderPart(parent);
        missing.push_back(std::move(parent));
        parent = std::move(above);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (!CreateDirectoryA(folder->c_str(), nullptr) && !folderExists(*folder)) {
            break; // nothing below a folder that cannot be made can be made either
        }
    }
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool writeAll(HANDLE file, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t rest = size - done;
        const DWORD chunk = static_cast<DWORD>(rest < kLargestWrite ? rest : kLargestWrite);
        DWORD wrote = 0;
        if (!WriteFile(file, data + done, chunk, &wrote, nullptr) || wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

FileHandle createTemporaryFile(const std::string& folder, DWORD attributes, std::string& path) {
    static std::atomic<unsigned> counter{GetTickCount() ^ (GetCurrentProcessId() << 7)};
    for (int attempt = 0; attempt < 64; ++attempt) {
        char name[kTemporaryNameLength + 1];
        std::snprintf(name, sizeof name, "%s%04X%s", kTemporaryPrefix, counter++ & 0xFFFFu,
                      kTemporarySuffix);
        path = folder.empty() ? std::string(name) : folder + "\\" + name;
        FileHandle file(needsExtendedForm(path)
                            ? CreateFileW(extendedForm(path).c_str(), GENERIC_WRITE | DELETE, 0,
                                          nullptr, CREATE_NEW, attributes, nullptr)
                            : CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                          CREATE_NEW, attributes, nullptr));
        if (file ||
            (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) {
            return file;
        }
    }
    return FileHandle();
}

bool renameOpenFile(HANDLE file, const std::string& destination, bool replace) {
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, destination.data(),
                                           static_cast<int>(destination.size()), nullptr, 0);
    if (destination.empty() || length <= 0) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // The structure ends in the name. The vector's storage comes from new, which aligns it
    // for the structure's handle member.
    const std::size_t head = offsetof(FILE_RENAME_INFO, FileName) / sizeof(WCHAR) + 1;
    std::vector<WCHAR> buffer(head + static_cast<std::size_t>(length) + 1);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(length) * sizeof(WCHAR);
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, destination.data(),
                        static_cast<int>(destination.size()), info->FileName, length);
    info->FileName[length] = L'\0';
    return SetFileInformationByHandle(file, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size() * sizeof(WCHAR))) != FALSE;
}

bool isTemporaryFileName(const char* name) {
    if (std::strlen(name) != kTemporaryNameLength || std::strncmp(name, kTemporaryPrefix, 4) != 0 ||
        std::strncmp(name + 8, kTemporarySuffix, 4) != 0) {
        return false;
    }
    return isUpperHex(name[4]) && isUpperHex(name[5]) && isUpperHex(name[6]) && isUpperHex(name[7]);
}

bool discardTemporary(const std::string& temporary) {
    const DWORD error = GetLastError();
    bool deleted = false;
    if (needsExtendedForm(temporary)) {
        const std::wstring extended = extendedForm(temporary);
        SetFileAttributesW(extended.c_str(), FILE_ATTRIBUTE_NORMAL);
        deleted = DeleteFileW(extended.c_str()) != FALSE;
    } else {
        SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        deleted = DeleteFileA(temporary.c_str()) != FALSE;
    }
    SetLastError(error);
    return deleted;
}

bool replaceWithTemporary(const std::string& temporary, const std::string& path) {
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const bool moved =
        needsExtendedForm(temporary)
            ? MoveFileExW(extendedForm(temporary).c_str(), wideFromAnsi(path).c_str(), kFlags)
            : MoveFileExA(temporary.c_str(), path.c_str(), kFlags);
    if (moved) {
        return true;
    }
    discardTemporary(temporary);
    return false;
}

bool retryWhileHeld(const std::function<bool()>& step, DWORD waitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (step()) {
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount() - start >= waitMs) {
            SetLastError(error);
            return false;
        }
        Sleep(50);
    }
}
