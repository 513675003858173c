#pragma once

#include <cstddef>
#include <string>

// Case-blind search in Shift-JIS text. Single-byte letters match in either case;
// double-byte characters match only exactly, and a match starts only where a character
// starts, so the second byte of a double-byte character (ア ends in the byte of "A") never
// begins one.

// Offset of the first match of the needle in the text; std::string::npos when there is none.
// An empty needle matches at 0.
std::size_t findIgnoringCase(const char* text, std::size_t length, const char* needle,
                             std::size_t needleLength);

// Whether the needle occurs in the text.
bool containsIgnoringCase(const std::string& text, const std::string& needle);
