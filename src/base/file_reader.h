#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A file read whole. The buffer is eight zero bytes longer than what was read, so the
// content can be used as a terminated text.
struct FileContent {
    std::vector<char> bytes;
    std::size_t size = 0;

    const char* text() const { return bytes.data(); }
};

// Reads the whole file, opened without sharing so that no writer changes it meanwhile.
// False when the file cannot be opened, sized or read.
bool readWholeFile(const std::string& path, FileContent& content);
