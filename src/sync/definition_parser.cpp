#include "sync/definition_parser.h"

#include <windows.h>

#include <cstring>

#include "base/file_system.h"
#include "base/path.h"
#include "base/text_search.h"
#include "sync/drive_label.h"
#include "sync/messages.h"
#include "sync/unsynced_definitions.h"

namespace {

const char kSyncKeyword[] = "Sync.";
const char kOptionKeyword[] = "Option.";
const char kRunKeyword[] = "Run.";
const char kNoSubDirectory[] = "NoSubDirectory";
const char kExcludeKeyword[] = "Exclude:";

// Whether the text begins with the keyword, compared like the user's locale does, case
// included. Never reads past the end of a shorter text.
template <std::size_t N> bool beginsWith(const char* text, const char (&keyword)[N]) {
    constexpr int length = static_cast<int>(N - 1);
    if (strnlen(text, length) < static_cast<std::size_t>(length)) {
        return false;
    }
    return CompareStringA(LOCALE_USER_DEFAULT, 0, text, length, keyword, length) == CSTR_EQUAL;
}

// Whether the line from `body` (after "Sync.") to `end` is an exclusion line.
bool isExclusionLine(const char* body, const char* end) {
    constexpr std::size_t option = sizeof(kOptionKeyword) - 1;
    return static_cast<std::size_t>(end - body) >= option + sizeof(kExcludeKeyword) - 1 &&
           beginsWith(body, kOptionKeyword) && beginsWith(body + option, kExcludeKeyword);
}

// An exclusion line, or a line meant as one: a keyword in another case or without its
// colon would otherwise be an unknown option, passed over in silence, and the run would
// mirror (and delete) what the user meant to leave alone.
void handleExclusion(ExclusionFilter& exclusions, const char* line, const char* option) {
    constexpr std::size_t length = sizeof(kExcludeKeyword) - 1;
    constexpr std::size_t word = length - 1; // without the colon
    if (beginsWith(option, kExcludeKeyword)) {
        if (!exclusions.add(option + length)) {
            exclusions.addUnusable(line);
        }
    } else if (findIgnoringCase(option, strnlen(option, word), kExcludeKeyword, word) == 0) {
        exclusions.addUnusable(line);
    }
}

void handleLine(PassContext& context, const char* line, HWND reportWindow, int mode,
                int& folderCount, StringList& folders) {
    const bool loading = mode == kParseLoading;
    if (beginsWith(line, kOptionKeyword)) {
        const char* option = line + sizeof(kOptionKeyword) - 1;
        if (loading && lstrcmpA(option, kNoSubDirectory) == 0) {
            context.withSubfolders = false;
        } else if (loading) {
            handleExclusion(context.exclusions, line, option);
        }
        return;
    }
    if (beginsWith(line, kRunKeyword)) {
        if (loading) {
            SendMessageA(reportWindow, kMsgRunCommand, 0,
                         reinterpret_cast<LPARAM>(line + sizeof(kRunKeyword) - 1));
        }
        return;
    }
    // A folder named by its drive's label is wherever that drive is now.
    std::string labelled;
    std::string label;
    std::string below;
    if (splitLabelForm(line, label, below)) {
        const LabelledFolder found = findLabelledFolder(label, below);
        if (found.found == LabelledFolder::Found::several) {
            if (loading) {
                recordUnsynced(context, ambiguousLabelLine(line, found.drives));
                ++context.ambiguousFolders;
            }
            return;
        }
        labelled = found.path;
    }
    const char* folder = labelled.empty() ? line : labelled.c_str();
    if (folderExists(folder)) {
        if (loading) {
            folders.append(folder);
        }
        ++folderCount;
    } else if (loading) {
        context.missingFolders.append(line);
    }
}

// The opening "Sync." is looked for one line at a time (a keyword never spans a line
// end), so that a text of many definitions is read once, not once per definition.
char* findOpeningKeyword(char* text) {
    constexpr std::size_t keywordLength = sizeof(kSyncKeyword) - 1;
    for (char* line = text; *line != '\0';) {
        char* lineFeed = std::strchr(line, '\n');
        const std::size_t length =
            lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - line) : std::strlen(line);
        const std::size_t found = findIgnoringCase(line, length, kSyncKeyword, keywordLength);
        if (found != std::string::npos) {
            return line + found;
        }
        if (lineFeed == nullptr) {
            return nullptr;
        }
        line = lineFeed + 1;
    }
    return nullptr;
}

} // namespace

int parseSyncBlock(PassContext& context, char* text, HWND reportWindow, int mode,
                   int& folderCount, StringList& folders) {
    context.reportWindow = reportWindow;
    folderCount = 0;
    context.missingFolders.clear();
    context.ambiguousFolders = 0;
    if (mode == kParseLoading) {
        context.exclusions.clear();
    }

    char* line = findOpeningKeyword(text);
    if (line == nullptr) {
        return 0;
    }
    for (;;) {
        char* body = line + sizeof(kSyncKeyword) - 1;
        char* lineFeed = std::strchr(body, '\n');
        char* end = lineFeed != nullptr ? lineFeed : body + std::strlen(body);
        char* next = lineFeed != nullptr ? lineFeed + 1 : end;
        if (end > body && end[-1] == '\r') {
            --end;
        }
        // A folder line loses its trailing separators; a pattern keeps its own, which says
        // "folders only".
        if (!isExclusionLine(body, end)) {
            end = body + path::lengthWithoutTrailingSeparators(body, end - body);
        }
        *end = '\0';

        handleLine(context, body, reportWindow, mode, folderCount, folders);

        if (lineFeed == nullptr || !beginsWith(next, kSyncKeyword)) {
            return static_cast<int>(next - text);
        }
        line = next;
    }
}

int countSyncDefinitions(const std::string& text) {
    std::string copy = text; // the parser cuts lines in place
    PassContext scratch;
    StringList unused;
    int result = 0;
    std::size_t position = 0;
    for (;;) {
        int folderCount = 0;
        const int offset =
            parseSyncBlock(scratch, &copy[position], nullptr, kParseCounting, folderCount, unused);
        if (offset <= 0) {
            return result;
        }
        if (folderCount >= 2) {
            ++result;
        }
        position += static_cast<std::size_t>(offset);
    }
}
