#include "base/path.h"

#include <windows.h>

namespace path {

bool isLeadByte(char byte) { return IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE; }

std::size_t lastSeparator(const char* text, std::size_t length) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < length;) {
        if (text[i] == '\\') {
            last = i;
            ++i;
        } else if (isLeadByte(text[i]) && i + 1 < length) {
            i += 2;
        } else {
            ++i;
        }
    }
    return last;
}

std::size_t lastSeparator(const std::string& text) {
    return lastSeparator(text.data(), text.size());
}

std::size_t nameSeparator(const std::string& path) {
    const std::size_t backslash = lastSeparator(path);
    return backslash != std::string::npos ? backslash : path.rfind('/'); // "/" is no trail byte
}

std::string folderPart(const std::string& path) {
    const std::size_t separator = nameSeparator(path);
    return separator != std::string::npos ? path.substr(0, separator) : std::string();
}

std::string namePart(const std::string& path) {
    const std::size_t separator = nameSeparator(path);
    return separator != std::string::npos ? path.substr(separator + 1) : path;
}

std::size_t lengthWithoutTrailingSeparators(const char* text, std::size_t length) {
    // The end of the last character that is not a separator.
    std::size_t keep = 0;
    for (std::size_t i = 0; i < length;) {
        std::size_t width = (isLeadByte(text[i]) && i + 1 < length) ? 2 : 1;
        if (width == 2 || text[i] != '\\') {
            keep = i + width;
        }
        i += width;
    }
    return keep;
}

bool isSameOrInside(const std::string& inner, const std::string& outer) {
    const std::size_t innerLength = lengthWithoutTrailingSeparators(inner.data(), inner.size());
    const std::size_t outerLength = lengthWithoutTrailingSeparators(outer.data(), outer.size());
    if (outerLength == 0 || innerLength < outerLength) {
        return false;
    }
    std::size_t i = 0;
    while (i < outerLength) {
        if (isLeadByte(inner[i]) && i + 1 < innerLength) {
            if (inner[i] != outer[i] || inner[i + 1] != outer[i + 1]) {
                return false;
            }
            i += 2;
            continue;
        }
        const char a = inner[i];
        const char b = outer[i];
        const auto upper = [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        };
        if (upper(a) != upper(b)) {
            return false;
        }
        ++i;
    }
    // The outer text ended inside a character of the inner one, or the inner one goes on
    // with a name that merely begins the same way.
    return i == outerLength && (innerLength == outerLength || inner[outerLength] == '\\');
}

bool hasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

bool sameDrive(const std::string& a, const std::string& b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return a.size() >= 2 && b.size() >= 2 && a[1] == ':' && b[1] == ':' &&
           upper(a[0]) == upper(b[0]);
}

} // namespace path
