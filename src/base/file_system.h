#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// What nearly every part of the program asks of the file system: whether a path names a
// folder or a file, the creation of a folder with its parents, and a write that does not
// stop half-way.

// A two-character path such as "D:" names a drive and exists when the drive is ready.
// Otherwise the path itself is searched for, so "D:\" (with its backslash) is never a
// folder. Paths holding "*" or "?" never exist.
bool folderExists(const std::string& path);

// The path names an entry that is not a folder.
bool fileExists(const std::string& path);

// The path names a file or a folder now, whatever its attributes; unlike the two tests
// above it takes the path as it is (a trailing backslash, a drive root).
bool entryExists(const std::string& path);

// The directory search for the path itself (no wildcard added) that both tests rest on;
// false for an empty path or one holding "*" or "?".
bool searchEntry(const std::string& path, WIN32_FIND_DATAA& found);

// Creates the folder and every missing folder above it. Returns whether the creation of
// the path itself succeeded (false when it already existed).
bool createFolderPath(const std::string& path);

// Writes all `size` bytes to the open file, in as many writes as the file takes. False
// when a write fails or writes nothing.
bool writeAll(HANDLE file, const char* data, std::size_t size);
inline bool writeAll(HANDLE file, const std::string& data) {
    return writeAll(file, data.data(), data.size());
}
