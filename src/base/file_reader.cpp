#include "base/file_reader.h"

#include <windows.h>

#include "base/file_system.h"
#include "base/scoped_handle.h"

namespace {

// Far above any definition file or index, and low enough that the size plus the padding
// fits every count the callers keep.
constexpr LONGLONG kMaxFileSize = 0x7FFFFFFFLL - 16;

constexpr std::size_t kPadding = 8;

// Reads the open file from its start to its end.
bool readOpenFile(HANDLE file, FileContent& content) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || size.QuadPart > kMaxFileSize) {
        return false;
    }
    const auto wanted = static_cast<std::size_t>(size.QuadPart);
    content.bytes.assign(wanted + kPadding, '\0');

    std::size_t done = 0;
    while (done < wanted) {
        DWORD got = 0;
        if (!ReadFile(file, content.bytes.data() + done, static_cast<DWORD>(wanted - done), &got,
                      nullptr)) {
            content.bytes.assign(kPadding, '\0');
            return false;
        }
        if (got == 0) {
            break; // the file became shorter than its size said
        }
        done += got;
    }
    content.size = done;
    return true;
}

} // namespace

bool readWholeFile(const std::string& path, FileContent& content) {
    content.bytes.assign(kPadding, '\0');
    content.size = 0;
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && readOpenFile(file.get(), content);
}

bool readSharedFile(const std::string& path, FileContent& content, DWORD busyWaitMs, DWORD& error) {
    content.bytes.assign(kPadding, '\0');
    content.size = 0;
    FileHandle file;
    const bool opened = retryWhileHeld(
        [&] {
            file.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return file.valid();
        },
        busyWaitMs);
    if (!opened) {
        error = GetLastError();
        return false;
    }
    if (!readOpenFile(file.get(), content)) {
        error = GetLastError();
        return false;
    }
    error = ERROR_SUCCESS;
    return true;
}
