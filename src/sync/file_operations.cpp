#include "sync/file_operations.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "base/file_system.h"
#include "base/path.h"
#include "base/scoped_handle.h"
#include "base/worker_thread.h"
#include "sync/holding_folder.h"
#include "sync/pass_progress.h"

namespace {

const char kDeletedTag[] = "【削除】";
const char kDeleteErrorTag[] = "【エラー削除】";
const char kCopiedTag[] = "【コピー】";
const char kCopyErrorTag[] = "【エラーコピー】";
const char kLeftoverRemovedTag[] = "【一時ファイル削除】";

// Shell flags: allow undo (to the recycle bin), no confirmation, no error dialog; the tree
// delete adds silent (no progress window).
constexpr FILEOP_FLAGS kDeleteEntryFlags = 0x450;
constexpr FILEOP_FLAGS kDeleteTreeFlags = 0x454;
constexpr FILEOP_FLAGS kAllowUndo = 0x40;

// Large enough that a big file costs few calls, small enough that a stop request is seen
// within a few milliseconds.
constexpr DWORD kCopyChunk = 1 << 20;

// Attributes a copy carries over; the rest belong to the file system.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;


void trace(const std::string& path, const char* what) {
    OutputDebugStringA((path + what).c_str());
}

bool shellDelete(const std::string& path, HWND owner, FILEOP_FLAGS flags) {
    // The source is a list of names, each ended by a zero byte, the list by another one.
    std::string from = path;
    from.push_back('\0');
    from.push_back('\0');
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = owner;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = flags;
    const int result = SHFileOperationA(&operation);
    return result == 0 && !operation.fAnyOperationsAborted;
}

// Renames the finished copy, still open, to the destination in one step. A new destination
// needs no look at what is there; an existing one is replaced unless it is read-only, which
// the platform's copy would refuse too (some file systems let a rename replace it). With a
// holding folder the old version is moved there just before the rename: a stop between the
// two leaves both on the disk, the old one held and the new one under its temporary name.
bool putInPlace(const PassContext& context, HANDLE temporary, const std::string& destination) {
    if (renameOpenFile(temporary, destination, false)) {
        return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
        return false;
    }
    const DWORD existing = GetFileAttributesA(destination.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    HoldingFolder* holding = context.holding;
    if (holding == nullptr) {
        return renameOpenFile(temporary, destination, true);
    }
    std::string heldAt;
    if (!holding->take(context, destination, heldAt)) {
        return false; // the old version stays where it is
    }
    if (renameOpenFile(temporary, destination, false)) {
        return true;
    }
    const DWORD error = GetLastError();
    holding->giveBack(heldAt, destination);
    SetLastError(error);
    return false;
}

// What a copy needs to know of its open source. The handle's basic and standard records
// are asked for on their own: the whole-file record also asks the volume for its serial
// number, which costs more than the rest of a small copy.
struct SourceFacts {
    DWORD attributes = 0;
    FILETIME lastWrite = {};
    unsigned long long size = 0;
};

bool readSourceFacts(HANDLE source, SourceFacts& facts) {
    FILE_BASIC_INFO basic = {};
    FILE_STANDARD_INFO standard = {};
    if (!GetFileInformationByHandleEx(source, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(source, FileStandardInfo, &standard, sizeof standard) ||
        standard.Directory) {
        return false;
    }
    facts.attributes = basic.FileAttributes;
    facts.lastWrite.dwLowDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart);
    facts.lastWrite.dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart >> 32);
    facts.size = static_cast<unsigned long long>(standard.EndOfFile.QuadPart);
    return true;
}

// Copies the open source into a new temporary file in the destination's folder, with the
// source's attributes and write time. On failure or a stop no temporary file remains.
FileHandle writeTemporaryCopy(const PassContext& context, HANDLE source, const SourceFacts& info,
                              const std::string& destination, bool makeParents,
                              std::string& temporaryPath) {
    // Missing folders are made only when the file cannot be created, which spares the
    // common case a lookup of the folder per copied file.
    const std::string folder = path::folderPart(destination);
    DWORD attributes = info.attributes & kCopiedAttributes;
    if (attributes == 0) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    // The temporary file gets the copy's attributes at once: some file systems keep "hidden"
    // and "system" only when a file is created with them. A handle that creates a read-only
    // file may still write it.
    const DWORD flags = attributes | FILE_FLAG_SEQUENTIAL_SCAN;
    FileHandle temporary = createTemporaryFile(folder, flags, temporaryPath);
    if (!temporary && makeParents && !folder.empty() && !folderExists(folder)) {
        createFolderPath(folder);
        temporary = createTemporaryFile(folder, flags, temporaryPath);
    }
    if (!temporary) {
        return FileHandle();
    }

    std::vector<char> buffer(static_cast<std::size_t>(
        std::max<unsigned long long>(1, std::min<unsigned long long>(info.size, kCopyChunk))));
    bool ok = true;
    noteCopyStarted(context, info.size);
    for (;;) {
        if (context.stopRequested()) {
            ok = false;
            break;
        }
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        if (!writeAll(temporary.get(), buffer.data(), got)) {
            ok = false;
            break;
        }
        noteCopiedBytes(context, got);
    }
    // The copy keeps the source's write time: later passes compare it.
    ok = ok && SetFileTime(temporary.get(), nullptr, nullptr, &info.lastWrite);
    if (!ok) {
        temporary.reset();
        discardTemporary(temporaryPath);
    }
    return temporary;
}

// Makes the written temporary copy the destination. Its data must be on the disk before
// the rename: after a power cut the name must not stand for a file whose blocks were never
// written. On failure the temporary file is removed.
bool finishCopy(const PassContext& context, FileHandle& temporary, const std::string& temporaryPath,
                const std::string& destination) {
    const bool ok =
        FlushFileBuffers(temporary.get()) && putInPlace(context, temporary.get(), destination);
    temporary.reset();
    if (!ok) {
        discardTemporary(temporaryPath);
    }
    return ok;
}

void appendCopyLine(PassContext& context, std::string line) {
    if (context.copyFinisher != nullptr) {
        context.copyFinisher->add(FileHandle(), std::string(), std::move(line));
    } else {
        context.copyList.append(line);
    }
}

// How many written copies may wait for their end: enough to keep the disk busy while the
// next ones are written, few enough that a stop abandons little.
constexpr std::size_t kCopiesInFlight = 16;

// Where a recycle bin would not keep a deleted entry, the target's holding folder does.
bool removeOrHold(PassContext& context, const std::string& path, bool folder) {
    if (context.holding != nullptr && context.holding->holdsDeletions()) {
        std::string heldAt;
        return context.holding->take(context, path, heldAt);
    }
    return folder ? deleteFolderTree(path) : shellDelete(path, nullptr, kDeleteEntryFlags);
}

} // namespace

void deleteEntry(PassContext& context, const std::string& path) {
    trace(path, " - 削除\r\n");
    bool deleted = false;
    if (path::hasWildcard(path)) {
        deleted = false; // it cannot be told apart from a pattern; never handed on
    } else if (fileExists(path)) {
        deleted = removeOrHold(context, path, false);
    } else if (folderExists(path)) {
        deleted = removeOrHold(context, path, true);
    } else {
        return; // already gone, with a folder deleted earlier in the pass
    }
    context.deleteList.append((deleted ? kDeletedTag : kDeleteErrorTag) + path);
}

void copyEntry(PassContext& context, const std::string& destination, const std::string& source,
               bool makeParents) {
    if (path::hasWildcard(destination) || path::hasWildcard(source)) {
        trace(destination, " - コピー\r\n");
        appendCopyLine(context, kCopyErrorTag + destination);
        return;
    }
    trace(destination, " - コピー\r\n");
    // The pass copies what its walk saw as a file. One that cannot be opened as a file now
    // (gone with its folder or its drive, replaced by a folder, unreadable) is a copy that
    // did not happen, whatever the reason, and is said so.
    FileHandle input(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    SourceFacts info;
    std::string temporaryPath;
    FileHandle temporary;
    if (input && readSourceFacts(input.get(), info)) {
        temporary =
            writeTemporaryCopy(context, input.get(), info, destination, makeParents, temporaryPath);
    }
    if (temporary && context.copyFinisher != nullptr) {
        context.copyFinisher->add(std::move(temporary), std::move(temporaryPath), destination);
        return;
    }
    const bool copied = temporary && finishCopy(context, temporary, temporaryPath, destination);
    appendCopyLine(context, (copied ? kCopiedTag : kCopyErrorTag) + destination);
}

void makeFolder(PassContext& context, const std::string& path) {
    trace(path, " - フォルダ作成\r\n");
    if (path::hasWildcard(path)) {
        appendCopyLine(context, kCopyErrorTag + path);
        return;
    }
    if (CreateDirectoryA(path.c_str(), nullptr)) {
        appendCopyLine(context, kCopiedTag + path);
    } else if (!(GetLastError() == ERROR_ALREADY_EXISTS && folderExists(path))) {
        appendCopyLine(context, kCopyErrorTag + path);
    }
}

void recordDeleteError(PassContext& context, const std::string& path) {
    trace(path, " - 削除せず\r\n");
    context.deleteList.append(kDeleteErrorTag + path);
}

void recordCopyError(PassContext& context, const std::string& path) {
    trace(path, " - コピーせず\r\n");
    appendCopyLine(context, kCopyErrorTag + path);
}

CopyFinisher::CopyFinisher(PassContext& context) : context_(context) {
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&filled_);
    InitializeConditionVariable(&emptied_);
    thread_.reset(CreateThread(nullptr, 0, threadBody, this, 0, nullptr));
    if (thread_) {
        context_.copyFinisher = this;
    }
}

CopyFinisher::~CopyFinisher() {
    if (thread_) {
        {
            CriticalSectionLock hold(lock_);
            closing_ = true;
        }
        WakeConditionVariable(&filled_);
        WaitForSingleObject(thread_.get(), INFINITE);
        context_.copyFinisher = nullptr;
    }
    DeleteCriticalSection(&lock_);
}

void CopyFinisher::add(FileHandle temporary, std::string temporaryPath, std::string text) {
    {
        CriticalSectionLock hold(lock_);
        while (items_.size() >= kCopiesInFlight) {
            SleepConditionVariableCS(&emptied_, &lock_, INFINITE);
        }
        items_.push_back(Item{std::move(temporary), std::move(temporaryPath), std::move(text)});
    }
    WakeConditionVariable(&filled_);
}

DWORD WINAPI CopyFinisher::threadBody(void* self) {
    static_cast<CopyFinisher*>(self)->finishAll();
    return 0;
}

void CopyFinisher::finishAll() {
    for (;;) {
        Item item;
        {
            CriticalSectionLock hold(lock_);
            while (items_.empty() && !closing_) {
                SleepConditionVariableCS(&filled_, &lock_, INFINITE);
            }
            if (items_.empty()) {
                return;
            }
            item = std::move(items_.front());
            items_.pop_front();
        }
        WakeConditionVariable(&emptied_);
        finish(item);
    }
}

void CopyFinisher::finish(Item& item) {
    if (!item.temporary) {
        context_.copyList.append(item.text);
        return;
    }
    bool copied = false;
    if (context_.stopRequested()) {
        item.temporary.reset();
        discardTemporary(item.temporaryPath);
    } else {
        copied = finishCopy(context_, item.temporary, item.temporaryPath, item.text);
    }
    context_.copyList.append((copied ? kCopiedTag : kCopyErrorTag) + item.text);
}

bool deleteFolderTree(const std::string& path, bool toRecycleBin) {
    if (path::hasWildcard(path)) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // One trailing separator goes; a final trail byte 0x5C (ソ) is part of the name.
    std::string target = path;
    if (!target.empty() && path::lastSeparator(target) == target.size() - 1) {
        target.pop_back();
    }
    return shellDelete(target, GetDesktopWindow(),
                       toRecycleBin ? kDeleteTreeFlags : kDeleteTreeFlags & ~kAllowUndo);
}

void removeLeftoverCopies(PassContext& context, const std::vector<std::string>& paths) {
    for (const std::string& leftover : paths) {
        if (context.stopRequested()) {
            return;
        }
        OutputDebugStringA((leftover + " - 一時ファイル削除\r\n").c_str());
        bool removed = false;
        if (path::hasWildcard(leftover)) {
            removed = false;
        } else if (leftover.size() >= MAX_PATH) {
            // Beyond the shell's reach; it is the program's own cut-off copy, never a
            // user's file, and the file it was to replace is whole.
            removed = discardTemporary(leftover);
        } else {
            SetFileAttributesA(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
            removed = shellDelete(leftover, GetDesktopWindow(), kDeleteTreeFlags);
        }
        context.deleteList.append((removed ? kLeftoverRemovedTag : kDeleteErrorTag) + leftover);
    }
}
