// floor SOURCE TARGET
//
// Lists both trees with FindFirstFileExW (basic information, large fetch), then makes the
// folders the target lacks and copies with CopyFileW, straight to the final names, every
// file it lacks or holds older. No temporary file, no flush, no check of names, no
// deletion, no log: what is left of a mirror when everything that keeps a user's files safe
// is taken away. Prints the entries listed and the files copied.
#include <windows.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Entry {
    std::wstring relative;
    bool folder;
    ULONGLONG time;
};

ULONGLONG timeOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Parents before their children, so that a folder is made before the files it holds.
bool list(const std::wstring& root, std::vector<Entry>& entries) {
    std::vector<std::wstring> pending{L""};
    while (!pending.empty()) {
        const std::wstring relative = pending.back();
        pending.pop_back();
        const std::wstring pattern =
            root + (relative.empty() ? L"" : L"\\" + relative) + L"\\*";
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND && relative.empty()) {
                continue;
            }
            return false;
        }
        do {
            const wchar_t* name = data.cFileName;
            if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) {
                continue;
            }
            Entry entry{relative.empty() ? name : relative + L"\\" + name,
                        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                        timeOf(data.ftLastWriteTime)};
            if (entry.folder) {
                pending.push_back(entry.relative);
            }
            entries.push_back(std::move(entry));
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: floor SOURCE TARGET\n", stderr);
        return 2;
    }
    const std::wstring source = argv[1];
    const std::wstring target = argv[2];
    std::vector<Entry> sourceEntries;
    std::vector<Entry> targetEntries;
    if (!list(source, sourceEntries) || !list(target, targetEntries)) {
        std::fputs("a folder could not be listed\n", stderr);
        return 1;
    }
    std::unordered_map<std::wstring, ULONGLONG> held;
    held.reserve(targetEntries.size());
    for (const Entry& entry : targetEntries) {
        held.emplace(entry.relative, entry.folder ? 0 : entry.time);
    }
    std::size_t copied = 0;
    std::size_t failed = 0;
    for (const Entry& entry : sourceEntries) {
        const auto found = held.find(entry.relative);
        const std::wstring to = target + L"\\" + entry.relative;
        if (entry.folder) {
            if (found == held.end() && !CreateDirectoryW(to.c_str(), nullptr)) {
                ++failed;
            }
        } else if (found == held.end() || found->second < entry.time) {
            if (CopyFileW((source + L"\\" + entry.relative).c_str(), to.c_str(), FALSE)) {
                ++copied;
            } else {
                ++failed;
            }
        }
    }
    std::printf("listed %zu copied %zu failed %zu\n", sourceEntries.size() + targetEntries.size(),
                copied, failed);
    return failed == 0 ? 0 : 1;
}
