#pragma once

#include <string>

#include "base/file_time.h"

namespace support {

// Drives of the test environment. D: and E: are ordinary drives that tests make folders
// in; R: is a drive whose whole root a test may use while it holds a DriveRootLock; the
// medium of N: is missing; S: is a small drive (a few megabytes) for copies that run out of
// space, or an ordinary folder where the harness could not mount one.
inline const std::string kDriveD = "D:";
inline const std::string kDriveE = "E:";
inline const std::string kDriveRoot = "R:";
inline const std::string kDriveNotReady = "N:";
inline const std::string kDriveSmall = "S:";

// Drives with a volume label. U: is removable, as a USB stick is: the shell's recycle bin
// does not serve it. Its label holds characters whose second byte is that of "\". L: and
// M: are fixed drives whose labels differ only in case.
inline const std::string kDriveU = "U:";
inline const std::string kLabelU = "USBソ表";
inline const std::string kDriveL = "L:";
inline const std::string kDriveM = "M:";
inline const std::string kLabelL = "Work表";

// A folder of its own for one test, removed with everything in it at the end.
class TempFolder {
  public:
    explicit TempFolder(const std::string& parent = kDriveD);
    ~TempFolder();

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }

    // The path of an entry below the folder ("a\b.txt" gives path + "\a\b.txt").
    std::string at(const std::string& relative) const { return path_ + "\\" + relative; }

    // Creates the folder (and missing parents) below this one; returns its path.
    std::string folder(const std::string& relative) const;

    // Creates a file (and missing parents) with the content and, when given, the write time.
    std::string file(const std::string& relative, const std::string& content = "x",
                     FileTime writeTime = 0) const;

  private:
    std::string path_;
};

// Exclusive use of the root of R: among all test processes; the root is emptied when the
// lock is taken and again when it is given back.
class DriveRootLock {
  public:
    DriveRootLock();
    ~DriveRootLock();

    DriveRootLock(const DriveRootLock&) = delete;
    DriveRootLock& operator=(const DriveRootLock&) = delete;

    bool locked() const { return mutex_ != nullptr; }

  private:
    void emptyRoot() const;
    void* mutex_ = nullptr;
};

} // namespace support
