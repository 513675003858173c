#include "sync/holding_folder.h"

#include <cstdio>
#include <cwchar>

#include "base/file_system.h"
#include "base/path.h"
#include "base/scoped_handle.h"
#include "sync/file_operations.h"
#include "sync/messages.h"

namespace {

const char kHeldTag[] = "【保管】";
const char kPlannedHoldTag[] = "【保管予定】";
const char kDeletedTag[] = "【削除】";
const char kDeleteErrorTag[] = "【エラー削除】";
const char kPlannedDeleteTag[] = "【削除予定】";

constexpr ULONGLONG kDay = 24ULL * 3600 * 10'000'000;

std::wstring wideOf(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    }
    wide.resize(wide.size() - 1);
    return wide;
}

ULONGLONG valueOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG localNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FILETIME local;
    FileTimeToLocalFileTime(&now, &local);
    return valueOf(local);
}

// The local time a dated folder's name stands for; false for any other name, "20001301-
// 000000" (no such month) included.
bool stampTime(const wchar_t* name, ULONGLONG& time) {
    if (std::wcslen(name) != 15 || name[8] != L'-') {
        return false;
    }
    int digits[14];
    int n = 0;
    for (int i = 0; i < 15; ++i) {
        if (i == 8) {
            continue;
        }
        if (name[i] < L'0' || name[i] > L'9') {
            return false;
        }
        digits[n++] = name[i] - L'0';
    }
    auto number = [&](int from, int count) {
        WORD value = 0;
        for (int i = from; i < from + count; ++i) {
            value = static_cast<WORD>(value * 10 + digits[i]);
        }
        return value;
    };
    SYSTEMTIME calendar = {};
    calendar.wYear = number(0, 4);
    calendar.wMonth = number(4, 2);
    calendar.wDay = number(6, 2);
    calendar.wHour = number(8, 2);
    calendar.wMinute = number(10, 2);
    calendar.wSecond = number(12, 2);
    FILETIME local;
    if (calendar.wMonth < 1 || calendar.wMonth > 12 || calendar.wDay < 1 || calendar.wHour > 23 ||
        calendar.wMinute > 59 || calendar.wSecond > 59 ||
        !SystemTimeToFileTime(&calendar, &local)) {
        return false;
    }
    time = valueOf(local);
    return true;
}

// "name (2).ext" for a file, "name (2)" for a folder: the next free name beside a held
// entry of the same name.
std::string numbered(const std::string& path, bool folder, int number) {
    const std::size_t separator = path::lastSeparator(path);
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    std::size_t dot = folder ? std::string::npos : path.rfind('.');
    if (dot != std::string::npos && dot <= nameStart) {
        dot = std::string::npos; // ".profile" is a name, not an extension
    }
    const std::string suffix = " (" + std::to_string(number) + ")";
    return dot == std::string::npos ? path + suffix
                                    : path.substr(0, dot) + suffix + path.substr(dot);
}

} // namespace

bool isHoldingFolderName(const wchar_t* name) {
    static const std::wstring holding = wideOf(kHoldingFolderName);
    return CompareStringOrdinal(name, -1, holding.c_str(), static_cast<int>(holding.size()),
                                TRUE) == CSTR_EQUAL;
}

std::string holdingStampNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

bool deletionsAreFinal(const std::string& folder) {
    char volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameA((folder + "\\").c_str(), volume, MAX_PATH + 1)) {
        return true; // nobody can say that a recycle bin would keep it
    }
    return GetDriveTypeA(volume) != DRIVE_FIXED;
}

HoldingFolder::HoldingFolder(const std::string& targetRoot, const std::string& stamp)
    : root_(targetRoot), dated_(targetRoot + "\\" + kHoldingFolderName + "\\" + stamp),
      holdsDeletions_(deletionsAreFinal(targetRoot)) {}

bool HoldingFolder::makeFolder(const std::string& folder) {
    // Made at once rather than looked for first: under Wine, looking for a name that is not
    // there reads the whole folder above it, and the dated folder gets a subfolder for every
    // folder of the target with a replaced file (thousands in a large tree), so a look
    // before each making grew the pass with their square.
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
        !createFolderPath(folder)) {
        readyFolder_.clear();
        return false;
    }
    readyFolder_ = folder;
    return true;
}

bool HoldingFolder::take(const PassContext& context, const std::string& path, std::string& heldAt) {
    heldAt.clear();
    if (path.size() <= root_.size() + 1 || path.compare(0, root_.size(), root_) != 0 ||
        path[root_.size()] != '\\' || path::hasWildcard(path)) {
        return false;
    }
    const std::string wanted = dated_ + path.substr(root_.size());
    // The platform's calls take no longer path; a folder made for it would stay empty.
    if (wanted.size() >= MAX_PATH) {
        return false;
    }
    const std::string folder = path::folderPart(wanted);
    const bool folderWasReady = folder == readyFolder_;
    if (!folderWasReady) {
        makeFolder(folder);
    }
    const bool isFolder = folderExists(path);
    std::string place = wanted;
    for (int number = 2; entryExists(place); ++number) {
        place = numbered(wanted, isFolder, number);
        if (place.size() >= MAX_PATH) {
            return false;
        }
    }
    // A rename on the same drive: the entry keeps its data, its times and its attributes.
    if (!MoveFileExA(path.c_str(), place.c_str(), 0)) {
        // The folder made for an earlier entry may have been removed since.
        const DWORD error = GetLastError();
        if (!folderWasReady || error != ERROR_PATH_NOT_FOUND || !makeFolder(folder) ||
            !MoveFileExA(path.c_str(), place.c_str(), 0)) {
            readyFolder_.clear();
            return false;
        }
    }
    heldAt = place;
    ++held_;
    OutputDebugStringA((path + " - 保管\r\n").c_str());
    const DWORD now = GetTickCount();
    if (context.reportWindow != nullptr && (context.reportIntervalMs == 0 || !reportedAny_ ||
                                            now - lastReport_ >= context.reportIntervalMs)) {
        reportedAny_ = true;
        lastReport_ = now;
        SendMessageA(context.reportWindow, kMsgHolding, 0, reinterpret_cast<LPARAM>(path.c_str()));
    }
    return true;
}

bool HoldingFolder::giveBack(const std::string& heldAt, const std::string& path) {
    if (heldAt.empty() || !MoveFileExA(heldAt.c_str(), path.c_str(), 0)) {
        return false;
    }
    --held_;
    return true;
}

PassHolding::PassHolding(PassContext& context, const std::vector<std::string>& folders,
                         std::size_t master)
    : context_(context), reported_(folders.size(), false) {
    const std::string stamp =
        context.holdingStamp.empty() ? holdingStampNow() : context.holdingStamp;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        targets_.push_back(i == master ? nullptr
                                       : std::make_unique<HoldingFolder>(folders[i], stamp));
    }
}

PassHolding::~PassHolding() {
    context_.holding = nullptr;
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        report(i);
    }
}

void PassHolding::select(std::size_t i) {
    context_.holding = i < targets_.size() ? targets_[i].get() : nullptr;
}

void PassHolding::done(std::size_t i) {
    context_.holding = nullptr;
    report(i);
}

void PassHolding::report(std::size_t i) {
    if (i >= targets_.size() || targets_[i] == nullptr || reported_[i] ||
        targets_[i]->heldCount() == 0) {
        return;
    }
    reported_[i] = true;
    context_.copyList.append(kHeldTag + targets_[i]->datedFolder() + " (" +
                             std::to_string(targets_[i]->heldCount()) + " 件)");
}

void removeOldDatedFolders(PassContext& context, const std::string& folder) {
    if (context.holdingDays <= 0) {
        return;
    }
    const std::string holding = folder + "\\" + kHoldingFolderName;
    const ULONGLONG now = localNow();
    const ULONGLONG kept = static_cast<ULONGLONG>(context.holdingDays) * kDay;
    const ULONGLONG cutoff = now > kept ? now - kept : 0;

    // The wide listing: a name the code page cannot hold is never taken for a stamp through
    // its best fit ("２０２４…" would read as "2024…").
    std::vector<std::string> old;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW((wideOf(holding.c_str()) + L"\\*").c_str(), &found));
    if (!search) {
        return;
    }
    do {
        ULONGLONG time = 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
            stampTime(found.cFileName, time) && time < cutoff) {
            std::string name;
            for (const wchar_t* c = found.cFileName; *c != L'\0'; ++c) {
                name.push_back(static_cast<char>(*c)); // digits and "-" only
            }
            old.push_back(holding + "\\" + name);
        }
    } while (FindNextFileW(search.get(), &found));
    search.reset();

    if (old.empty()) {
        return;
    }
    const bool final = deletionsAreFinal(folder);
    for (const std::string& dated : old) {
        if (context.stopRequested()) {
            return;
        }
        if (context.preview) {
            context.deleteList.append(kPlannedDeleteTag + dated);
            continue;
        }
        const bool removed = deleteFolderTree(dated, !final);
        context.deleteList.append((removed ? kDeletedTag : kDeleteErrorTag) + dated);
    }
    if (!context.preview) {
        RemoveDirectoryA(holding.c_str()); // only when nothing else is left in it
    }
}

void planHolding(PassContext& context, StringList& list, const std::string& path, bool deletion) {
    const HoldingFolder* holding = context.holding;
    if (holding == nullptr || (deletion && !holding->holdsDeletions())) {
        return;
    }
    list.append(kPlannedHoldTag + path);
}
