#include "sync/file_operations.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "base/file_system.h"
#include "base/path.h"
#include "base/scoped_handle.h"

namespace {

const char kDeletedTag[] = "【削除】";
const char kDeleteErrorTag[] = "【エラー削除】";
const char kCopiedTag[] = "【コピー】";
const char kCopyErrorTag[] = "【エラーコピー】";

// Shell flags: allow undo (to the recycle bin), no confirmation, no error dialog; the tree
// delete adds silent (no progress window).
constexpr FILEOP_FLAGS kDeleteEntryFlags = 0x450;
constexpr FILEOP_FLAGS kDeleteTreeFlags = 0x454;

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

// Renames the finished copy to the destination in one step. A new destination needs no
// look at what is there; an existing one is replaced unless it is read-only, which the
// platform's copy would refuse too (some file systems let a rename replace it).
bool putInPlace(const std::string& temporaryPath, const std::string& destination) {
    if (MoveFileExA(temporaryPath.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
        return false;
    }
    const DWORD existing = GetFileAttributesA(destination.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    return MoveFileExA(temporaryPath.c_str(), destination.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Copies the open source into a temporary file in the destination's folder and renames
// that over the destination. On any failure or stop the temporary file is removed.
bool copyThroughTemporary(const PassContext& context, HANDLE source,
                          const BY_HANDLE_FILE_INFORMATION& info, const std::string& destination,
                          bool makeParents) {
    // Missing folders are made only when the file cannot be created, which spares the
    // common case a lookup of the folder per copied file.
    const std::string folder = path::folderPart(destination);
    DWORD attributes = info.dwFileAttributes & kCopiedAttributes;
    if (attributes == 0) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    // The temporary file gets the copy's attributes at once: some file systems keep "hidden"
    // and "system" only when a file is created with them. A handle that creates a read-only
    // file may still write it.
    const DWORD flags = attributes | FILE_FLAG_SEQUENTIAL_SCAN;
    std::string temporaryPath;
    FileHandle temporary = createTemporaryFile(folder, flags, temporaryPath);
    if (!temporary && makeParents && !folder.empty() && !folderExists(folder)) {
        createFolderPath(folder);
        temporary = createTemporaryFile(folder, flags, temporaryPath);
    }
    if (!temporary) {
        return false;
    }

    const unsigned long long size =
        (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    std::vector<char> buffer(static_cast<std::size_t>(
        std::max<unsigned long long>(1, std::min<unsigned long long>(size, kCopyChunk))));
    bool ok = true;
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
    }
    // The copy keeps the source's write time (later passes compare it), and its data must be
    // on the disk before the rename makes it the destination: after a power cut the name
    // must not stand for a file whose blocks were never written.
    ok = ok && SetFileTime(temporary.get(), nullptr, nullptr, &info.ftLastWriteTime) &&
         FlushFileBuffers(temporary.get());
    temporary.reset();

    ok = ok && putInPlace(temporaryPath, destination);
    if (!ok) {
        discardTemporary(temporaryPath);
    }
    return ok;
}

} // namespace

void deleteEntry(PassContext& context, const std::string& path) {
    trace(path, " - 削除\r\n");
    bool deleted = false;
    if (path::hasWildcard(path)) {
        deleted = false; // it cannot be told apart from a pattern; never handed on
    } else if (fileExists(path)) {
        deleted = shellDelete(path, nullptr, kDeleteEntryFlags);
    } else if (folderExists(path)) {
        deleted = deleteFolderTree(path);
    } else {
        return; // already gone, with a folder deleted earlier in the pass
    }
    context.deleteList.append((deleted ? kDeletedTag : kDeleteErrorTag) + path);
}

void copyEntry(PassContext& context, const std::string& destination, const std::string& source,
               bool makeParents) {
    if (path::hasWildcard(destination) || path::hasWildcard(source)) {
        trace(destination, " - コピー\r\n");
        context.copyList.append(kCopyErrorTag + destination);
        return;
    }
    // Opening the source answers "is it a file" in the common case without a search of its
    // own; only when it cannot be opened is the search needed to tell a folder or a
    // vanished file (no line) from a file that cannot be read (an error).
    FileHandle input(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool opened = input && GetFileInformationByHandle(input.get(), &info) &&
                        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (!opened && !fileExists(source)) {
        trace(destination, " - フォルダなのでスルー\r\n");
        return;
    }
    trace(destination, " - コピー\r\n");
    const bool copied =
        opened && copyThroughTemporary(context, input.get(), info, destination, makeParents);
    context.copyList.append((copied ? kCopiedTag : kCopyErrorTag) + destination);
}

void makeFolder(PassContext& context, const std::string& path) {
    trace(path, " - フォルダ作成\r\n");
    if (path::hasWildcard(path)) {
        context.copyList.append(kCopyErrorTag + path);
        return;
    }
    if (CreateDirectoryA(path.c_str(), nullptr)) {
        context.copyList.append(kCopiedTag + path);
    } else if (!(GetLastError() == ERROR_ALREADY_EXISTS && folderExists(path))) {
        context.copyList.append(kCopyErrorTag + path);
    }
}

void recordDeleteError(PassContext& context, const std::string& path) {
    trace(path, " - 削除せず\r\n");
    context.deleteList.append(kDeleteErrorTag + path);
}

void recordCopyError(PassContext& context, const std::string& path) {
    trace(path, " - コピーせず\r\n");
    context.copyList.append(kCopyErrorTag + path);
}

bool deleteFolderTree(const std::string& path) {
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
    return shellDelete(target, GetDesktopWindow(), kDeleteTreeFlags);
}

void removeLeftoverCopies(const std::vector<std::string>& paths, const std::atomic<bool>* stop) {
    for (const std::string& leftover : paths) {
        if (stop != nullptr && stop->load()) {
            return;
        }
        OutputDebugStringA((leftover + " - 一時ファイル削除\r\n").c_str());
        SetFileAttributesA(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
        shellDelete(leftover, GetDesktopWindow(), kDeleteTreeFlags);
    }
}
