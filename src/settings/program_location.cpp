#include "settings/program_location.h"

#include <windows.h>

#include "base/path.h"
#include "base/text_buffer.h"

namespace {

// The last "\" that is a character of its own, else the last "/"; npos when neither.
std::size_t lastFolderSeparator(const std::string& path) {
    const std::size_t backslash = path::lastSeparator(path);
    return backslash != std::string::npos ? backslash : path.rfind('/');
}

} // namespace

ProgramLocation programLocationOf(const std::string& modulePath) {
    ProgramLocation location;
    const std::size_t separator = lastFolderSeparator(modulePath);
    location.folder = separator != std::string::npos ? modulePath.substr(0, separator) : std::string();
    location.fileName = fileNamePart(modulePath);
    location.drivePrefix = modulePath.substr(0, 2);
    return location;
}

ProgramLocation currentProgramLocation() {
    TextBuffer buffer(MAX_PATH + 1);
    GetModuleFileNameA(nullptr, buffer.data(), MAX_PATH);
    return programLocationOf(buffer.text());
}

std::string pathInFolder(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

std::string fileNamePart(const std::string& path) {
    const std::size_t separator = lastFolderSeparator(path);
    return separator != std::string::npos ? path.substr(separator + 1) : path;
}
