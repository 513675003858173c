#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/temp_folder.h"
#include "sync/path_tests.h"

namespace {

using support::kDriveD;
using support::kDriveNotReady;

struct ExistenceCase {
    std::string path;
    bool folder;
    bool file;
};

TEST(PathTestsTest, FoldersFilesAndDrives) {
    support::TempFolder temp;
    const std::string folder = temp.folder("ソフト表");
    const std::string file = temp.file("ソフト表\\能力.txt");
    temp.file("cafe.txt");
    temp.file("cafX.txt");

    const ExistenceCase cases[] = {
        {folder, true, false},
        {file, false, true},
        {temp.at("missing"), false, false},
        {temp.at("ソフト表\\missing.txt"), false, false},
        // A trailing backslash never names a folder, nor does a root written with it.
        {folder + "\\", false, false},
        {kDriveD, true, false},
        {kDriveD + "\\", false, false},
        {kDriveNotReady, false, false},
        {kDriveNotReady + "\\", false, false},
        {"Q:", false, false},
        {"", false, false},
        // Wildcards would let the search report another entry: cafe.txt for caf?.txt.
        {temp.at("caf?.txt"), false, false},
        {temp.at("*.txt"), false, false},
        {temp.at("ソフト*"), false, false},
        {temp.path() + "\\*", false, false},
    };
    for (const ExistenceCase& c : cases) {
        SCOPED_TRACE(support::utf8(c.path));
        EXPECT_EQ(folderExists(c.path), c.folder);
        EXPECT_EQ(fileExists(c.path), c.file);
    }
}

} // namespace
