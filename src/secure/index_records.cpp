#include "secure/index_records.h"

#include "base/path.h"
#include "secure/index_tags.h"
#include "secure/store_layout.h"

namespace {

// The tags are ASCII and neither "<" nor ">" is ever the second byte of a character, so a
// search with the letters folded finds exactly the tags, whatever case they were written in.
char folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameFolded(const std::string& text, std::size_t at, const std::string& lowerNeedle) {
    if (at + lowerNeedle.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerNeedle.size(); ++i) {
        if (folded(text[at + i]) != lowerNeedle[i]) {
            return false;
        }
    }
    return true;
}

// Offset of the next "<" + name followed by a blank or ">", from `from`; npos when none.
std::size_t findStartTag(const std::string& text, const std::string& name, std::size_t from) {
    const std::string needle = "<" + name;
    for (std::size_t at = text.find('<', from); at != std::string::npos;
         at = text.find('<', at + 1)) {
        if (sameFolded(text, at, needle)) {
            const std::size_t after = at + needle.size();
            if (after < text.size() && (text[after] == ' ' || text[after] == '>')) {
                return at;
            }
        }
    }
    return std::string::npos;
}

// Attribute bits written as plain decimal digits; blanks around them are allowed.
bool parseAttributes(const std::string& text, DWORD& attributes) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    const std::size_t last = text.find_last_not_of(' ');
    const std::string digits = text.substr(first, last - first + 1);
    if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    unsigned long long value = 0;
    for (char digit : digits) {
        value = value * 10 + static_cast<unsigned>(digit - '0');
    }
    if (value > 0xFFFFFFFFull) {
        return false;
    }
    attributes = static_cast<DWORD>(value);
    return true;
}

// A stretch of a name: the digits between the stored-name prefix and suffix.
bool isNumberPart(const std::string& digits) {
    return digits.size() >= 5 && digits.find_first_not_of("0123456789") == std::string::npos &&
           digits.find_first_not_of('0') != std::string::npos; // 00000 is the index itself
}

bool readOnce(const std::string& text, const std::string& name, std::string& value) {
    unsigned count = 0;
    return readElementValue(text, name, value, count) && count == 1;
}

} // namespace

std::string fileRecordText(const FileRecord& record) {
    return indextag::startLine(indexname::kFile) +
           indextag::valueLine(indexname::kStore, record.place) +
           indextag::valueLine(indexname::kSecure, record.stored) +
           indextag::valueLine(indexname::kAttributes, std::to_string(record.attributes)) +
           indextag::endLine(indexname::kFile);
}

std::string noteRecordText(const std::string& notePlace) {
    return indextag::valueLine(indexname::kNote, notePlace);
}

bool readElementValue(const std::string& text, const std::string& name, std::string& value,
                      unsigned& count) {
    count = 0;
    const std::size_t first = findStartTag(text, name, 0);
    for (std::size_t at = first; at != std::string::npos; at = findStartTag(text, name, at + 1)) {
        ++count;
    }
    if (first == std::string::npos) {
        return false;
    }
    std::size_t begin = text.find('>', first);
    if (begin == std::string::npos) {
        return false;
    }
    ++begin;
    while (begin < text.size() && (text[begin] == '\r' || text[begin] == '\n')) {
        ++begin;
    }
    // Up to the end tag, or to the end of the line when the end tag was lost.
    std::size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) {
        end = text.size();
    }
    const std::string endTag = "</" + name;
    for (std::size_t close = text.find('<', begin); close != std::string::npos && close < end;
         close = text.find('<', close + 1)) {
        if (sameFolded(text, close, endTag)) {
            end = close;
            break;
        }
    }
    value = text.substr(begin, end - begin);
    return true;
}

bool readFileRecord(const std::string& drive, const std::string& text, FileRecord& record) {
    std::string place;
    std::string stored;
    std::string attributes;
    FileRecord read;
    if (!readOnce(text, indexname::kStore, place) || !readOnce(text, indexname::kSecure, stored) ||
        !readOnce(text, indexname::kAttributes, attributes) || !isPlaceValue(drive, place) ||
        !isStoredNameValue(stored) || !parseAttributes(attributes, read.attributes)) {
        return false;
    }
    read.place = place;
    read.stored = stored;
    record = read;
    return true;
}

bool readNoteRecord(const std::string& drive, const std::string& text, std::string& notePlace) {
    std::string place;
    if (!readOnce(text, indexname::kNote, place) || !isPlaceValue(drive, place) ||
        path::namePart(place) != store::kNoteName) {
        return false;
    }
    notePlace = place;
    return true;
}

bool recordReadsBack(const std::string& drive, const FileRecord& record) {
    FileRecord read;
    return readFileRecord(drive, fileRecordText(record), read) && read == record;
}

bool noteReadsBack(const std::string& drive, const std::string& notePlace) {
    std::string read;
    return readNoteRecord(drive, noteRecordText(notePlace), read) && read == notePlace;
}

bool isStoredNameValue(const std::string& value) {
    const std::size_t fixed = 1 + store::kStoredPrefix.size() + store::kStoredSuffix.size();
    if (value.size() <= fixed || value[0] != '\\' ||
        value.compare(1, store::kStoredPrefix.size(), store::kStoredPrefix) != 0 ||
        value.compare(value.size() - store::kStoredSuffix.size(), std::string::npos,
                      store::kStoredSuffix) != 0) {
        return false;
    }
    return isNumberPart(value.substr(1 + store::kStoredPrefix.size(), value.size() - fixed));
}

bool isPlaceValue(const std::string& drive, const std::string& value) {
    if (value.size() < 2 || value[0] != '\\' || drive.size() + value.size() >= MAX_PATH ||
        path::hasWildcard(value)) {
        return false;
    }
    // ":" would name a stream or another drive, "/" is a separator of its own, "<", ">" and
    // '"' are in no name and would be taken for tags; none of these bytes, nor a control
    // character, is ever the second byte of a character.
    for (char c : value) {
        if (c == ':' || c == '/' || c == '<' || c == '>' || c == '"' ||
            static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    // Each part between separators: not empty, not "." or "..".
    std::size_t partStart = 1;
    for (std::size_t i = 1; i <= value.size();) {
        if (i == value.size() || value[i] == '\\') {
            const std::string part = value.substr(partStart, i - partStart);
            if (part.empty() || part == "." || part == "..") {
                return false;
            }
            partStart = i + 1;
            ++i;
        } else {
            i += (path::isLeadByte(value[i]) && i + 1 < value.size()) ? 2 : 1;
        }
    }
    return true;
}
