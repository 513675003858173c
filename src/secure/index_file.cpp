#include "secure/index_file.h"

#include "base/file_reader.h"
#include "secure/index_container.h"
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

bool readIndexText(const std::string& indexPath, bool scrambled, std::string& text) {
    FileContent content;
    if (!readWholeFile(indexPath, content)) {
        return false;
    }
    if (scrambled && restoreBytes(content.text(), content.size, text)) {
        return true;
    }
    text.assign(content.text(), content.size);
    return true;
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
