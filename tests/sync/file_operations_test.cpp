#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_folder.h"
#include "sync/file_operations.h"
#include "sync/path_tests.h"

namespace {

TEST(CreateFolderPathTest, CreatesEveryMissingFolderSplitOnlyAtRealSeparators) {
    support::TempFolder temp;
    // ソ and 表 end in 0x5C: a split there would create "…\\\x83" and "…\\\x95" instead.
    const std::string deep = temp.at("ソ\\表\\能\\予定");
    EXPECT_TRUE(createFolderPath(deep));
    EXPECT_TRUE(folderExists(deep));
    EXPECT_TRUE(folderExists(temp.at("ソ")));
    EXPECT_TRUE(folderExists(temp.at("ソ\\表")));
    EXPECT_EQ(support::listFolder(temp.path()), std::vector<std::string>{"ソ"});
    EXPECT_EQ(support::listFolder(temp.at("ソ")), std::vector<std::string>{"表"});

    // An existing folder is not created again; a sibling below it is.
    EXPECT_FALSE(createFolderPath(deep));
    EXPECT_TRUE(createFolderPath(temp.at("ソ\\表\\別")));
}

TEST(CreateFolderPathTest, FailsBelowAFileAndOnADriveThatIsNotReady) {
    support::TempFolder temp;
    temp.file("file.txt");
    EXPECT_FALSE(createFolderPath(temp.at("file.txt\\below\\deeper")));
    EXPECT_FALSE(createFolderPath(support::kDriveNotReady + "\\a\\b"));
    EXPECT_FALSE(folderExists(support::kDriveNotReady + "\\a"));
}

} // namespace
