#include "base/text_file_writer.h"

#include <windows.h>

#include "base/file_system.h"
#include "base/path.h"
#include "base/scoped_handle.h"

namespace {

// What the new file takes over from the one it replaces; the rest belongs to the file
// system. Read-only is not among them: such a file is not replaced at all.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                  FILE_ATTRIBUTE_TEMPORARY;

bool failWith(DWORD error) {
    SetLastError(error);
    return false;
}

} // namespace

bool TextFileWriter::setText(const std::string& text) {
    text_ = text;
    hasText_ = true;
    return true;
}

bool TextFileWriter::writeTo(const std::string& path) {
    if (!hasText_) {
        return failWith(ERROR_INVALID_FUNCTION);
    }
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    const DWORD existing = GetFileAttributesA(path.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        // Truncating a read-only file is refused, and some file systems would let a rename
        // replace it; the user made it read-only, so it is left alone either way.
        if ((existing & FILE_ATTRIBUTE_READONLY) != 0) {
            return failWith(ERROR_ACCESS_DENIED);
        }
        // Given at creation, since some file systems keep "hidden" and "system" only then.
        if ((existing & kKeptAttributes) != 0) {
            attributes = existing & kKeptAttributes;
        }
    }
    std::string temporary;
    {
        FileHandle file = createTemporaryFile(path::folderPart(path), attributes, temporary);
        if (!file) {
            return false;
        }
        // The new content must be on the disk before it takes the old one's place.
        if (!writeAll(file.get(), text_) || !FlushFileBuffers(file.get())) {
            const DWORD error = GetLastError();
            file.reset();
            discardTemporary(temporary);
            return failWith(error);
        }
    }
    if (!replaceWithTemporary(temporary, path)) {
        return false;
    }
    text_.clear();
    text_.shrink_to_fit();
    hasText_ = false;
    return true;
}
