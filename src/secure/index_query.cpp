#include "secure/index_query.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/path.h"

namespace {

bool isBlank(char c) {
    return c == ' ';
}

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Lower case for the single-byte letters only: the second byte of a double-byte character
// may fall in the range of the letters and must be compared as it is.
std::string foldCase(const std::string& text) {
    std::string folded = text;
    for (std::size_t i = 0; i < folded.size();) {
        if (path::isLeadByte(folded[i]) && i + 1 < folded.size()) {
            i += 2;
        } else {
            folded[i] = foldAscii(folded[i]);
            ++i;
        }
    }
    return folded;
}

// Whether the folded pattern stands at `at`, letters compared without regard to case. The
// pattern is stepped through by its own characters; a match starts on a character of the
// text whenever the pattern starts with a byte that cannot be a second byte ("<").
bool matchesAt(std::string_view text, std::size_t at, const std::string& folded) {
    if (at > text.size() || text.size() - at < folded.size()) {
        return false;
    }
    for (std::size_t i = 0; i < folded.size();) {
        if (path::isLeadByte(folded[i]) && i + 1 < folded.size()) {
            if (text[at + i] != folded[i] || text[at + i + 1] != folded[i + 1]) {
                return false;
            }
            i += 2;
        } else {
            if (foldAscii(text[at + i]) != folded[i]) {
                return false;
            }
            ++i;
        }
    }
    return true;
}

// First place at or after `from` where the folded pattern starts; npos when none.
std::size_t findFolded(std::string_view text, const std::string& folded, std::size_t from) {
    if (folded.empty()) {
        return from <= text.size() ? from : std::string_view::npos;
    }
    for (std::size_t at = from; at + folded.size() <= text.size(); ++at) {
        if (matchesAt(text, at, folded)) {
            return at;
        }
    }
    return std::string_view::npos;
}

// A name of a path may not hold the characters that end or open a tag.
bool usableName(const std::string& name) {
    return !name.empty() && name.find_first_of("<> ") == std::string::npos;
}

// Cuts "file[12]" into "file" and 12; a name without brackets has index 0. Anything but
// plain digits between the brackets is refused.
bool splitIndex(const std::string& part, std::string& name, std::size_t& index) {
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < part.size();) {
        if (part[i] == '[') {
            open = i;
            break;
        }
        i += (path::isLeadByte(part[i]) && i + 1 < part.size()) ? 2 : 1;
    }
    index = 0;
    if (open == std::string::npos) {
        name = part;
        return true;
    }
    if (part.back() != ']' || part.size() < open + 3) {
        return false;
    }
    const std::string digits = part.substr(open + 1, part.size() - open - 2);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    for (char digit : digits) {
        index = index * 10 + static_cast<std::size_t>(digit - '0');
    }
    name = part.substr(0, open);
    return true;
}

} // namespace

const IndexQuery::Document::Hits& IndexQuery::Document::hitsOf(const std::string& tagText) {
    const std::string folded = foldCase(tagText);
    auto known = hits.find(folded);
    if (known != hits.end()) {
        return known->second;
    }
    Hits& found = hits[folded];
    // Every tag text starts with "<", so only the places of that byte need a look.
    const char* data = text.data();
    const std::size_t size = text.size();
    for (std::size_t at = 0; at < size;) {
        const void* next = std::memchr(data + at, folded[0], size - at);
        if (next == nullptr) {
            break;
        }
        at = static_cast<std::size_t>(static_cast<const char*>(next) - data);
        if (matchesAt(text, at, folded)) {
            found.all.push_back(at);
            const std::size_t after = at + folded.size();
            if (after < size && (isBlank(text[after]) || text[after] == '>')) {
                found.closed.push_back(at);
            }
            at = after;
        } else {
            ++at;
        }
    }
    return found;
}

void IndexQuery::load(std::string text) {
    document_ = std::make_shared<Document>();
    document_->text = std::move(text);
}

bool IndexQuery::select(const std::string& path) {
    if (!document_ || document_->text.empty()) {
        current_ = Slice();
        return false;
    }
    Document& document = *document_;
    const std::string& text = document.text;

    std::string rest = path;
    if (!rest.empty() && rest[0] == '/') {
        rest.erase(0, 1);
    }
    // The window of the search: the whole document first, then the element found last.
    std::size_t from = 0;
    std::size_t limit = text.size();
    Slice parent = parent_;
    Slice current = current_;
    std::string name;

    for (;;) {
        const std::size_t slash = rest.find('/'); // "/" is never the second byte of a character
        const std::string part = rest.substr(0, slash);
        std::size_t index = 0;
        if (!splitIndex(part, name, index) || !usableName(name)) {
            current_ = Slice();
            return false;
        }

        // The start tag: unindexed, only the first "<name" is tried; indexed, the hits of
        // longer names are passed over and the others counted.
        const std::string open = "<" + name;
        const Document::Hits& opens = document.hitsOf(open);
        std::size_t hit = std::string::npos;
        if (index == 0) {
            auto first = std::lower_bound(opens.all.begin(), opens.all.end(), from);
            if (first != opens.all.end() && *first + open.size() < limit) {
                const char after = text[*first + open.size()];
                if (isBlank(after) || after == '>') {
                    hit = *first;
                }
            }
        } else {
            auto first = std::lower_bound(opens.closed.begin(), opens.closed.end(), from);
            const auto left = static_cast<std::size_t>(opens.closed.end() - first);
            if (index < left && first[index] + open.size() < limit) {
                hit = first[index];
            }
        }
        if (hit == std::string::npos) {
            current_ = Slice();
            return false;
        }

        // The end of the element: right after "/>", or after its end tag.
        const std::size_t tagEnd = hit + open.size();
        std::size_t elementEnd = std::string::npos;
        if (tagEnd + 2 < limit && text[tagEnd + 1] == '/' && text[tagEnd + 2] == '>') {
            elementEnd = tagEnd + 3;
        } else {
            const std::string close = "</" + name + ">";
            const Document::Hits& closes = document.hitsOf(close);
            auto end = std::lower_bound(closes.all.begin(), closes.all.end(), tagEnd);
            if (end != closes.all.end() && *end + close.size() <= limit) {
                elementEnd = *end + close.size();
            }
        }
        if (elementEnd == std::string::npos) {
            current_ = Slice();
            return false;
        }

        if (!current.empty()) {
            parent = current;
        }
        current = Slice{document_, hit, elementEnd};
        from = hit;
        limit = elementEnd;

        if (slash == std::string::npos) {
            break;
        }
        rest.erase(0, slash + 1);
    }

    // Only the inside of the enclosing element: after its first ">", before its last "<".
    if (!parent.empty()) {
        const std::string_view outer(parent.document->text.data() + parent.begin,
                                     parent.end - parent.begin);
        const std::size_t firstClose = outer.find('>');
        const std::size_t lastOpen = outer.rfind('<');
        if (firstClose == std::string_view::npos || lastOpen == std::string_view::npos ||
            lastOpen <= firstClose) {
            parent.end = parent.begin;
        } else {
            parent.end = parent.begin + lastOpen;
            parent.begin += firstClose + 1;
        }
    }
    parent_ = parent;
    current_ = current;
    currentName_ = name;
    return true;
}

std::string IndexQuery::value() const {
    if (current_.empty()) {
        return std::string();
    }
    const std::string_view element(current_.document->text.data() + current_.begin,
                                   current_.end - current_.begin);
    const std::size_t namePlace = findFolded(element, foldCase(currentName_), 0);
    if (namePlace == std::string_view::npos) {
        return std::string();
    }
    const std::size_t tagClose = element.find('>', namePlace + currentName_.size());
    if (tagClose == std::string_view::npos) {
        return std::string();
    }
    std::size_t begin = tagClose + 1;
    while (begin < element.size() && (element[begin] == '\r' || element[begin] == '\n')) {
        ++begin;
    }
    // The end tag: "</name" followed by ">" or a blank. Any "</name" would also stop at
    // the end tag of a longer name, and a file record would end inside its own
    // "</file-attribute>".
    const std::string close = foldCase("</" + currentName_);
    std::size_t end = begin;
    for (;;) {
        end = findFolded(element, close, end);
        if (end == std::string_view::npos) {
            return std::string(); // an element in the form "<name />" has no content
        }
        const std::size_t after = end + close.size();
        if (after < element.size() && (isBlank(element[after]) || element[after] == '>')) {
            break;
        }
        end = after;
    }
    while (end > begin && (element[end - 1] == '\r' || element[end - 1] == '\n')) {
        --end;
    }
    return std::string(element.substr(begin, end - begin));
}

unsigned IndexQuery::count() const {
    if (parent_.empty()) {
        return 1;
    }
    const std::string open = "<" + currentName_;
    const Document::Hits& opens = parent_.document->hitsOf(open);
    unsigned counted = 0;
    for (auto at = std::lower_bound(opens.closed.begin(), opens.closed.end(), parent_.begin);
         at != opens.closed.end() && *at + open.size() < parent_.end; ++at) {
        ++counted;
    }
    return counted;
}
