#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// A file read whole. The buffer is eight zero bytes longer than what was read, so the
// content can be used as a terminated text.
struct FileContent {
    std::vector<char> bytes;
    std::size_t size = 0;

    const char* text() const { return bytes.data(); }
};

// Reads the whole file, opened without sharing so that no writer changes it meanwhile.
// False when the file cannot be opened, sized or read.
bool readWholeFile(const std::string& path, FileContent& content);

// Reads the whole file while other programs may read and write it too (an indexer, a virus
// scanner, the shell reading an icon all keep it open for a moment), and waits up to
// `busyWaitMs` while one holds it without sharing. False with the platform's
// error code in `error`: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when the file is not
// there, ERROR_SHARING_VIOLATION when it stayed held.
bool readSharedFile(const std::string& path, FileContent& content, DWORD busyWaitMs, DWORD& error);
