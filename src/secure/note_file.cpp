#include "secure/note_file.h"

#include "base/file_reader.h"
#include "base/file_system.h"
#include "base/scoped_handle.h"
#include "secure/store_layout.h"

namespace {

const char kTemporarySuffix[] = ".tmp";

bool deleteEvenReadOnly(const std::string& path) {
    if (DeleteFileA(path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        SetLastError(error);
        return false;
    }
    SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return DeleteFileA(path.c_str()) != FALSE;
}

} // namespace

std::string noteTemporaryOf(const std::string& notePath) {
    return notePath + kTemporarySuffix;
}

bool writeNoteFile(const std::string& notePath) {
    const std::string temporary = noteTemporaryOf(notePath);
    {
        FileHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        if (!writeAll(file.get(), store::kNoteContent) || !FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileA(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExA(temporary.c_str(), notePath.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

bool isProgramNote(const std::string& path) {
    FileContent content;
    DWORD error = 0;
    return readSharedFile(path, content, 0, error) && content.size == store::kNoteContent.size() &&
           store::kNoteContent.compare(0, std::string::npos, content.text(), content.size) == 0;
}

bool isLeftoverNoteTemporary(const std::string& path) {
    const std::string name = store::kNoteName + kTemporarySuffix;
    if (path.size() < name.size() ||
        path.compare(path.size() - name.size(), std::string::npos, name) != 0) {
        return false;
    }
    FileContent content;
    DWORD error = 0;
    return readSharedFile(path, content, 0, error) && content.size <= store::kNoteContent.size() &&
           store::kNoteContent.compare(0, content.size, content.text(), content.size) == 0;
}

NoteRemoval removeNoteFile(const std::string& notePath, DWORD& error) {
    error = 0;
    const std::string temporary = noteTemporaryOf(notePath);
    if (isLeftoverNoteTemporary(temporary)) {
        deleteEvenReadOnly(temporary);
    }
    FileContent content;
    if (!readSharedFile(notePath, content, kHeldFileWaitMs, error)) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            error = 0;
            return NoteRemoval::Removed;
        }
        return NoteRemoval::Kept;
    }
    if (content.size != store::kNoteContent.size() ||
        store::kNoteContent.compare(0, std::string::npos, content.text(), content.size) != 0) {
        return NoteRemoval::Changed;
    }
    if (!retryWhileHeld([&] { return deleteEvenReadOnly(notePath); }, kHeldFileWaitMs)) {
        error = GetLastError();
        return NoteRemoval::Kept;
    }
    return NoteRemoval::Removed;
}
