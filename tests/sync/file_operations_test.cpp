#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "base/scoped_handle.h"
#include "support/debug_output.h"
#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"
#include "sync/file_operations.h"

namespace {

using support::fileTimeUtc;
using support::kSecond;

std::vector<std::string> lines(const StringList& list) {
    return std::vector<std::string>(list.begin(), list.end());
}

// The bytes of a file at an offset; fewer when the file ends sooner or cannot be read.
std::string bytesAt(const std::string& path, unsigned long long offset, DWORD count) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::string bytes(count, '\0');
    DWORD got = 0;
    if (!file || !SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
        !ReadFile(file.get(), &bytes[0], count, &got, nullptr)) {
        return std::string();
    }
    bytes.resize(got);
    return bytes;
}

// Names in the folder that have the pattern of a temporary copy.
std::vector<std::string> temporaryFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : support::listFolder(folder)) {
        if (isTemporaryFileName(name.c_str())) {
            found.push_back(name);
        }
    }
    return found;
}

TEST(DeleteEntryTest, OutcomesTracesAndTheRecycleBin) {
    support::TempFolder temp;
    const std::string file = temp.file("能\\ソ表.txt", "only copy");
    const std::string tree = temp.file("予定\\表\\x.txt", "below");
    const std::string below = temp.at("予定\\表\\x.txt");
    const std::string folder = temp.at("予定");
    temp.file("cafe.txt", "kept");
    const std::string pattern = temp.at("caf?.txt");
    const std::string locked = temp.file("locked.txt", "in use");
    const std::string stays = temp.folder("残る");
    FileHandle holder(CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());

    support::DebugOutputCapture traces;
    PassContext context;
    deleteEntry(context, file);
    deleteEntry(context, folder);
    deleteEntry(context, below);           // went with its folder: no line
    deleteEntry(context, temp.at("none")); // never existed: no line
    deleteEntry(context, pattern);         // never handed to the shell as a pattern
    deleteEntry(context, locked);          // cannot be deleted while it is open
    deleteEntry(context, stays + "\\");    // a trailing backslash names no folder

    EXPECT_EQ(lines(context.deleteList),
              (std::vector<std::string>{"【削除】" + file, "【削除】" + folder,
                                        "【エラー削除】" + pattern, "【エラー削除】" + locked}));
    EXPECT_TRUE(context.copyList.empty());
    EXPECT_TRUE(support::RecycleBin::holds(file));
    EXPECT_TRUE(support::RecycleBin::holds(folder));
    support::TrashedItem item;
    ASSERT_TRUE(support::RecycleBin::find(folder, item));
    EXPECT_EQ(support::readFile(item.storedPath + "\\表\\x.txt"), "below");
    EXPECT_FALSE(support::pathExists(file));
    EXPECT_FALSE(support::pathExists(folder));
    EXPECT_EQ(support::readFile(temp.at("cafe.txt")), "kept");
    EXPECT_EQ(support::readFile(locked), "in use");
    EXPECT_TRUE(folderExists(stays));
    if (traces.active()) {
        EXPECT_EQ(support::utf8(traces.take()),
                  support::utf8(file + " - 削除\r\n" + folder + " - 削除\r\n" + below +
                                " - 削除\r\n" + temp.at("none") + " - 削除\r\n" + pattern +
                                " - 削除\r\n" + locked + " - 削除\r\n" + stays + "\\ - 削除\r\n"));
    }
}

TEST(DeleteFolderTreeTest, OnlyFoldersAndOnlyTheTrailingSeparator) {
    support::TempFolder temp;
    // A folder whose name ends in a trail byte 0x5C must not lose that byte.
    const std::string endsInTrailByte = temp.folder("表示ソ");
    temp.file("表示ソ\\a.txt");
    const std::string withSeparator = temp.folder("能");
    const std::string file = temp.file("file.txt");

    EXPECT_FALSE(deleteFolderTree(file));
    EXPECT_FALSE(deleteFolderTree(temp.at("missing")));
    EXPECT_FALSE(deleteFolderTree(temp.at("表*")));
    EXPECT_TRUE(deleteFolderTree(endsInTrailByte));
    EXPECT_TRUE(deleteFolderTree(withSeparator + "\\"));
    EXPECT_TRUE(support::RecycleBin::holds(endsInTrailByte));
    EXPECT_TRUE(support::RecycleBin::holds(withSeparator));
    EXPECT_EQ(support::listFolder(temp.path()), std::vector<std::string>{"file.txt"});
}

TEST(CopyEntryTest, CreatesTheMissingFoldersAndKeepsTimeAndAttributes) {
    support::TempFolder master;
    support::TempFolder target(support::kDriveE);
    const FileTime time = fileTimeUtc(2024, 3, 1, 9, 0, 0, 1234567);
    const std::string source = master.file("ソ\\表\\c.txt", "new content", time);
    const std::string destination = target.at("ソ\\表\\c.txt");
    // Created with its attribute: Wine keeps "hidden" only for files created with it (and
    // not together with "read-only"), so each is checked on a file of its own.
    const std::string hiddenSource = master.at("隠し.txt");
    {
        FileHandle file(CreateFileA(hiddenSource.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(file && WriteFile(file.get(), "secret", 6, &written, nullptr));
    }
    ASSERT_TRUE(support::setWriteTime(hiddenSource, time + kSecond));
    ASSERT_NE(GetFileAttributesA(hiddenSource.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    const std::string readOnlySource = master.file("読専.txt", "fixed", time);
    ASSERT_TRUE(SetFileAttributesA(readOnlySource.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string replaced = target.file("隠し.txt", "old", time - 3600 * kSecond);

    support::DebugOutputCapture traces;
    PassContext context;
    copyEntry(context, destination, source);
    copyEntry(context, replaced, hiddenSource);
    copyEntry(context, target.at("読専.txt"), readOnlySource);

    EXPECT_EQ(lines(context.copyList),
              (std::vector<std::string>{"【コピー】" + destination, "【コピー】" + replaced,
                                        "【コピー】" + target.at("読専.txt")}));
    // Exactly the missing folders, split at real separators only.
    EXPECT_EQ(support::listFolder(target.path()),
              (std::vector<std::string>{"ソ", "隠し.txt", "読専.txt"}));
    EXPECT_EQ(support::listFolder(target.at("ソ")), std::vector<std::string>{"表"});
    EXPECT_EQ(support::listFolder(target.at("ソ\\表")), std::vector<std::string>{"c.txt"});
    EXPECT_EQ(support::readFile(destination), "new content");
    EXPECT_EQ(support::writeTimeOf(destination), time);
    EXPECT_EQ(support::readFile(replaced), "secret");
    EXPECT_EQ(support::writeTimeOf(replaced), time + kSecond);
    const DWORD hiddenReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(GetFileAttributesA(replaced.c_str()) & hiddenReadOnly,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA(target.at("読専.txt").c_str()) & hiddenReadOnly,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(support::readFile(target.at("読専.txt")), "fixed");
    EXPECT_EQ(GetFileAttributesA(destination.c_str()) & hiddenReadOnly, 0u);
    EXPECT_EQ(support::readFile(source), "new content"); // the source is untouched
    if (traces.active()) {
        EXPECT_EQ(support::utf8(traces.take()),
                  support::utf8(destination + " - コピー\r\n" + replaced + " - コピー\r\n" +
                                target.at("読専.txt") + " - コピー\r\n"));
    }
    SetFileAttributesA(readOnlySource.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(target.at("読専.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A pass copies only what its walk saw as a file; a source that cannot be opened now (gone,
// or a folder in its place) is a copy that failed, and says so.
TEST(CopyEntryTest, ASourceThatCannotBeOpenedIsAFailedCopy) {
    support::TempFolder master;
    support::TempFolder target;
    const std::string folder = master.folder("表");
    master.file("表\\inside.txt");

    PassContext context;
    copyEntry(context, target.at("表"), folder);
    copyEntry(context, target.at("gone.txt"), master.at("gone.txt"));

    EXPECT_EQ(lines(context.copyList),
              (std::vector<std::string>{"【エラーコピー】" + target.at("表"),
                                        "【エラーコピー】" + target.at("gone.txt")}));
    EXPECT_TRUE(support::listFolder(target.path()).empty());
}

// The temporary copy lives in the destination's folder and has a longer name than many
// destinations: it must not be what keeps a destination that fits from being copied.
TEST(CopyEntryTest, EveryDestinationShorterThanThePlatformLimitIsCopied) {
    support::TempFolder master;
    support::TempFolder target;
    const std::string source = master.file("ソース.txt", "new", fileTimeUtc(2024, 1, 1, 0, 0, 0));
    // A folder of 248 bytes, and destinations of 254 and 259 bytes in it.
    const std::string pad(248 - target.path().size() - 1, 'p');
    const std::string folder = target.at(pad);
    ASSERT_EQ(folder.size(), 248u);
    ASSERT_TRUE(support::unixCommandSucceeds("mkdir {0}", {folder}));
    const std::string shorter = folder + "\\a.txt";
    const std::string longest = folder + "\\" + std::string(259 - folder.size() - 1, 'n');
    ASSERT_EQ(shorter.size(), 254u);
    ASSERT_EQ(longest.size(), 259u);

    for (const bool finisher : {false, true}) {
        SCOPED_TRACE(finisher ? "finished on a thread" : "finished at once");
        PassContext context;
        {
            std::optional<CopyFinisher> finishing;
            if (finisher) {
                finishing.emplace(context);
            }
            copyEntry(context, shorter, source, false);
            copyEntry(context, longest, source, false);
        }
        EXPECT_EQ(lines(context.copyList),
                  (std::vector<std::string>{"【コピー】" + shorter, "【コピー】" + longest}));
        EXPECT_EQ(support::readFile(shorter), "new");
        EXPECT_EQ(support::readFile(longest), "new");
        EXPECT_TRUE(temporaryFilesIn(folder).empty());
        DeleteFileA(shorter.c_str());
        DeleteFileA(longest.c_str());
    }
}

TEST(CopyEntryTest, AFailedCopyLeavesTheDestinationAsItWasAndNoTemporaryFile) {
    support::TempFolder master;
    support::TempFolder target;
    const FileTime old = fileTimeUtc(2020, 1, 1, 0, 0, 0);
    const std::string source = master.file("ソース.txt", "new", old + 3600 * kSecond);
    master.file("cafe.txt", "not me");

    const std::string readOnly = target.file("読み取り専用.txt", "old", old);
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string folderInTheWay = target.folder("フォルダ");
    const std::string busy = target.file("busy.txt", "old", old);
    FileHandle holder(CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());
    target.file("ファイル", "a file where a folder is needed", old);
    const std::string belowAFile = target.at("ファイル\\x.txt");
    const std::string patterned = target.at("caf?.txt");

    // Finished at once, and by a finisher's thread: the rename fails there.
    for (const bool finisher : {false, true}) {
        SCOPED_TRACE(finisher ? "finished on a thread" : "finished at once");
        PassContext context;
        {
            std::optional<CopyFinisher> finishing;
            if (finisher) {
                finishing.emplace(context);
            }
            copyEntry(context, readOnly, source);
            copyEntry(context, folderInTheWay, source);
            copyEntry(context, busy, source);
            copyEntry(context, belowAFile, source);
            copyEntry(context, patterned, master.at("caf?.txt"));
            copyEntry(context, target.at("ok.txt"), source); // the next copy still works
        }
        EXPECT_EQ(context.copyFinisher, nullptr);
        EXPECT_EQ(lines(context.copyList),
                  (std::vector<std::string>{
                      "【エラーコピー】" + readOnly, "【エラーコピー】" + folderInTheWay,
                      "【エラーコピー】" + busy, "【エラーコピー】" + belowAFile,
                      "【エラーコピー】" + patterned, "【コピー】" + target.at("ok.txt")}));
        EXPECT_TRUE(temporaryFilesIn(target.path()).empty());
    }
    EXPECT_EQ(support::readFile(readOnly), "old");
    EXPECT_EQ(support::writeTimeOf(readOnly), old);
    EXPECT_TRUE(folderExists(folderInTheWay));
    holder.reset();
    EXPECT_EQ(support::readFile(busy), "old");
    EXPECT_EQ(support::readFile(target.at("ファイル")), "a file where a folder is needed");
    EXPECT_FALSE(support::pathExists(target.at("cafe.txt")));
    EXPECT_EQ(support::readFile(master.at("cafe.txt")), "not me");
    EXPECT_TRUE(temporaryFilesIn(target.path()).empty());
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// With a finisher, the copies' lines and those of folders and refused entries come in the
// order the entries were handled, whichever copy finishes when; a stop abandons what is
// still waiting, each with an error line, and leaves no temporary file and no half copy.
TEST(CopyFinisherTest, LinesKeepTheirOrderAndAStopLeavesNothingHalfDone) {
    support::TempFolder master;
    support::TempFolder target(support::kDriveE);
    constexpr int kFiles = 300;
    std::vector<std::string> sources;
    for (int i = 0; i < kFiles; ++i) {
        sources.push_back(master.file("表" + std::to_string(i) + ".txt",
                                      std::string(100 + i * 37, static_cast<char>('a' + i % 26))));
    }

    for (const bool stopping : {false, true}) {
        SCOPED_TRACE(stopping ? "stopped" : "to the end");
        const std::string into = target.folder(stopping ? "止" : "全");
        std::atomic<bool> stop{false};
        PassContext context;
        context.stop = &stop;
        std::vector<std::string> expected;
        {
            CopyFinisher finisher(context);
            for (int i = 0; i < kFiles; ++i) {
                if (stopping && i == kFiles / 3) {
                    stop = true;
                }
                const std::string destination = into + "\\表" + std::to_string(i) + ".txt";
                copyEntry(context, destination, sources[i], false);
                expected.push_back(destination);
                if (i % 50 == 0) {
                    const std::string folder = into + "\\ソ" + std::to_string(i);
                    makeFolder(context, folder);
                    expected.push_back(folder);
                    recordCopyError(context, into + "\\refused" + std::to_string(i));
                    expected.push_back(into + "\\refused" + std::to_string(i));
                }
            }
        }
        const std::vector<std::string> got = lines(context.copyList);
        ASSERT_EQ(got.size(), expected.size());
        std::size_t copied = 0;
        for (std::size_t k = 0; k < got.size(); ++k) {
            SCOPED_TRACE(support::utf8(expected[k]));
            const bool done = got[k] == "【コピー】" + expected[k];
            EXPECT_TRUE(done || got[k] == "【エラーコピー】" + expected[k])
                << support::utf8(got[k]);
            if (expected[k].find("refused") != std::string::npos) {
                EXPECT_FALSE(done);
                continue;
            }
            if (expected[k].find("ソ") != std::string::npos) {
                EXPECT_TRUE(done);
                continue;
            }
            // Each copy's line tells the truth about its destination.
            const std::size_t i = std::stoul(expected[k].substr(into.size() + 3));
            if (done) {
                ++copied;
                EXPECT_EQ(support::readFile(expected[k]), support::readFile(sources[i]));
            } else {
                EXPECT_FALSE(support::pathExists(expected[k]));
            }
        }
        EXPECT_TRUE(temporaryFilesIn(into).empty());
        if (stopping) {
            EXPECT_LE(copied, static_cast<std::size_t>(kFiles / 3));
        } else {
            EXPECT_EQ(copied, static_cast<std::size_t>(kFiles));
        }
    }
}

TEST(CopyEntryTest, AStopRequestAbandonsACopyInTheMiddle) {
    support::TempFolder master;
    support::TempFolder target(support::kDriveE);
    const std::string source = master.at("big.bin");
    ASSERT_TRUE(support::makeSparseFile(source, 8ull << 30, "new head"));
    const std::string destination = target.file("big.bin", "the old file");

    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    PassContext context;
    context.stop = &stop;
    std::thread copier([&] {
        copyEntry(context, destination, source);
        done = true;
    });
    const bool caughtInTheMiddle = support::pumpMessagesUntil(
        [&] { return done || !temporaryFilesIn(target.path()).empty(); }, 60000);
    stop = true;
    const DWORD asked = GetTickCount();
    const bool ended = support::pumpMessagesUntil([&] { return done.load(); }, 60000);
    const DWORD took = GetTickCount() - asked;
    copier.join();

    RecordProperty("stop_ms_in_the_middle", static_cast<int>(took));
    ASSERT_TRUE(caughtInTheMiddle);
    ASSERT_TRUE(ended);
    EXPECT_LT(took, 3000u);
    EXPECT_EQ(lines(context.copyList), std::vector<std::string>{"【エラーコピー】" + destination});
    // Its size first: a copy that ran to its end must fail here, not fill the memory.
    ASSERT_EQ(support::fileSize(destination), 12u);
    EXPECT_EQ(support::readFile(destination), "the old file");
    EXPECT_EQ(support::listFolder(target.path()), std::vector<std::string>{"big.bin"});
}

// Files of many gigabytes (videos, disk images) go the way of every copy: through a
// temporary file beside the destination, which keeps the old file until the copy is whole.
TEST(CopyEntryTest, AFileOfManyGigabytesIsCopiedWholeThroughATemporaryFile) {
    support::TempFolder master;
    support::TempFolder target(support::kDriveE);
    constexpr unsigned long long kSize = 6ull << 30;
    const FileTime time = fileTimeUtc(2024, 7, 1, 12, 0, 0, 1234567);
    const std::string source = master.at("動画ソ.bin");
    ASSERT_TRUE(support::makeSparseFile(source, kSize, "head of the new film", "its last frame"));
    ASSERT_TRUE(support::setWriteTime(source, time));
    const std::string destination =
        target.file("動画ソ.bin", "the old film", time - 3600 * kSecond);

    std::atomic<bool> done{false};
    PassContext context;
    bool oldFileKeptMeanwhile = false;
    {
        CopyFinisher finisher(context);
        std::thread copier([&] {
            copyEntry(context, destination, source);
            done = true;
        });
        const bool caughtInTheMiddle = support::pumpMessagesUntil(
            [&] { return done || !temporaryFilesIn(target.path()).empty(); }, 120000);
        oldFileKeptMeanwhile =
            caughtInTheMiddle && !done && support::readFile(destination) == "the old film";
        copier.join();
    }

    EXPECT_TRUE(oldFileKeptMeanwhile);
    EXPECT_EQ(lines(context.copyList), std::vector<std::string>{"【コピー】" + destination});
    EXPECT_EQ(support::fileSize(destination), kSize);
    EXPECT_EQ(support::writeTimeOf(destination), time);
    EXPECT_EQ(bytesAt(destination, 0, 20), "head of the new film");
    EXPECT_EQ(bytesAt(destination, kSize - 14, 14), "its last frame");
    EXPECT_EQ(bytesAt(destination, 3ull << 30, 4), std::string(4, '\0'));
    EXPECT_EQ(support::listFolder(target.path()), std::vector<std::string>{"動画ソ.bin"});
}

// The data of a large copy reaches the disk long after it is written. A stop that comes
// when the last of it has been handed over must still end the copy soon, however much the
// disk has yet to take; then the copy is either whole or abandoned, and its line says which.
TEST(CopyEntryTest, AStopAsALargeCopyIsWrittenEndsItSoon) {
    support::TempFolder master;
    support::TempFolder target(support::kDriveE);
    constexpr unsigned long long kSize = 2ull << 30;
    const std::string source = master.at("image.bin");
    ASSERT_TRUE(support::makeSparseFile(source, kSize, "new image", "end"));
    const std::string destination = target.file("image.bin", "the old image");

    std::atomic<bool> stop{false};
    PassContext context;
    context.stop = &stop;
    DWORD asked = 0;
    {
        CopyFinisher finisher(context);
        copyEntry(context, destination, source);
        stop = true;
        asked = GetTickCount();
    }
    const DWORD took = GetTickCount() - asked;
    RecordProperty("stop_ms_after_the_writing", static_cast<int>(took));

    EXPECT_LT(took, 5000u);
    const std::vector<std::string> got = lines(context.copyList);
    ASSERT_EQ(got.size(), 1u);
    if (got[0] == "【コピー】" + destination) {
        EXPECT_EQ(support::fileSize(destination), kSize);
        EXPECT_EQ(bytesAt(destination, kSize - 3, 3), "end");
    } else {
        EXPECT_EQ(got[0], "【エラーコピー】" + destination);
        EXPECT_EQ(support::readFile(destination), "the old image");
    }
    EXPECT_EQ(support::listFolder(target.path()), std::vector<std::string>{"image.bin"});
}

// A drive that fills up in the middle of a copy: the old file stays whole, the cut-off
// temporary copy goes and gives its space back, and the failure is a line of the log.
TEST(CopyEntryTest, ACopyThatRunsOutOfSpaceLeavesTheOldFileAndNoTemporaryFile) {
    ULARGE_INTEGER available = {};
    ULARGE_INTEGER total = {};
    const bool measured =
        GetDiskFreeSpaceExA((support::kDriveSmall + "\\").c_str(), &available, &total, nullptr);
    if (!measured || total.QuadPart > (256ull << 20)) {
        GTEST_SKIP() << "NOT TESTED: " << support::kDriveSmall
                     << " is no small drive here (the harness mounts a size-limited tmpfs behind "
                        "it, which needs root and the right to mount), so a copy onto a full "
                        "drive was not tried";
    }
    support::TempFolder master;
    support::TempFolder target(support::kDriveSmall);
    const FileTime old = fileTimeUtc(2020, 1, 1, 0, 0, 0);
    const std::string source = master.at("大きい.bin");
    ASSERT_TRUE(support::makeSparseFile(source, total.QuadPart + (4ull << 20), "new", "end"));
    const std::string destination = target.file("写真ソ.jpg", "the old photo", old);
    ASSERT_TRUE(
        GetDiskFreeSpaceExA((support::kDriveSmall + "\\").c_str(), &available, nullptr, nullptr));
    const unsigned long long freeBefore = available.QuadPart;

    for (const bool finisher : {false, true}) {
        SCOPED_TRACE(finisher ? "finished on a thread" : "finished at once");
        PassContext context;
        {
            std::optional<CopyFinisher> finishing;
            if (finisher) {
                finishing.emplace(context);
            }
            copyEntry(context, destination, source);
        }
        EXPECT_EQ(lines(context.copyList),
                  std::vector<std::string>{"【エラーコピー】" + destination});
        EXPECT_EQ(support::readFile(destination), "the old photo");
        EXPECT_EQ(support::writeTimeOf(destination), old);
        EXPECT_EQ(support::listFolder(target.path()), std::vector<std::string>{"写真ソ.jpg"});
        ASSERT_TRUE(GetDiskFreeSpaceExA((support::kDriveSmall + "\\").c_str(), &available, nullptr,
                                        nullptr));
        EXPECT_GE(available.QuadPart + (64u << 10), freeBefore);
    }
}

} // namespace
