#include "secure/index_file.h"

#include <algorithm>

#include "base/file_reader.h"
#include "base/file_system.h"
#include "secure/index_container.h"
#include "secure/index_records.h"
#include "secure/index_tags.h"

namespace {

// The tags are ASCII and "<" is never the second byte of a character, so a search with
// the letters folded finds exactly the tags, whatever case they were written in.
std::string foldedAscii(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

} // namespace

IndexRead readIndexText(const std::string& indexPath, bool scrambled, std::string& text,
                        DWORD& error) {
    FileContent content;
    if (!readSharedFile(indexPath, content, kHeldFileWaitMs, error)) {
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? IndexRead::Missing
                   : IndexRead::Unreadable;
    }
    if (!scrambled || !restoreBytes(content.text(), content.size, text)) {
        text.assign(content.text(), content.size);
    }
    return IndexRead::Read;
}

std::string completeIndexText(const std::string& text) {
    const std::string folded = foldedAscii(text);
    const std::size_t root = folded.find(indextag::start(indexname::kRoot));
    if (root == std::string::npos ||
        folded.find(indextag::end(indexname::kRoot), root) != std::string::npos) {
        return text;
    }
    // Only whole lines count: a line cut in the middle never finished its value.
    const std::size_t lineEnd = folded.rfind("\r\n");
    std::size_t keep = lineEnd == std::string::npos ? 0 : lineEnd + 2;
    const std::size_t rootEnd = root + indextag::start(indexname::kRoot).size();
    if (keep < rootEnd) {
        keep = rootEnd;
    }
    // A file record is five lines; one that was not closed names no file that moved.
    const std::string kept = folded.substr(0, keep);
    const std::size_t lastOpen = kept.rfind(indextag::startLine(indexname::kFile));
    const std::size_t lastClose = kept.rfind(indextag::end(indexname::kFile));
    if (lastOpen != std::string::npos && lastOpen > root &&
        (lastClose == std::string::npos || lastClose < lastOpen)) {
        keep = lastOpen;
    }
    std::string completed = text.substr(0, keep);
    if (completed.size() < 2 || completed.compare(completed.size() - 2, 2, "\r\n") != 0) {
        completed += "\r\n";
    }
    return completed + indextag::endLine(indexname::kRoot);
}

bool indexNeverSet(const std::string& text) {
    const std::string opening = kIndexHeaderLine + indextag::startLine(indexname::kRoot);
    if (text.size() <= opening.size()) {
        return opening.compare(0, text.size(), text) == 0;
    }
    // The key line is the first thing after the opening; until it ends nothing was moved.
    return text.compare(0, opening.size(), opening) == 0 &&
           text.find("\r\n", opening.size()) == std::string::npos;
}

namespace {

struct Part {
    std::size_t at;
    const std::string* name;
};

// Whether the stretch holds nothing but blanks and line ends.
bool blank(const std::string& text, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end && i < text.size(); ++i) {
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') {
            return false;
        }
    }
    return true;
}

// Where the element that starts at `at` ends: after its end tag when one follows before
// `limit`, else after its start tag's line.
std::size_t elementEnd(const std::string& folded, const std::string& name, std::size_t at,
                       std::size_t limit) {
    const std::string endTag = indextag::end(name);
    const std::size_t close = folded.find(endTag, at);
    if (close != std::string::npos && close + endTag.size() <= limit) {
        return close + endTag.size();
    }
    const std::size_t lineEnd = folded.find_first_of("\r\n", at);
    return lineEnd == std::string::npos || lineEnd > limit ? limit : lineEnd;
}

// Offsets of every start tag of the name followed by a blank or ">", in [begin, end).
void collectStarts(const std::string& folded, const std::string& name, std::size_t begin,
                   std::size_t end, std::vector<Part>& parts) {
    const std::string needle = "<" + name;
    for (std::size_t at = folded.find(needle, begin); at != std::string::npos && at < end;
         at = folded.find(needle, at + 1)) {
        const std::size_t after = at + needle.size();
        if (after < folded.size() && (folded[after] == ' ' || folded[after] == '>')) {
            parts.push_back(Part{at, &name});
        }
    }
}

} // namespace

IndexParts indexPartsOf(const std::string& completeText) {
    IndexParts parts;
    const std::string folded = foldedAscii(completeText);
    std::vector<Part> roots;
    collectStarts(folded, indexname::kRoot, 0, folded.size(), roots);
    if (roots.empty()) {
        return parts; // no index of ours: no key, nothing to release
    }
    std::size_t begin = folded.find('>', roots.front().at);
    begin = begin == std::string::npos ? folded.size() : begin + 1;
    std::size_t end = folded.find(indextag::end(indexname::kRoot), begin);
    if (end == std::string::npos) {
        end = folded.size();
    }

    std::vector<Part> found;
    for (const std::string* name :
         {&indexname::kKeyFile, &indexname::kKeyWord, &indexname::kFile, &indexname::kNote}) {
        collectStarts(folded, *name, begin, end, found);
    }
    std::sort(found.begin(), found.end(), [](const Part& a, const Part& b) { return a.at < b.at; });

    if (!blank(completeText, begin, found.empty() ? end : found.front().at)) {
        ++parts.unreadable;
    }
    std::string keyFile;
    std::string keyWord;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const std::size_t limit = i + 1 < found.size() ? found[i + 1].at : end;
        const std::string& name = *found[i].name;
        const std::string text = completeText.substr(found[i].at, limit - found[i].at);
        if (name == indexname::kFile) {
            parts.files.push_back(text);
            continue; // everything up to the next part is the record's
        }
        if (name == indexname::kNote) {
            parts.notes.push_back(text);
        } else {
            std::string value;
            unsigned count = 0;
            std::string& key = name == indexname::kKeyFile ? keyFile : keyWord;
            if (key.empty() && readElementValue(text, name, value, count)) {
                key = value;
            }
        }
        // A one-line element: what follows it on to the next part is no one's.
        if (!blank(completeText, elementEnd(folded, name, found[i].at, limit), limit)) {
            ++parts.unreadable;
        }
    }
    if (!keyFile.empty()) {
        parts.keyElement = indexname::kKeyFile;
        parts.key = keyFile;
    } else if (!keyWord.empty()) {
        parts.keyElement = indexname::kKeyWord;
        parts.key = keyWord;
    }
    return parts;
}
