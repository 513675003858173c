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

bool hasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

} // namespace path
