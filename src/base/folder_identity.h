#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Whether two folders are one, or one lies inside the other, whatever their spelling: the
// same folder can be written with "/" or "\", with "." and "..", with 8.3 short names, through
// a substituted drive or through a linked folder.

// The full long form of a path: absolute, "\" as the separator, without "." and "..", and
// with every part that exists in its long form. A drive name ("D:") becomes its root
// ("D:\"). The path as given when no full form can be made.
std::string fullLongPath(const std::string& path);

// The one spelling under which a folder is listed, stored and compared: its full long form
// with the drive letter in upper case ("d:\x" lies on drive D:). A drive name stays a drive
// name ("d:" gives "D:").
std::string folderSpelling(const std::string& path);

// What names one file or folder on disk, whatever the path: the serial number of its volume
// and its file index.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
};

// The identity of an existing file or folder (a link is followed); false when it cannot be
// opened.
bool identityOf(const std::string& path, FileIdentity& identity);

// One folder as a place on disk: its full long form, and the identities of the folder and of
// every folder above it.
class FolderPlace {
  public:
    explicit FolderPlace(const std::string& folder);

    const std::string& fullPath() const { return fullPath_; }

    // Whether this folder is `outer` or lies below it: their full long forms say so, or this
    // folder or a folder above it is the same folder on disk as `outer`.
    bool isSameOrInside(const FolderPlace& outer) const;

    // The same for two paths given as text.
    static bool isSameOrInside(const std::string& inner, const std::string& outer);

  private:
    std::string fullPath_;
    bool known_ = false;
    FileIdentity own_;
    // The folder's own identity (when known) and those of the folders above it that could
    // be opened, nearest first.
    std::vector<FileIdentity> chain_;
};
