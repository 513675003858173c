#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/scoped_handle.h"
#include "base/text_file_writer.h"
#include "support/files.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"

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

// A write that fails at any step, before or after its temporary file was made, leaves the
// old file byte for byte, keeps the text, and leaves nothing new in the folder.
TEST(TextFileWriterTest, AFailedWriteLeavesTheOldFileAndNothingBeside) {
    struct Case {
        const char* name;
        // Makes the obstacle in the folder and returns the path to write to; the object it
        // hands back holds the obstacle until the write has been tried.
        std::function<std::string(support::TempFolder&, std::shared_ptr<void>&)> prepare;
    };
    const Case cases[] = {
        {"a folder under the name, found only when the new file takes its place",
         [](support::TempFolder& temp, std::shared_ptr<void>&) {
             temp.file("表\\中.txt", "inside");
             return temp.at("表");
         }},
        {"a folder in which no file can be made",
         [](support::TempFolder& temp, std::shared_ptr<void>& hold) {
             const std::string path = temp.file("ソ\\定義.txt", "old bytes");
             auto locked = std::make_shared<support::UnwritableFolder>(temp.at("ソ"));
             hold = locked;
             return locked->effective() ? path : std::string();
         }},
        {"a file another program holds open",
         [](support::TempFolder& temp, std::shared_ptr<void>& hold) {
             const std::string path = temp.file("能.log", "old bytes");
             auto handle = std::make_shared<FileHandle>(CreateFileA(
                 path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
             hold = handle;
             return handle->valid() ? path : std::string();
         }},
        {"a read-only file",
         [](support::TempFolder& temp, std::shared_ptr<void>&) {
             const std::string path = temp.file("ro.ini", "old bytes");
             SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
             return path;
         }},
        {"a folder that is gone",
         [](support::TempFolder& temp, std::shared_ptr<void>&) { return temp.at("gone\\x.log"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        support::TempFolder temp;
        std::shared_ptr<void> hold;
        const std::string path = c.prepare(temp, hold);
        ASSERT_FALSE(path.empty()) << "the obstacle could not be made";
        const DWORD attributes = GetFileAttributesA(path.c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::string before = folder ? std::string() : support::readFile(path);
        std::vector<std::string> namesBefore = support::listFolder(temp.path());

        TextFileWriter writer;
        ASSERT_TRUE(writer.setText(std::string(100000, 'n')));
        SetLastError(0);
        EXPECT_FALSE(writer.writeTo(path));
        EXPECT_NE(GetLastError(), 0u) << "the cause is told";
        EXPECT_TRUE(writer.hasText());
        hold.reset();

        if (folder) {
            EXPECT_EQ(support::readFile(path + "\\中.txt"), "inside");
        } else {
            EXPECT_EQ(support::readFile(path), before);
        }
        EXPECT_EQ(support::listFolder(temp.path()), namesBefore);
        const std::string inner = path::folderPart(path);
        if (inner != temp.path() && support::pathExists(inner)) {
            EXPECT_EQ(support::listFolder(inner), std::vector<std::string>{path::namePart(path)});
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

} // namespace
