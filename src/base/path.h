#pragma once

#include <cstddef>
#include <string>

// Path texts are Shift-JIS. The second byte of a double-byte character may be 0x5C, the
// byte of "\" (ソ, 表, 能, 予), so every search for a separator steps through the text one
// character at a time from its start; a search from the end cannot tell a trail byte from
// a separator.
namespace path {

// Whether the byte is the first of a double-byte character in the system code page.
bool isLeadByte(char byte);

// Offset of the last "\" that is a character of its own; std::string::npos when there is
// none. A lead byte with nothing after it counts as a character of its own.
std::size_t lastSeparator(const char* text, std::size_t length);
std::size_t lastSeparator(const std::string& text);

// Offset of the separator before the last name of a path: the last "\" that is a
// character of its own or, in a path without one, the last "/". npos when there is neither.
std::size_t nameSeparator(const std::string& path);

// The path before that separator (its folder part); empty when there is none.
std::string folderPart(const std::string& path);

// The path after that separator (its last name); the whole path when there is none.
std::string namePart(const std::string& path);

// Length of the text without the "\" characters at its end (trail bytes 0x5C stay).
std::size_t lengthWithoutTrailingSeparators(const char* text, std::size_t length);

// Whether `inner` names the same folder as `outer` or one below it: compared character by
// character without regard to ASCII case (trail bytes compared exactly), after dropping
// separators at the ends of both.
bool isSameOrInside(const std::string& inner, const std::string& outer);

// Whether the path holds "*" or "?". No name on disk can contain them, and a directory
// search or the shell would take them as wildcards matching other entries. Neither byte
// can be a trail byte, so a byte search is exact.
bool hasWildcard(const std::string& text);

// Whether both paths begin with the same drive ("D:"), its letter written in either case.
bool sameDrive(const std::string& a, const std::string& b);

} // namespace path
