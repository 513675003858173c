#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

#include "base/scoped_handle.h"

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

// Creates a new, empty file in the folder (the current one when empty) under a name that
// no entry holds yet, "~SCV" + four hexadecimal digits + ".TMP", and opens it for writing
// and renaming, without sharing. The mirror pass takes such names for its own leftovers, so one
// that an interrupted write leaves in a mirrored folder is never copied as the user's file.
// The name is longer than many a file it stands in for: where its path reaches MAX_PATH it
// is created through the wide calls, so that every destination that fits can be written.
// The temporary-file calls below take such a path too.
FileHandle createTemporaryFile(const std::string& folder, DWORD attributes, std::string& path);

// Gives the open file (opened with DELETE access) the full path `destination`, in one
// step. An existing destination is replaced only when `replace` is set; otherwise the call
// fails with ERROR_ALREADY_EXISTS. Unlike a rename by name, it needs no second open of the
// file, which costs about as much as the rename itself.
bool renameOpenFile(HANDLE file, const std::string& destination, bool replace);

// Whether a file name is that of such a temporary file, exactly as the program writes it:
// "~SCV", four hexadecimal digits in upper case, ".TMP". A snapshot never takes one for an
// entry; one left by an interrupted write is removed by the next pass. Any other spelling
// ("~scv2024.tmp") is a user's file.
bool isTemporaryFileName(const char* name);

// Puts the finished file in the place of `path` in one step, replacing what is there, and
// returns only once the rename is on the disk. On failure the temporary file is removed
// and the thread's last error is the rename's.
bool replaceWithTemporary(const std::string& temporary, const std::string& path);

// Removes a temporary file again, keeping the thread's last error as it was; true when it
// was deleted.
bool discardTemporary(const std::string& temporary);

// Runs the step again while it fails because another program holds the file (a sharing or
// lock violation: an indexer, a virus scanner, the shell reading an icon), for at most
// `waitMs`. Returns the last run's result; the thread's last error is that run's.
bool retryWhileHeld(const std::function<bool()>& step, DWORD waitMs);

// How long the file operations of the secure area wait for another program's hold.
constexpr DWORD kHeldFileWaitMs = 3000;

// Writes all `size` bytes to the open file, in as many writes as the file takes. False
// when a write fails or writes nothing.
bool writeAll(HANDLE file, const char* data, std::size_t size);
inline bool writeAll(HANDLE file, const std::string& data) {
    return writeAll(file, data.data(), data.size());
}
