#include <gtest/gtest.h>

#include <string>

#include "base/file_system.h"
#include "base/scoped_handle.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

using support::kDriveD;
using support::kDriveNotReady;

struct ExistenceCase {
    std::string path;
    bool folder;
    bool file;
    bool entry;
};

TEST(FileSystemTest, FoldersFilesAndDrives) {
    support::TempFolder temp;
    const std::string folder = temp.folder("ソフト表");
    const std::string file = temp.file("ソフト表\\能力.txt");
    temp.file("cafe.txt");
    temp.file("cafX.txt");

    const ExistenceCase cases[] = {
        {folder, true, false, true},
        {file, false, true, true},
        {temp.at("missing"), false, false, false},
        {temp.at("ソフト表\\missing.txt"), false, false, false},
        // A trailing backslash never names a folder, nor does a root written with it; the
        // entry itself is there.
        {folder + "\\", false, false, true},
        {kDriveD, true, false, true},
        {kDriveD + "\\", false, false, true},
        {kDriveNotReady, false, false, false},
        {kDriveNotReady + "\\", false, false, false},
        {"Q:", false, false, false},
        {"", false, false, false},
        // Wildcards would let the search report another entry: cafe.txt for caf?.txt.
        {temp.at("caf?.txt"), false, false, false},
        {temp.at("*.txt"), false, false, false},
        {temp.at("ソフト*"), false, false, false},
        {temp.path() + "\\*", false, false, false},
    };
    for (const ExistenceCase& c : cases) {
        SCOPED_TRACE(support::utf8(c.path));
        EXPECT_EQ(folderExists(c.path), c.folder);
        EXPECT_EQ(fileExists(c.path), c.file);
        EXPECT_EQ(entryExists(c.path), c.entry);
    }
}

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

struct DeepCreation {
    std::string path;
    bool created = true;
};

DWORD WINAPI createOnSmallStack(void* argument) {
    auto* creation = static_cast<DeepCreation*>(argument);
    creation->created = createFolderPath(creation->path);
    return 0;
}

TEST(CreateFolderPathTest, APathOfThousandsOfLevelsNeedsNoStackPerLevel) {
    // On a thread with 128 KiB of stack, a call per level of 4,000 levels overflows it.
    support::TempFolder temp;
    DeepCreation creation;
    creation.path = temp.at("many");
    for (int level = 0; level < 4000; ++level) {
        creation.path += "\\a";
    }
    KernelHandle thread(CreateThread(nullptr, 128 * 1024, &createOnSmallStack, &creation,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    ASSERT_TRUE(thread.valid());
    ASSERT_EQ(WaitForSingleObject(thread.get(), 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &exitCode));
    EXPECT_EQ(exitCode, 0u);
    // The path is far beyond what the platform takes; the levels it does take are made.
    EXPECT_FALSE(creation.created);
    EXPECT_TRUE(folderExists(temp.at("many\\a\\a\\a")));
}

TEST(WriteAllTest, WritesEveryByteOrSaysItCouldNot) {
    support::TempFolder temp;
    const std::string path = temp.at("書き込み表.bin");
    std::string data(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7);
    }
    {
        FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.valid());
        EXPECT_TRUE(writeAll(file.get(), data));
        EXPECT_TRUE(writeAll(file.get(), std::string()));
    }
    EXPECT_EQ(support::readFile(path), data);

    // A handle opened for reading takes no byte.
    FileHandle reader(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader.valid());
    EXPECT_FALSE(writeAll(reader.get(), "x"));
    EXPECT_EQ(support::readFile(path), data);
}

// The open temporary file takes the destination's name: a new one, an existing one only
// when asked to replace it, in folders and names whose second byte is 0x5C.
TEST(RenameOpenFileTest, TakesANewNameAndReplacesOnlyWhenAsked) {
    support::TempFolder temp;
    const std::string folder = temp.folder("ソ表");
    const struct {
        const char* name;
        const char* existing; // nullptr: no file of that name yet
        bool replace;
        bool renamed;
    } cases[] = {
        {"新しい能.txt", nullptr, false, true},
        {"新しい.txt", nullptr, true, true},
        {"既存.txt", "old", false, false},
        {"既存表.txt", "old", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(support::utf8(c.name));
        const std::string destination = folder + "\\" + c.name;
        if (c.existing != nullptr) {
            temp.file(std::string("ソ表\\") + c.name, c.existing);
        }
        std::string temporaryPath;
        FileHandle file = createTemporaryFile(folder, FILE_ATTRIBUTE_NORMAL, temporaryPath);
        ASSERT_TRUE(file.valid());
        ASSERT_TRUE(writeAll(file.get(), "new", 3));
        const bool renamed = renameOpenFile(file.get(), destination, c.replace);
        const DWORD error = GetLastError();
        file.reset();
        EXPECT_EQ(renamed, c.renamed);
        if (c.renamed) {
            EXPECT_EQ(support::readFile(destination), "new");
            EXPECT_FALSE(support::pathExists(temporaryPath));
        } else {
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
            EXPECT_EQ(support::readFile(destination), c.existing);
            EXPECT_EQ(support::readFile(temporaryPath), "new");
            discardTemporary(temporaryPath);
        }
    }
    EXPECT_EQ(support::listFolder(folder).size(), 4u);
}

TEST(TemporaryFileNameTest, OnlyTheExactPattern) {
    const struct {
        const char* name;
        bool temporary;
    } cases[] = {
        {"~SCV0A1F.TMP", true},
        {"~SCV9999.TMP", true},
        // Only the program's own form: a user's "~scv2024.tmp" is the user's file.
        {"~scv0a1f.tmp", false},
        {"~Scv9999.Tmp", false},
        {"~scv2024.tmp", false},
        {"~SCV0a1F.TMP", false},
        {"~SCV0A1F.tmp", false},
        {"~SCV0A1G.TMP", false},
        {"~SCV0A1.TMP", false},
        {"~SCV0A1FF.TMP", false},
        {"x~SCV0A1F.TMP", false},
        {"~SCV0A1F.TMP.txt", false},
        {"~SCV0A1F.TM", false},
        {"~SCV0A1F.TXT", false},
        {"SCV00A1F.TMP", false},
        {"~ＳCV0A1F.TMP", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isTemporaryFileName(c.name), c.temporary) << support::utf8(c.name);
    }
}

} // namespace
