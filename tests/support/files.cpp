#include "support/files.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/path.h"
#include "base/scoped_handle.h"

namespace support {

bool writeFile(const std::string& path, const std::string& bytes) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool makeSparseFile(const std::string& path, unsigned long long size, const std::string& head,
                    const std::string& tail) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || head.size() + tail.size() > size) {
        return false;
    }
    DWORD written = 0;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size - tail.size());
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return WriteFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr) &&
           SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
           WriteFile(file.get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr) &&
           SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

std::string readFile(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::string();
    }
    std::string content;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        content.append(chunk, got);
    }
    return content;
}

namespace {

// Folders can only be opened with backup semantics.
FileHandle openForAttributes(const std::string& path, DWORD access) {
    return FileHandle(CreateFileA(path.c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

} // namespace

bool setWriteTime(const std::string& path, FileTime time) {
    FileHandle file = openForAttributes(path, FILE_WRITE_ATTRIBUTES);
    if (!file) {
        return false;
    }
    const FILETIME written = toFILETIME(time);
    return SetFileTime(file.get(), nullptr, nullptr, &written) != FALSE;
}

unsigned long long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

FileTime writeTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return toFileTime(data.ftLastWriteTime);
}

FileTime fileTimeUtc(int year, int month, int day, int hour, int minute, int second,
                     FileTime extraUnits) {
    SYSTEMTIME calendar = {};
    calendar.wYear = static_cast<WORD>(year);
    calendar.wMonth = static_cast<WORD>(month);
    calendar.wDay = static_cast<WORD>(day);
    calendar.wHour = static_cast<WORD>(hour);
    calendar.wMinute = static_cast<WORD>(minute);
    calendar.wSecond = static_cast<WORD>(second);
    FILETIME time;
    if (!SystemTimeToFileTime(&calendar, &time)) {
        return 0;
    }
    return toFileTime(time) + extraUnits;
}

bool makeFolders(const std::string& path) {
    if (path.size() <= 3) {
        return true; // a drive root
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    const std::size_t separator = path::lastSeparator(path);
    if (separator != std::string::npos && !makeFolders(path.substr(0, separator))) {
        return false;
    }
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool removeTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return DeleteFileA(path.c_str()) != FALSE;
    }
    std::vector<std::string> children;
    WIN32_FIND_DATAA found;
    {
        FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
        if (search) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..") {
                    children.push_back(path + "\\" + name);
                }
            } while (FindNextFileA(search.get(), &found));
        }
    }
    bool ok = true;
    for (const std::string& child : children) {
        ok = removeTree(child) && ok;
    }
    return RemoveDirectoryA(path.c_str()) != FALSE && ok;
}

bool pathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> listingOrder(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
    if (search) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        } while (FindNextFileA(search.get(), &found));
    }
    return names;
}

std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names = listingOrder(path);
    std::sort(names.begin(), names.end());
    return names;
}

std::string utf8(const std::string& shiftJis) {
    if (shiftJis.empty()) {
        return std::string();
    }
    const int wide = MultiByteToWideChar(932, 0, shiftJis.data(), static_cast<int>(shiftJis.size()),
                                         nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(932, 0, shiftJis.data(), static_cast<int>(shiftJis.size()), &text[0], wide);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &result[0], bytes, nullptr, nullptr);
    return result;
}

} // namespace support
