#pragma once

#include <string>
#include <vector>

namespace support {

// One item in the recycle bin of the test environment.
struct TrashedItem {
    std::string originalPath; // the Windows path it was deleted from
    std::string storedPath;   // where the bin keeps it now (a Windows path)
};

// The recycle bin of the test environment: Wine keeps deleted items in the XDG trash,
// which the test launcher places inside the build tree.
class RecycleBin {
  public:
    // Whether the bin exists; without it the shell's delete with undo deletes for good.
    static bool available();

    static std::vector<TrashedItem> items();

    // The item deleted from the path (compared without regard to case), if it is there.
    static bool find(const std::string& originalPath, TrashedItem& item);
    static bool holds(const std::string& originalPath);
};

} // namespace support
