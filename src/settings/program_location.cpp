#include "settings/program_location.h"

#include <windows.h>

#include "base/path.h"
#include "base/text_buffer.h"

ProgramLocation programLocationOf(const std::string& modulePath) {
    ProgramLocation location;
    location.folder = path::folderPart(modulePath);
    location.fileName = path::namePart(modulePath);
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
