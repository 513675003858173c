#pragma once

#include <windows.h>

#include <string>

// A two-character path such as "D:" names a drive and exists when the drive is ready.
// Otherwise the path itself is searched for, so "D:\" (with its backslash) is never a
// folder. Paths holding "*" or "?" never exist.
bool folderExists(const std::string& path);

// The path names an entry that is not a folder.
bool fileExists(const std::string& path);

// The directory search for the path itself (no wildcard added) that both tests rest on;
// false for an empty path or one holding "*" or "?".
bool searchEntry(const std::string& path, WIN32_FIND_DATAA& found);
