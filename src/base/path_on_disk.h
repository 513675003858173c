#pragma once

#include <string>

// What a path names on the disk, whatever way it is written. "D:\data\\sub", "D:\data/sub",
// "d:\data\.\sub", "D:\x\..\data\sub" and an 8.3 short name all name one folder; a text
// comparison of them would not see it.

// The path's one true form: the full path (separators, "." and ".." resolved), each part
// that exists given its long name, the drive letter in upper case, no separator at the end
// but that of a drive root. A drive alone ("d:") stays a drive ("D:"). False when no such
// form fits in MAX_PATH; `form` is then the path as given.
bool canonicalPath(const std::string& path, std::string& form);
std::string canonicalPath(const std::string& path);

// Whether `inner` is the folder `outer` or lies below it: their true forms compared, and,
// where spelling cannot tell (a link or a junction given as either, another short name),
// the folder on the disk, by volume serial number and file index, compared with `inner`
// and with every folder above it.
bool liesWithin(const std::string& inner, const std::string& outer);
