#include "settings/settings_file.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/file_reader.h"
#include "base/file_system.h"
#include "base/folder_identity.h"
#include "base/path.h"
#include "base/scoped_handle.h"
#include "base/text_buffer.h"

namespace {

const char kSettingsFileName[] = "Pairwarden.ini";
const char kDefaultDefinitionFile[] = "SyncDef.txt";
const char kDefSyncFileSection[] = "DefSyncFile";
const char kSecurePathSection[] = "SecurePath";
const char kHoldFolderSection[] = "HoldFolder";
const char kNone[] = "None";

const int kDefaultWidth = 480;
const int kDefaultHeight = 360;

// A section text is entries ended by a zero byte each, and one more zero byte at its end.
void appendEntry(std::string& section, const std::string& entry) {
    section += entry;
    section += '\0';
}

// What a replaced settings file takes over from the old one.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool flushToDisk(const std::string& path) {
    FileHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && FlushFileBuffers(file.get());
}

// The profile writer rewrites the whole file where it lies, so a full or vanished drive
// would leave it cut short, the other sections with it. The section is written into a copy
// beside the file instead, which then takes its place in one step.
bool writeSection(const char* section, std::string text, const std::string& file) {
    text += '\0'; // the end of the section text; std::string adds the final zero
    const DWORD attributes = GetFileAttributesA(file.c_str());
    FileContent old;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // A read-only file is the user's choice, and one that cannot be read must not be
        // replaced by a copy without its other sections.
        if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
            !readWholeFile(file, old)) {
            return false;
        }
    }
    std::string temporary;
    {
        FileHandle copy =
            createTemporaryFile(path::folderPart(file), FILE_ATTRIBUTE_NORMAL, temporary);
        if (!copy) {
            return false;
        }
        if (!writeAll(copy.get(), old.text(), old.size)) {
            copy.reset();
            discardTemporary(temporary);
            return false;
        }
    }
    const bool written =
        WritePrivateProfileSectionA(section, text.c_str(), temporary.c_str()) != FALSE;
    // The profile writer may keep the file in memory; this call hands it to the disk.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, temporary.c_str());
    if (!written || !flushToDisk(temporary)) {
        discardTemporary(temporary);
        return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeptAttributes) != 0) {
        SetFileAttributesA(temporary.c_str(), attributes & kKeptAttributes);
    }
    return replaceWithTemporary(temporary, file);
}

} // namespace

SettingsFile::SettingsFile(const ProgramLocation& location)
    : location_(location), path_(pathInFolder(location.folder, kSettingsFileName)) {}

std::string SettingsFile::readText(const char* section, const std::string& key) const {
    TextBuffer value;
    GetPrivateProfileStringA(section, key.c_str(), kNone, value.data(),
                             static_cast<DWORD>(value.size()), path_.c_str());
    return value.text();
}

void SettingsFile::markHidden() const { SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_HIDDEN); }

std::string SettingsFile::ReadDefSyncFile() const {
    const std::string stored = readText(kDefSyncFileSection, "Name");
    if (stored == kNone || !fileExists(stored)) {
        return pathInFolder(location_.folder, kDefaultDefinitionFile);
    }
    return stored;
}

void SettingsFile::WriteDefSyncFile(const std::string& definitionFile) const {
    std::string section;
    appendEntry(section, "Name=" + definitionFile);
    writeSection(kDefSyncFileSection, section, path_);
    markHidden();
}

int SettingsFile::ReadSecurePaths(StringList& folders) const {
    int n = 1;
    for (;; ++n) {
        const std::string value = readText(kSecurePathSection, "TargetSecure" + std::to_string(n));
        if (value == kNone) {
            break;
        }
        // Stored values are full paths without their drive and so begin with "\"; anything
        // else would name the whole drive ("") or a drive-relative path.
        if (value.size() < 2 || value[0] != '\\') {
            continue;
        }
        // However the folder was written, it is taken in its one true form: the protect
        // records its files so, and the folders dialog compares it so.
        const std::string full = folderSpelling(location_.drivePrefix + value);
        const std::string parent = path::folderPart(full);
        const bool parentExists = !parent.empty() && folderExists(parent);
        if (folderExists(full) || parentExists) {
            folders.append(full);
        }
    }
    return n - 1;
}

int SettingsFile::WriteSecurePaths(int type, StringList* folders, StringList* rejected) const {
    if (folders == nullptr || folders->empty()) {
        writeSection(kSecurePathSection, std::string(), path_);
        return 0;
    }
    std::string section;
    int handedIn = 0;
    int counter = 1;
    std::string folder;
    while (folders->takeFirst(folder)) {
        ++handedIn;
        if (!path::sameDrive(folder, location_.drivePrefix)) {
            if (rejected != nullptr) {
                rejected->append(folder);
            }
            continue;
        }
        appendEntry(section, "TargetSecure" + std::to_string(counter++) + "=" + folder.substr(2));
    }
    appendEntry(section, "Type=" + std::to_string(type));
    writeSection(kSecurePathSection, section, path_);
    return handedIn;
}

int SettingsFile::ReadSecureType() const {
    const std::string value = readText(kSecurePathSection, "Type");
    if (value == kNone) {
        return 0;
    }
    const double number = std::strtod(value.c_str(), nullptr);
    if (!(number > -2147483648.0)) {
        return number < 0 ? INT_MIN : 0; // NaN and large negatives
    }
    if (number >= 2147483647.0) {
        return INT_MAX;
    }
    return static_cast<int>(number);
}

int SettingsFile::ReadHoldFolderDays(int fallback) const {
    const std::string value = readText(kHoldFolderSection, "KeepDays");
    // A hundred years is for ever; more digits are a typing error.
    if (value.empty() || value.size() > 5) {
        return fallback;
    }
    int days = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return fallback;
        }
        days = days * 10 + (c - '0');
    }
    return days;
}

void SettingsFile::LoadWindowSize(HWND window) const {
    const std::string file = windowSizeSettingsPath(path_);
    const std::string section = windowSizeSectionName(path_);
    const unsigned storedWidth =
        GetPrivateProfileIntA(section.c_str(), "Width", kDefaultWidth, file.c_str()) & 0xFFFFu;
    const unsigned storedHeight =
        GetPrivateProfileIntA(section.c_str(), "Height", kDefaultHeight, file.c_str()) & 0xFFFFu;
    RECT client = {};
    GetClientRect(window, &client);
    const unsigned clientWidth = static_cast<unsigned>(client.right - client.left);
    const unsigned clientHeight = static_cast<unsigned>(client.bottom - client.top);
    const unsigned width = storedWidth > clientWidth ? storedWidth : clientWidth;
    const unsigned height = storedHeight > clientHeight ? storedHeight : clientHeight;
    SetWindowPos(window, nullptr, 0, 0, static_cast<int>(width), static_cast<int>(height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void SettingsFile::SaveWindowSize(HWND window) const {
    RECT outer = {};
    GetWindowRect(window, &outer);
    std::string section;
    appendEntry(section, "Width=" + std::to_string(outer.right - outer.left));
    appendEntry(section, "Height=" + std::to_string(outer.bottom - outer.top));
    writeSection(windowSizeSectionName(path_).c_str(), section, windowSizeSettingsPath(path_));
    SetFileAttributesA(windowSizeSettingsPath(path_).c_str(), FILE_ATTRIBUTE_HIDDEN);
}

std::string windowSizeSettingsPath(const std::string& settingsPath) {
    if (settingsPath.size() <= 4 || settingsPath.compare(settingsPath.size() - 4, 4, ".ini") != 0) {
        return settingsPath + ".ini";
    }
    return settingsPath;
}

std::string windowSizeSectionName(const std::string& settingsPath) {
    std::string name = path::namePart(windowSizeSettingsPath(settingsPath));
    if (name.size() >= 4 && name[name.size() - 4] == '.') {
        name.erase(name.size() - 4);
    }
    return name + "-WH-Size";
}
