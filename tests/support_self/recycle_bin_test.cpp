#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/temp_folder.h"

namespace {

// Later tests rely on finding what the shell sent to the recycle bin; this checks the
// helper against a real delete with undo.
TEST(RecycleBinTest, FindsWhatTheShellDeletedWithUndo) {
    support::TempFolder temp;
    const std::string file = temp.file("ソフト表\\能力.txt", "content of the file");
    ASSERT_FALSE(support::RecycleBin::holds(file));

    std::string from = file;
    from.append(2, '\0');
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    ASSERT_EQ(SHFileOperationA(&operation), 0);

    EXPECT_FALSE(support::pathExists(file));
    support::TrashedItem item;
    ASSERT_TRUE(support::RecycleBin::find(file, item));
    EXPECT_EQ(support::readFile(item.storedPath), "content of the file");
    EXPECT_FALSE(support::RecycleBin::holds(temp.at("ソフト表\\other.txt")));
}

} // namespace
