#include "base/text_file_writer.h"

#include <windows.h>

#include "base/file_system.h"
#include "base/scoped_handle.h"

bool TextFileWriter::setText(const std::string& text) {
    text_ = text;
    hasText_ = true;
    return true;
}

bool TextFileWriter::writeTo(const std::string& path) {
    if (!hasText_) {
        return false;
    }
    // Creating a file anew over a hidden or system file fails unless the same attributes
    // are asked for, so the existing ones are passed on.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    attributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL |
                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY;
    if (attributes == 0) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    FileHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    if (!file) {
        return false;
    }
    const bool ok = writeAll(file.get(), text_);
    text_.clear();
    text_.shrink_to_fit();
    hasText_ = false;
    return ok;
}
