#pragma once

#include <string>
#include <vector>

#include "base/file_time.h"

namespace support {

// Writes the bytes to a new or truncated file; the folder must exist.
bool writeFile(const std::string& path, const std::string& bytes);

// A file of the given size whose blocks, but for the head at its start and the tail at its
// end, are never written: made at once however large, and copied slowly enough to be
// caught in the middle. The folder must exist.
bool makeSparseFile(const std::string& path, unsigned long long size,
                    const std::string& head = std::string(),
                    const std::string& tail = std::string());

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

// The size of a file; 0 when it cannot be read.
unsigned long long fileSize(const std::string& path);

// Sets the last-write time of a file or a folder exactly, in 100-nanosecond units.
bool setWriteTime(const std::string& path, FileTime time);

// The last-write time of a file or folder; 0 when it cannot be read.
FileTime writeTimeOf(const std::string& path);

// A UTC calendar time as a file time, plus a number of 100-nanosecond units.
FileTime fileTimeUtc(int year, int month, int day, int hour, int minute, int second,
                     FileTime extraUnits = 0);

// One second, in file-time units.
constexpr FileTime kSecond = 10'000'000;

// Creates the folder and every missing folder above it.
bool makeFolders(const std::string& path);

// Deletes the folder and everything below it for good (read-only entries included).
bool removeTree(const std::string& path);

// Whether the path exists as a file or as a folder.
bool pathExists(const std::string& path);

// The names in a folder (without "." and ".."), sorted.
std::vector<std::string> listFolder(const std::string& path);
// The same names in the order the file system lists them.
std::vector<std::string> listingOrder(const std::string& path);

// The text as UTF-8, for messages of failed assertions.
std::string utf8(const std::string& shiftJis);

} // namespace support
