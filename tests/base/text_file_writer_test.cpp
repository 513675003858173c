#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"
#include "base/text_file_writer.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

TEST(TextFileWriterTest, WritesTheWholeTextAnewAndLetsItGo) {
    support::TempFolder temp;
    const std::string path = temp.file("ログ表.log", std::string(5000, 'o'));
    const std::string text = "【削除】D:\\ソ\\a.txt\r\n【コピー】E:\\表\\b.txt\r\n";

    TextFileWriter writer;
    EXPECT_FALSE(writer.writeTo(path)); // nothing to write: the file stays as it is
    EXPECT_EQ(support::readFile(path), std::string(5000, 'o'));

    ASSERT_TRUE(writer.setText("replaced before writing"));
    ASSERT_TRUE(writer.setText(text));
    EXPECT_TRUE(writer.hasText());
    EXPECT_TRUE(writer.writeTo(path));
    EXPECT_EQ(support::readFile(path), text); // truncated, not overwritten in part
    EXPECT_FALSE(writer.hasText());
    EXPECT_FALSE(writer.writeTo(path));

    ASSERT_TRUE(writer.setText(""));
    EXPECT_TRUE(writer.writeTo(temp.at("new.txt")));
    EXPECT_TRUE(support::pathExists(temp.at("new.txt")));
    EXPECT_EQ(support::readFile(temp.at("new.txt")), "");
    EXPECT_EQ(GetFileAttributesA(temp.at("new.txt").c_str()) &
                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              0u);
}

TEST(TextFileWriterTest, KeepsTheAttributesOfAnExistingFile) {
    support::TempFolder temp;
    const std::string path = temp.file("hidden.ini", "old");
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), hiddenSystem));

    TextFileWriter writer;
    ASSERT_TRUE(writer.setText("new"));
    EXPECT_TRUE(writer.writeTo(path));
    EXPECT_EQ(support::readFile(path), "new");
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & hiddenSystem, hiddenSystem);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(TextFileWriterTest, AFileThatCannotBeOpenedKeepsTheText) {
    support::TempFolder temp;
    const std::string readOnly = temp.file("readonly.log", "old");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string busy = temp.file("busy.log", "busy");
    FileHandle holder(CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());

    TextFileWriter writer;
    ASSERT_TRUE(writer.setText("kept"));
    EXPECT_FALSE(writer.writeTo(readOnly));
    EXPECT_EQ(support::readFile(readOnly), "old");
    EXPECT_FALSE(writer.writeTo(busy));
    EXPECT_FALSE(writer.writeTo(temp.at("no such folder\\x.log")));
    EXPECT_TRUE(writer.hasText());

    EXPECT_TRUE(writer.writeTo(temp.at("elsewhere.log")));
    EXPECT_EQ(support::readFile(temp.at("elsewhere.log")), "kept");
    holder.reset();
    EXPECT_EQ(support::readFile(busy), "busy");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
