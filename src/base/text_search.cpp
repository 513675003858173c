#include "base/text_search.h"

#include "base/path.h"

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the needle stands at `text`, which has at least its length.
bool matchesAt(const char* text, const char* needle, std::size_t needleLength) {
    for (std::size_t i = 0; i < needleLength;) {
        if (path::isLeadByte(needle[i]) && i + 1 < needleLength) {
            if (text[i] != needle[i] || text[i + 1] != needle[i + 1]) {
                return false;
            }
            i += 2;
        } else {
            if (lower(text[i]) != lower(needle[i])) {
                return false;
            }
            i += 1;
        }
    }
    return true;
}

} // namespace

std::size_t findIgnoringCase(const char* text, std::size_t length, const char* needle,
                             std::size_t needleLength) {
    for (std::size_t start = 0; start <= length && length - start >= needleLength;) {
        if (matchesAt(text + start, needle, needleLength)) {
            return start;
        }
        if (start == length) {
            break;
        }
        start += path::isLeadByte(text[start]) && start + 1 < length ? 2 : 1;
    }
    return std::string::npos;
}

bool containsIgnoringCase(const std::string& text, const std::string& needle) {
    return findIgnoringCase(text.data(), text.size(), needle.data(), needle.size()) !=
           std::string::npos;
}
