#pragma once

#include <windows.h>

#include <string>

// Gives a file the attribute bits it had. The other bits go first while the file can still
// be written: a file system that keeps them apart from the read-only flag (Wine keeps them
// in an extended attribute) cannot change them once the file is read-only.
void restoreFileAttributes(const std::string& path, DWORD attributes);
