#include "sync/exclusion_filter.h"

#include <windows.h>

#include <cstring>
#include <limits>

#include "sync/file_operations.h"
#include "sync/pass_context.h"

namespace {

constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Single-byte characters no name can hold. Only a character of its own is looked at: "|"
// and "\" are also the second bytes of double-byte characters (ポ, ソ).
bool forbiddenInName(char c) {
    return static_cast<unsigned char>(c) < 0x20 || std::strchr(":\"<>|/", c) != nullptr;
}

} // namespace

ExclusionFilter::ExclusionFilter() {
    // The lead-byte test of the system code page, asked once: matching asks it for every
    // character of every name.
    for (std::size_t value = 0; value < lead_.size(); ++value) {
        lead_[value] = IsDBCSLeadByte(static_cast<BYTE>(value)) != FALSE;
    }
}

std::size_t ExclusionFilter::widthAt(const char* text, std::size_t at, std::size_t length) const {
    return lead_[static_cast<unsigned char>(text[at])] && at + 1 < length ? 2 : 1;
}

bool ExclusionFilter::compileGlob(const char* text, std::size_t length) {
    if (length == 0 || (length == 1 && text[0] == '.') ||
        (length == 2 && text[0] == '.' && text[1] == '.')) {
        return false;
    }
    Glob glob = {static_cast<std::uint32_t>(units_.size()), 0, 0, 0, 0, {'\0', '\0'}};
    bool anyRun = false;
    for (std::size_t i = 0; i < length;) {
        const std::size_t width = widthAt(text, i, length);
        Unit unit = {Unit::kCharacter, static_cast<std::uint8_t>(width), text[i],
                     width == 2 ? text[i + 1] : '\0'};
        if (width == 1) {
            if (lead_[static_cast<unsigned char>(text[i])] || forbiddenInName(text[i])) {
                return false; // a double-byte character cut off, or no name's character
            }
            if (text[i] == '*') {
                unit.kind = Unit::kAnyRun;
                anyRun = true;
            } else if (text[i] == '?') {
                unit.kind = Unit::kAnyOne;
            } else {
                unit.first = lower(text[i]);
            }
        }
        i += width;
        if (unit.kind == Unit::kAnyRun && units_.size() > glob.begin &&
            units_.back().kind == Unit::kAnyRun) {
            continue; // "**" is "*"
        }
        units_.push_back(unit);
        glob.minBytes += unit.kind == Unit::kCharacter ? unit.width : unit.kind == Unit::kAnyOne;
        glob.maxBytes += unit.kind == Unit::kCharacter ? unit.width : 2;
    }
    glob.end = static_cast<std::uint32_t>(units_.size());
    const Unit& last = units_.back();
    if (last.kind == Unit::kCharacter) {
        glob.tailWidth = last.width;
        glob.tail[0] = last.first;
        glob.tail[1] = last.second;
    }
    if (anyRun) {
        glob.maxBytes = kUnbounded;
    }
    globs_.push_back(glob);
    return true;
}

bool ExclusionFilter::add(const std::string& written) {
    std::size_t begin = 0;
    std::size_t end = written.size();
    while (begin < end && isBlank(written[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(written[end - 1])) {
        --end;
    }
    const std::string pattern = written.substr(begin, end - begin);

    // The names between separators, each a separator of its own and not a trail byte.
    std::vector<std::pair<std::size_t, std::size_t>> names;
    std::size_t start = 0;
    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t width = widthAt(pattern.data(), i, pattern.size());
        if (width == 1 && pattern[i] == '\\') {
            names.emplace_back(start, i);
            start = i + 1;
        }
        i += width;
    }
    names.emplace_back(start, pattern.size());
    const bool anchored = names.size() > 1 && names.front().first == names.front().second;
    const bool foldersOnly = names.size() > 1 && names.back().first == names.back().second;
    if (anchored) {
        names.erase(names.begin());
    }
    if (foldersOnly) {
        names.pop_back();
    }

    const std::size_t unitsBefore = units_.size();
    const std::size_t globsBefore = globs_.size();
    Pattern compiled = {static_cast<std::uint32_t>(globs_.size()), 0, foldersOnly};
    for (const auto& name : names) {
        if (!compileGlob(pattern.data() + name.first, name.second - name.first)) {
            units_.resize(unitsBefore);
            globs_.resize(globsBefore);
            return false;
        }
        ++compiled.globCount;
    }
    if (compiled.globCount == 0) {
        return false;
    }
    if (anchored || compiled.globCount > 1) {
        pathPatterns_.push_back(compiled);
    } else {
        const Glob& glob = globs_[compiled.firstGlob];
        const auto index = static_cast<std::uint32_t>(namePatterns_.size());
        if (glob.tailWidth == 0) {
            endingInWildcard_.push_back(index);
        } else {
            byLastByte_[static_cast<unsigned char>(lower(glob.tail[glob.tailWidth - 1]))].push_back(
                index);
        }
        namePatterns_.push_back(compiled);
    }
    written_.push_back(pattern);
    return true;
}

void ExclusionFilter::addUnusable(const std::string& line) {
    unusable_.push_back(line);
}

void ExclusionFilter::clear() {
    units_.clear();
    globs_.clear();
    namePatterns_.clear();
    pathPatterns_.clear();
    for (std::vector<std::uint32_t>& patterns : byLastByte_) {
        patterns.clear();
    }
    endingInWildcard_.clear();
    written_.clear();
    unusable_.clear();
}

// A run of "*" takes as few characters as it can and one more each time the rest fails;
// only the last "*" is ever taken back to, which is enough when "*" and "?" are the only
// wildcards. Every position in the text is the start of a character.
bool ExclusionFilter::matches(const Glob& glob, const char* text, std::size_t length) const {
    if (length < glob.minBytes || length > glob.maxBytes) {
        return false;
    }
    // Most names fail here, on their last bytes, without a step through them. A trail byte
    // may pass for the tail; the steps below then tell.
    if (glob.tailWidth == 1 ? lower(text[length - 1]) != glob.tail[0]
                            : glob.tailWidth == 2 && (text[length - 2] != glob.tail[0] ||
                                                      text[length - 1] != glob.tail[1])) {
        return false;
    }
    const Unit* const units = units_.data() + glob.begin;
    const std::size_t count = glob.end - glob.begin;
    std::size_t u = 0;
    std::size_t t = 0;
    std::size_t runUnit = kUnbounded; // the unit after the last "*" met
    std::size_t runText = 0;          // where the text after that "*" begins
    while (t < length) {
        const std::size_t width = widthAt(text, t, length);
        if (u < count) {
            const Unit& unit = units[u];
            if (unit.kind == Unit::kAnyRun) {
                runUnit = ++u;
                runText = t;
                continue;
            }
            if (unit.kind == Unit::kAnyOne ||
                (unit.width == width &&
                 (width == 1 ? lower(text[t]) == unit.first
                             : text[t] == unit.first && text[t + 1] == unit.second))) {
                ++u;
                t += width;
                continue;
            }
        }
        if (runUnit == kUnbounded) {
            return false;
        }
        runText += widthAt(text, runText, length);
        u = runUnit;
        t = runText;
    }
    while (u < count && units[u].kind == Unit::kAnyRun) {
        ++u;
    }
    return u == count;
}

bool ExclusionFilter::matchesPath(const Pattern& pattern, const std::string& folder,
                                  const std::string& name) const {
    const Glob* glob = globs_.data() + pattern.firstGlob;
    const Glob* const last = glob + pattern.globCount - 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= folder.size() && glob != last;) {
        if (i == folder.size() || folder[i] == '\\') {
            if (!matches(*glob, folder.data() + start, i - start)) {
                return false;
            }
            ++glob;
            start = ++i;
        } else {
            i += widthAt(folder.data(), i, folder.size());
        }
    }
    return matches(*last, name.data(), name.size());
}

bool ExclusionFilter::excludes(const std::string& folder, const std::string& name,
                               bool isFolder) const {
    const auto matchesName = [&](std::uint32_t index) {
        const Pattern& pattern = namePatterns_[index];
        return (isFolder || !pattern.foldersOnly) &&
               matches(globs_[pattern.firstGlob], name.data(), name.size());
    };
    if (!name.empty()) {
        for (std::uint32_t index : byLastByte_[static_cast<unsigned char>(lower(name.back()))]) {
            if (matchesName(index)) {
                return true;
            }
        }
    }
    for (std::uint32_t index : endingInWildcard_) {
        if (matchesName(index)) {
            return true;
        }
    }
    if (pathPatterns_.empty()) {
        return false;
    }
    // How many names the entry's path has; a path pattern needs as many.
    std::size_t depth = 1;
    if (!folder.empty()) {
        ++depth;
        for (std::size_t i = 0; i < folder.size(); i += widthAt(folder.data(), i, folder.size())) {
            depth += folder[i] == '\\';
        }
    }
    for (const Pattern& pattern : pathPatterns_) {
        if (pattern.globCount == depth && (isFolder || !pattern.foldersOnly) &&
            matchesPath(pattern, folder, name)) {
            return true;
        }
    }
    return false;
}

bool refuseUnusableExclusions(PassContext& context, const std::string& firstFolder) {
    for (const std::string& line : context.exclusions.unusable()) {
        recordDeleteError(context, firstFolder + " (除外の指定「Sync." + line +
                                       "」が正しくないため同期しません)");
    }
    return !context.exclusions.unusable().empty();
}
