#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/file_reader.h"
#include "base/scoped_handle.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

TEST(FileReaderTest, ReadsTheWholeFileWithEightZeroBytesAfterIt) {
    support::TempFolder folder;
    const std::string bytes = std::string("Sync.D:\\表\r\n\0after a zero byte", 30);
    const std::string path = folder.file("定義表.txt", bytes);

    FileContent content;
    ASSERT_TRUE(readWholeFile(path, content));
    EXPECT_EQ(content.size, bytes.size());
    ASSERT_EQ(content.bytes.size(), bytes.size() + 8);
    EXPECT_EQ(std::string(content.bytes.data(), content.size), bytes);
    for (std::size_t i = bytes.size(); i < content.bytes.size(); ++i) {
        EXPECT_EQ(content.bytes[i], '\0') << "padding byte " << i;
    }
}

TEST(FileReaderTest, AnEmptyFileIsAnEmptyTerminatedText) {
    support::TempFolder folder;
    FileContent content;
    ASSERT_TRUE(readWholeFile(folder.file("empty.txt", ""), content));
    EXPECT_EQ(content.size, 0u);
    EXPECT_STREQ(content.text(), "");
}

TEST(FileReaderTest, FailsForMissingFoldersAndFilesInUse) {
    support::TempFolder folder;
    FileContent content;
    EXPECT_FALSE(readWholeFile(folder.at("missing.txt"), content));
    EXPECT_EQ(content.size, 0u);
    EXPECT_FALSE(readWholeFile(folder.folder("a folder"), content));

    // The reader shares the file with nobody, so a file another handle holds open fails.
    const std::string busy = folder.file("busy.txt", "content");
    FileHandle writer(CreateFileA(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer.valid());
    EXPECT_FALSE(readWholeFile(busy, content));
    writer.reset();
    EXPECT_TRUE(readWholeFile(busy, content));
    EXPECT_STREQ(content.text(), "content");
}

} // namespace
