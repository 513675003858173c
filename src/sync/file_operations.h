#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "base/scoped_handle.h"

#include "sync/pass_context.h"

// The only ways a mirror pass changes a folder. Each records its outcome as one line of the
// context's delete or copy list and writes a short trace to the debug output.

// Sends the file or folder to the recycle bin, or into the holding folder of the context
// where a recycle bin would not keep it (see holding_folder.h). Records "【削除】" + path, or
// "【エラー削除】" + path when it fails; nothing when the path no longer exists. A path
// holding "*" or "?" is never handed to the shell, which would take it as a pattern for
// other files: it is recorded as an error.
void deleteEntry(PassContext& context, const std::string& path);

// Copies the source file over the destination, creating missing folders above it unless
// told not to. The copy is written to a temporary file beside the destination and put in
// its place in one step, so that the destination is always either its old content or the
// complete copy, with the source's attributes and last-write time; a file it replaces goes
// into the context's holding folder first, and stays in place when it cannot. Records
// "【コピー】" + destination or "【エラーコピー】" + destination; a source that cannot be
// opened as a file (gone, a folder, unreadable) is a failed copy. A stop request of the
// context abandons the copy (an error line, no temporary file left). A pass makes folders
// itself, parents first, and copies with makeParents off: a target folder that vanished
// meanwhile must not be made again by a copy into it.
void copyEntry(PassContext& context, const std::string& destination, const std::string& source,
               bool makeParents = true);

// While one lives, copyEntry leaves the end of each copy to a thread of its own: the flush
// that puts the data on the disk, the rename that gives the copy its name, and its line.
// The flush waits for the disk, and meanwhile the next files are read and written. Every
// copy-list line of the context goes through it, so the list keeps the order in which the
// entries were handled. Its end waits until each copy handed to it is finished or, after a
// stop request, abandoned (an error line, no temporary file left). When no thread can be
// made, copies finish at once, as without it.
class CopyFinisher {
  public:
    explicit CopyFinisher(PassContext& context);
    ~CopyFinisher();

    CopyFinisher(const CopyFinisher&) = delete;
    CopyFinisher& operator=(const CopyFinisher&) = delete;

    // Takes a written temporary copy, or (without a temporary) a finished line.
    void add(FileHandle temporary, std::string temporaryPath, std::string text);

  private:
    struct Item {
        FileHandle temporary;
        std::string temporaryPath;
        std::string text; // the destination of a copy, the whole line otherwise
    };

    static DWORD WINAPI threadBody(void* self);
    void finishAll();
    void finish(Item& item);

    PassContext& context_;
    CRITICAL_SECTION lock_;
    CONDITION_VARIABLE filled_;
    CONDITION_VARIABLE emptied_;
    std::deque<Item> items_;
    bool closing_ = false;
    KernelHandle thread_;
};

// Makes the folder (its parent must exist). Records "【コピー】" + path, or "【エラーコピー】"
// + path when it cannot be made; nothing when a folder of that name is there already.
void makeFolder(PassContext& context, const std::string& path);

// Error lines for what a pass leaves as it is although the folders then differ: an entry it
// may not delete or copy, a folder it could not list.
void recordDeleteError(PassContext& context, const std::string& path);
void recordCopyError(PassContext& context, const std::string& path);

// Sends the folder with everything below it to the recycle bin (or, without
// `toRecycleBin`, deletes it for good); true when it went.
bool deleteFolderTree(const std::string& path, bool toRecycleBin = true);

// Sends leftover temporary copies (full paths) to the recycle bin, a read-only one made
// writable first; one whose path is too long for the shell is deleted. Records
// "【一時ファイル削除】" + path for each, or "【エラー削除】" + path when it stays. A stop
// request of the context ends it between two files.
void removeLeftoverCopies(PassContext& context, const std::vector<std::string>& paths);
